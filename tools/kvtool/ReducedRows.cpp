// Window reads of reduced values; the records of the channel at list position i
// begin at records[i * count], whatever order the call sorts the indexes into.
#include "ReducedRows.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "ToolError.h"

namespace kvtool {
namespace {

// Records read at once for all channels together.
constexpr int64_t kMaxRecords = int64_t{1} << 18;

}  // namespace

ReducedRows::ReducedRows(const ExportTable& table, std::optional<TimeSpan> window)
    : table_(table),
      window_(window),
      windowValues_(static_cast<int32_t>(
          std::clamp<int64_t>(kMaxRecords / std::max<int64_t>(1, static_cast<int64_t>(table.columns.size())), 1, 65536))) {
  for (const ExportColumn& column : table.columns) indexes_.push_back(column.channel->index);
}

bool ReducedRows::Next(ReducedWindow& window) {
  const size_t channels = indexes_.size();
  window.values.resize(channels);
  while (!done_) {
    const auto count = static_cast<int32_t>(std::min<int64_t>(windowValues_, INT32_MAX - position_));
    if (count <= 0) break;
    records_.assign(channels * static_cast<size_t>(count), KVReducedValue{});
    for (KVReducedValue& record : records_) record.time_stamp = std::numeric_limits<double>::quiet_NaN();
    std::vector<int32_t> indexes = indexes_;  // the call sorts them
    CheckStatus(KVGetReducedValuesBlock(indexes.data(), static_cast<int32_t>(channels), static_cast<int32_t>(position_),
                                        count, table_.level, records_.data()),
                "reading reduced values " + std::to_string(position_) + " at level " + std::to_string(table_.level));
    int32_t stored = 0;
    while (stored < count && !std::isnan(records_[static_cast<size_t>(stored)].time_stamp)) ++stored;
    if (stored < count) done_ = true;
    position_ += stored;
    window.rows = 0;
    window.time.clear();
    for (auto& values : window.values) values.clear();
    for (int32_t i = 0; i < stored; ++i) {
      const double t = records_[static_cast<size_t>(i)].time_stamp;
      if (window_ && t < window_->from) continue;
      if (window_ && t >= window_->to) {
        done_ = true;
        break;
      }
      window.time.push_back(t);
      for (size_t c = 0; c < channels; ++c) {
        const KVReducedValue& record = records_[c * static_cast<size_t>(count) + static_cast<size_t>(i)];
        window.values[c].insert(window.values[c].end(), {record.min, record.max, record.ave, record.rms});
      }
      ++window.rows;
    }
    if (window.rows > 0) return true;
  }
  return false;
}

}  // namespace kvtool

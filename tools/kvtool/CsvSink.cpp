// The CSV writer's hot path: every number goes through std::to_chars straight into
// one large buffer that leaves by fwrite; no stream, no allocation per cell.
#include "CsvSink.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>

namespace kvtool {
namespace {

constexpr size_t kBufferBytes = size_t{1} << 20;
// std::to_chars needs at most 24 characters for a double; the separator one more.
constexpr size_t kCellBytes = 32;

bool NeedsQuotes(const std::string& text) { return text.find_first_of(",\"\r\n") != std::string::npos; }

}  // namespace

CsvSink::CsvSink(std::string out) : out_(std::move(out)), buffer_(kBufferBytes) {}

void CsvSink::Begin(const ExportPlan& plan, const RecordingSummary&) {
  const std::filesystem::path out(out_);
  for (const ExportTable& table : plan.tables) {
    std::string target = out_;
    if (plan.tables.size() > 1) target = (out.parent_path() / (out.stem().string() + "_" + table.name + ".csv")).string();
    files_.push_back(std::make_unique<PendingFile>(target));
    tableNames_.push_back(table.name);
  }
}

void CsvSink::BeginTable(const ExportTable& table) {
  const auto named = std::find(tableNames_.begin(), tableNames_.end(), table.name);
  current_ = files_.at(static_cast<size_t>(named - tableNames_.begin())).get();
  used_ = 0;
  rowBytes_ = kCellBytes + 1;
  Reserve(4);
  std::memcpy(buffer_.data() + used_, "time", 4);
  used_ += 4;
  for (const ExportColumn& column : table.columns) {
    rowBytes_ += kCellBytes * static_cast<size_t>(column.width);
    for (int32_t k = 0; k < std::max(column.width, 1); ++k) {
      const std::string header = ColumnHeader(table, column, k);
      Reserve(2 * header.size() + 3);
      Put(',');
      if (NeedsQuotes(header)) {
        PutQuoted(header);
      } else {
        std::memcpy(buffer_.data() + used_, header.data(), header.size());
        used_ += header.size();
      }
    }
  }
  Reserve(1);
  Put('\n');
}

void CsvSink::Write(const ExportTable& table, const RowWindow& rows) {
  const size_t columns = table.columns.size();
  for (int64_t r = 0; r < rows.rows; ++r) {
    Reserve(rowBytes_);
    char* p = buffer_.data() + used_;
    p = std::to_chars(p, p + kCellBytes, rows.time[r]).ptr;
    for (size_t c = 0; c < columns; ++c) {
      const int32_t width = table.columns[c].width;
      if (width == 0) {
        used_ = static_cast<size_t>(p - buffer_.data());
        const std::string& text = (*rows.texts[c])[static_cast<size_t>(r)];
        Reserve(2 * text.size() + 3 + rowBytes_);
        Put(',');
        PutQuoted(text);
        p = buffer_.data() + used_;
        continue;
      }
      const double* values = rows.values[c] + r * width;
      for (int32_t k = 0; k < width; ++k) {
        *p++ = ',';
        p = std::to_chars(p, p + kCellBytes, values[k]).ptr;
      }
    }
    *p++ = '\n';
    used_ = static_cast<size_t>(p - buffer_.data());
  }
}

void CsvSink::EndTable(const ExportTable&) { Flush(); }

void CsvSink::Commit() {
  std::vector<PendingFile*> files;
  for (const auto& file : files_) files.push_back(file.get());
  CommitAll(files);
}

std::vector<std::string> CsvSink::Outputs() const {
  std::vector<std::string> outputs;
  for (const auto& file : files_) outputs.push_back(file->Target());
  return outputs;
}

void CsvSink::Reserve(size_t bytes) {
  if (used_ + bytes <= buffer_.size()) return;
  Flush();
  if (bytes > buffer_.size()) buffer_.resize(bytes);
}

void CsvSink::Flush() {
  if (used_ == 0) return;
  if (std::fwrite(buffer_.data(), 1, used_, current_->Stream()) != used_) ThrowWriteFailure(current_->Target());
  used_ = 0;
}

void CsvSink::PutQuoted(const std::string& text) {
  Put('"');
  for (const char c : text) {
    if (c == '"') Put('"');
    Put(c);
  }
  Put('"');
}

}  // namespace kvtool

// Grouping of the matched channels into tables. Two synchronous channels share a
// table only when their windows start at the same position and hold the same
// number of samples, so the table's one time column is right for both.
#include "ExportPlan.h"

#include <algorithm>

#include "KVDataReaderLib.h"
#include "Output.h"
#include "ToolError.h"

namespace kvtool {
namespace {

int32_t ColumnWidth(const ChannelEntry& channel) {
  switch (channel.list) {
    case ChannelList::kNumeric: return channel.arraySize;
    case ChannelList::kComplex: return 2;
    case ChannelList::kBinary:
    case ChannelList::kText: return 0;
  }
  return 1;
}

// name, or name_2, name_3, ... when a table of that name exists already.
std::string UniqueName(const std::vector<ExportTable>& tables, const std::string& name) {
  const auto taken = [&](const std::string& candidate) {
    return std::any_of(tables.begin(), tables.end(), [&](const ExportTable& t) { return t.name == candidate; });
  };
  std::string candidate = name;
  for (int n = 2; taken(candidate); ++n) candidate = name + "_" + std::to_string(n);
  return candidate;
}

void AddSampleColumn(ExportPlan& plan, const ChannelEntry& channel, SampleRange range) {
  const ExportColumn column{&channel, range, ColumnWidth(channel)};
  if (channel.kind == ChannelKind::kSync && channel.rate > 0) {
    for (ExportTable& table : plan.tables) {
      const SampleRange& shared = table.columns.front().range;
      if (table.base == TableBase::kSync && table.rate == channel.rate && shared.first == range.first &&
          shared.count == range.count) {
        table.columns.push_back(column);
        return;
      }
    }
    ExportTable table{UniqueName(plan.tables, "sync_" + FormatDouble(channel.rate) + "Hz"), TableBase::kSync,
                      channel.rate, -1, range.count, {column}};
    plan.tables.push_back(std::move(table));
    return;
  }
  const bool single = channel.kind == ChannelKind::kSingle;
  const std::string prefix = single ? "single_" : "async_";
  ExportTable table{UniqueName(plan.tables, prefix + SafeName(channel.name)), single ? TableBase::kSingle : TableBase::kAsync,
                    0, -1, range.count, {column}};
  plan.tables.push_back(std::move(table));
}

// Whether the channel's reduced values reach `level`; notes why not otherwise.
bool HasReducedLevel(const ChannelEntry& channel, int32_t level, std::vector<std::string>& notes) {
  if (channel.list != ChannelList::kNumeric || channel.kind != ChannelKind::kSync || channel.arraySize != 1) {
    notes.push_back(channel.name + " has no reduced values (only synchronous single-value-per-sample channels do)");
    return false;
  }
  int32_t index = channel.index;
  KVReducedValue probe{};
  const KVStatus status = KVGetReducedValuesBlock(&index, 1, 0, 1, level, &probe);
  if (status == KVInvalidIBLevel || status == KVError) {
    notes.push_back(channel.name + " has no reduced values at level " + std::to_string(level) + ": " +
                    LastLibraryStatus().message);
    return false;
  }
  CheckStatus(status, "reading the reduced values of " + channel.name);
  return true;
}

void PlanReduced(ExportPlan& plan, const std::vector<const ChannelEntry*>& channels, int32_t level) {
  if (level < 0) throw ToolError(kExitBadInput, "--reduced takes a level of 0 or more");
  ExportTable table{"reduced_level" + std::to_string(level), TableBase::kReduced, 0, level, 0, {}};
  for (const ChannelEntry* channel : channels) {
    if (!HasReducedLevel(*channel, level, plan.notes)) continue;
    int32_t count = 0;
    double duration = 0;
    CheckStatus(KVGetReducedValuesCount(channel->index, &count, &duration),
                "counting the reduced values of " + channel->name);
    table.rows = std::max<int64_t>(table.rows, count);
    table.columns.push_back({channel, {0, count}, 4});
  }
  if (table.columns.empty()) {
    throw ToolError(kExitBadInput, "no matched channel has reduced values at level " + std::to_string(level));
  }
  plan.tables.push_back(std::move(table));
}

}  // namespace

ExportPlan PlanExport(const Catalog& catalog, const std::vector<Region>& regions, const ExportRequest& request) {
  ExportPlan plan;
  const std::vector<const ChannelEntry*> channels = catalog.Match(request.patterns);
  if (request.reducedLevel) {
    PlanReduced(plan, channels, *request.reducedLevel);
    return plan;
  }
  for (const ChannelEntry* channel : channels) {
    // A single value describes the whole recording: a window keeps it whole.
    SampleRange range{0, channel->sampleCount};
    if (request.window && channel->kind != ChannelKind::kSingle) {
      range = WindowRange(*channel, regions, request.window->from, request.window->to);
    }
    AddSampleColumn(plan, *channel, range);
  }
  return plan;
}

std::string ColumnHeader(const ExportTable& table, const ExportColumn& column, int32_t k) {
  static const char* const kReduced[] = {"_min", "_max", "_average", "_rms"};
  const std::string& name = column.channel->name;
  if (table.base == TableBase::kReduced) return name + kReduced[k & 3];
  if (column.channel->list == ChannelList::kComplex) return name + (k == 0 ? ".re" : ".im");
  if (column.width > 1) return name + "[" + std::to_string(k) + "]";
  return name;
}

std::string SafeName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '-' || c == '.';
    if (!safe) c = '_';
  }
  if (out.empty() || out == "." || out == "..") out = "_" + out;
  return out;
}

}  // namespace kvtool

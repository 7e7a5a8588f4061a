// The export loop. Sample tables read each column through SampleWindows with one
// window size for the table, so a window's rows line up across its columns;
// reduced tables read through ReducedRows.
#include "ExportDriver.h"

#include <algorithm>
#include <cstring>

#include "ProgressBar.h"
#include "ReducedRows.h"
#include "SampleWindows.h"
#include "ToolError.h"

namespace kvtool {
namespace {

// Doubles (values and time stamps of every column) a window holds at most.
constexpr int64_t kWindowDoubles = int64_t{1} << 21;

int64_t RowBytes(const ExportTable& table) {
  int64_t values = 1;
  for (const ExportColumn& column : table.columns) values += std::max(column.width, 1);
  return values * 8;
}

void ExportSampleTable(const ExportTable& table, ExportSink& sink, ProgressBar& progress) {
  int64_t perRow = 0;
  for (const ExportColumn& column : table.columns) perRow += std::max(column.width, 1) + 1;
  // A power of two, so windows end on the chunk boundaries of chunked formats.
  int64_t windowRows = 65536;
  while (windowRows > 256 && windowRows * std::max<int64_t>(perRow, 1) > kWindowDoubles) windowRows /= 2;
  std::vector<SampleWindows> readers;
  for (const ExportColumn& column : table.columns) readers.emplace_back(*column.channel, column.range, false, windowRows);
  std::vector<SampleWindow> windows(table.columns.size());
  RowWindow rows;
  rows.values.resize(table.columns.size());
  rows.texts.resize(table.columns.size());
  const int64_t rowBytes = RowBytes(table);
  while (true) {
    bool more = false;
    for (size_t c = 0; c < readers.size(); ++c) {
      const bool read = readers[c].Next(windows[c]);
      if (c > 0 && (read != more || (read && windows[c].count != windows[0].count))) {
        throw ToolError(kExitLibraryFailure, "the columns of table " + table.name + " ran apart at " +
                                                 table.columns[c].channel->name);
      }
      more = read;
    }
    if (!more) break;
    rows.rows = windows[0].count;
    rows.time = windows[0].time.data();
    for (size_t c = 0; c < windows.size(); ++c) {
      const bool text = table.columns[c].IsText();
      rows.values[c] = text ? nullptr : windows[c].values.data();
      rows.texts[c] = text ? &windows[c].texts : nullptr;
    }
    sink.Write(table, rows);
    progress.Advance(rows.rows * rowBytes);
  }
}

void ExportReducedTable(const ExportTable& table, ExportSink& sink, ProgressBar& progress, const ExportRun& run) {
  ReducedRows reader(table, run.window);
  ReducedWindow window;
  RowWindow rows;
  rows.texts.assign(table.columns.size(), nullptr);
  const int64_t rowBytes = RowBytes(table);
  while (reader.Next(window)) {
    rows.rows = window.rows;
    rows.time = window.time.data();
    rows.values.clear();
    for (const auto& values : window.values) rows.values.push_back(values.data());
    sink.Write(table, rows);
    progress.Advance(rows.rows * rowBytes);
  }
}

void ExportTableInto(const ExportTable& table, ExportSink& sink, ProgressBar& progress, const ExportRun& run) {
  sink.BeginTable(table);
  if (table.base == TableBase::kReduced) {
    ExportReducedTable(table, sink, progress, run);
  } else {
    ExportSampleTable(table, sink, progress);
  }
  sink.EndTable(table);
}

}  // namespace

RecordingSummary SummarizeRecording(const std::string& source, const KVMeasurementInfo& info,
                                    const std::vector<Region>& regions) {
  RecordingSummary summary;
  summary.source = source;
  summary.info = info;
  summary.regions = regions;
  const int32_t count = KVGetEventListCount();
  if (count < 0) CheckStatus(KVError, "counting the events");
  std::vector<KVEvent> events(static_cast<size_t>(count) + 1);
  if (count > 0) CheckStatus(KVGetEventList(events.data()), "reading the events");
  for (int32_t i = 0; i < count; ++i) {
    const KVEvent& event = events[static_cast<size_t>(i)];
    summary.events.push_back({event.event_type, event.time_stamp,
                              std::string(event.event_text, strnlen(event.event_text, sizeof event.event_text))});
  }
  return summary;
}

void RunExport(const ExportPlan& plan, const RecordingSummary& summary, ExportSink& sink, const ExportRun& run) {
  int64_t total = 0;
  for (const ExportTable& table : plan.tables) total += table.rows * RowBytes(table);
  sink.Begin(plan, summary);
  ProgressBar progress(total, run.progress);
  for (const ExportTable& table : plan.tables) {
    if (!sink.ColumnAtATime()) {
      ExportTableInto(table, sink, progress, run);
      continue;
    }
    for (const ExportColumn& column : table.columns) {
      ExportTable single = table;
      single.columns = {column};
      ExportTableInto(single, sink, progress, run);
    }
  }
  progress.Finish();
  sink.Commit();
}

}  // namespace kvtool

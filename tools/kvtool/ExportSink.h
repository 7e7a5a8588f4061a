// Where an export's rows go: one sink per output format. The export driver hands
// a sink the plan and the recording's summary, then every table window by window;
// the sink writes under temporary names and only Commit puts its files in place,
// so a failed export leaves nothing behind that looks complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ExportPlan.h"
#include "KVDataReaderLib.h"
#include "Regions.h"

namespace kvtool {

struct RecordingEvent {
  int32_t type = 0;
  double time = 0;
  std::string text;
};

// What a recording says about itself, for the formats that keep it.
struct RecordingSummary {
  std::string source;  // the recording's path
  KVMeasurementInfo info{};
  std::vector<RecordingEvent> events;
  std::vector<Region> regions;
};

// One window of a table's rows.
struct RowWindow {
  int64_t rows = 0;
  const double* time = nullptr;  // rows time stamps
  // Per column: rows x width values, row after row (null for text columns) ...
  std::vector<const double*> values;
  // ... or rows texts (text and binary columns, null for the others).
  std::vector<const std::vector<std::string>*> texts;
};

class ExportSink {
 public:
  // Removes every file the sink made and did not commit.
  virtual ~ExportSink() = default;

  // Whether the sink holds a table's data until it ends: the driver then hands it
  // tables of one column each, so it holds one channel at a time.
  virtual bool ColumnAtATime() const { return false; }

  // Creates the outputs (ToolError kExitOutputFailure with the path and the
  // system's reason when one cannot be created).
  virtual void Begin(const ExportPlan& plan, const RecordingSummary& summary) = 0;
  virtual void BeginTable(const ExportTable& table) = 0;
  virtual void Write(const ExportTable& table, const RowWindow& rows) = 0;
  virtual void EndTable(const ExportTable& table) = 0;
  // Finishes the files and moves them to their names.
  virtual void Commit() = 0;
  // The files a committed export wrote.
  virtual std::vector<std::string> Outputs() const = 0;
};

}  // namespace kvtool

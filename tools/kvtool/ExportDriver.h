// Runs an export plan: reads every table window by window (memory bounded by the
// window, whatever the recording's size) and hands the rows to a sink, then
// commits the sink's files. Progress is counted in bytes of values read.
#pragma once

#include <optional>
#include <string>

#include "ExportPlan.h"
#include "ExportSink.h"

namespace kvtool {

// The recording's measurement info, events and regions, for the sinks that keep them.
RecordingSummary SummarizeRecording(const std::string& source, const KVMeasurementInfo& info,
                                    const std::vector<Region>& regions);

struct ExportRun {
  bool progress = false;  // draw a progress bar (when standard error is a terminal)
  std::optional<TimeSpan> window;  // limits reduced tables' rows
};

// Exports plan into sink and commits it; throws ToolError on any failure, and the
// sink's files go with it.
void RunExport(const ExportPlan& plan, const RecordingSummary& summary, ExportSink& sink, const ExportRun& run);

}  // namespace kvtool

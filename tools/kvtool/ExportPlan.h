// What an export writes: the matched channels grouped into tables by time base.
// Synchronous channels of one rate whose windows hold the same samples share a
// table with one time column; each asynchronous and each single-value channel is a
// table of its own; reduced values of one level make one table. Table names say
// the time base ("sync_1000Hz", "async_Pressure", "reduced_level1").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Catalog.h"
#include "Regions.h"
#include "TimeWindow.h"

namespace kvtool {

// One channel of a table and the samples of it the export reads.
struct ExportColumn {
  const ChannelEntry* channel = nullptr;
  SampleRange range;
  // Values per row: arraySize for numeric channels, 2 for complex (re, im), 4 for
  // reduced values (min, max, average, RMS), 0 for text and binary (one text).
  int32_t width = 1;
  bool IsText() const { return width == 0; }
};

enum class TableBase { kSync, kAsync, kSingle, kReduced };

struct ExportTable {
  std::string name;
  TableBase base = TableBase::kSync;
  double rate = 0;      // synchronous tables
  int32_t level = -1;   // reduced tables
  int64_t rows = 0;     // exact for sample tables, an upper bound for reduced ones
  std::vector<ExportColumn> columns;
};

struct TimeSpan {
  double from = 0;
  double to = 0;
};

struct ExportRequest {
  std::vector<std::string> patterns;  // empty: every channel
  std::optional<TimeSpan> window;     // --from / --to
  std::optional<int32_t> reducedLevel;
};

struct ExportPlan {
  std::vector<ExportTable> tables;
  std::vector<std::string> notes;  // channels left out and why
};

// Plans the export of the open recording; throws ToolError (kExitBadInput) for a
// pattern that matches nothing or a window outside the recording.
ExportPlan PlanExport(const Catalog& catalog, const std::vector<Region>& regions, const ExportRequest& request);

// Column header of value `k` of a column ("Voltage", "Spectrum[3]", "Z.re", "Voltage_rms").
std::string ColumnHeader(const ExportTable& table, const ExportColumn& column, int32_t k);

// A name made of letters, digits, '_', '-' and '.' only, for file and group names.
std::string SafeName(const std::string& name);

}  // namespace kvtool

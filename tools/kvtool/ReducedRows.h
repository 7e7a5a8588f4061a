// Reads the reduced values of a reduced table's channels window by window through
// KVGetReducedValuesBlock, which reads each stored record once for all channels.
// The interface gives no count per level, so each window's time stamps are
// prefilled with NaN: the first stamp still NaN after the call ends the values.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ExportPlan.h"
#include "KVDataReaderLib.h"

namespace kvtool {

struct ReducedWindow {
  int64_t rows = 0;
  std::vector<double> time;
  // Per column: rows x 4 values (min, max, average, RMS), row after row.
  std::vector<std::vector<double>> values;
};

class ReducedRows {
 public:
  // The rows of table with window->from <= time < window->to (all without a window).
  ReducedRows(const ExportTable& table, std::optional<TimeSpan> window);

  // Fills the next window of rows; false when every value is read.
  bool Next(ReducedWindow& window);

 private:
  const ExportTable& table_;
  std::optional<TimeSpan> window_;
  std::vector<int32_t> indexes_;
  int32_t windowValues_;
  int64_t position_ = 0;
  bool done_ = false;
  std::vector<KVReducedValue> records_;
};

}  // namespace kvtool

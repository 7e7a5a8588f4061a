// One axis of an array channel: its name, unit, size and the values of its index
// (texts, listed numbers, or Start + i x Step). Owned by its channel, read by the
// public array-axis queries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader {

class CArrayInfo {
 public:
  // What the index values of an axis are ("AxisType"); any other value means the
  // axis has none.
  enum AxisTypeCode : int { kStringAxis = 0, kFloatAxis = 1, kLinearAxis = 2 };

  // An axis with every field at its initial value; `axisIndex` is its number
  // within the channel.
  explicit CArrayInfo(uint64_t axisIndex);

  // Fills the public record: index, name (99 characters), unit (19), size.
  void getArrayInfo(KVArrayInfo* out) const;

  // The index value of item i of a listed-number or linear axis. Listed numbers
  // are range-checked (std::out_of_range); other axis types leave `value` alone.
  void getIndexValue(int i, double& value) const;

  // The index value of item i as text: numbers formatted with Prec decimals,
  // texts copied; cut to capacity - 1 characters. Listed values are
  // range-checked (std::out_of_range); an axis without index values leaves the
  // buffer alone.
  void getIndexValue(int i, char* text, int capacity) const;

  // The values of a value-list text "count;v1;v2;...". The list stands for
  // exactly `count` strings, those past the end of the text being empty; only
  // the strings the text holds are returned (at most count), so a large count
  // costs nothing. A count without digits throws std::invalid_argument, one that
  // does not fit std::out_of_range.
  static std::vector<std::string> deserializeStringValues(const std::string& text, uint64_t& count);

  // The count values of a value-list text read as numbers with either decimal
  // separator; an empty (also a missing) or non-numeric piece throws
  // std::invalid_argument.
  static std::vector<float> deserializeFloatValues(const std::string& text);

  // The number of index texts of a text axis (the list's count; the texts past
  // the end of StringValues are empty).
  uint64_t StringValueCount = 0;

  uint64_t AxisIndex;
  std::string Name;
  std::string Unit;
  int Size = 1;
  int Prec = -1;
  int CustomPrec = -1;
  int AxisType = kLinearAxis;
  double Start = 0;
  double Step = 1;
  std::vector<float> FloatValues;
  std::vector<std::string> StringValues;
};

}  // namespace Korvane::DataReader

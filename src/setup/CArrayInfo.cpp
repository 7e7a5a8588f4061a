// CArrayInfo: one axis of an array channel, its public record, its index values
// and the reading of the value-list texts that carry them.
#include "setup/CArrayInfo.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "common/TextUtils.h"
#include "setup/NumberParsers.h"

namespace Korvane::DataReader {

namespace {

// Formatting more digits than a double carries only costs time.
constexpr int kMaxFormatPrecision = 64;

// Splits "count;v1;v2;..." into its pieces without copying.
std::vector<std::string_view> SplitPieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(';', start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

}  // namespace

CArrayInfo::CArrayInfo(uint64_t axisIndex) : AxisIndex(axisIndex) {}

void CArrayInfo::getArrayInfo(KVArrayInfo* out) const {
  out->index = static_cast<int32_t>(AxisIndex);
  CopyStr(out->name, Name.c_str(), sizeof out->name);
  CopyStr(out->unit, Unit.c_str(), sizeof out->unit);
  out->size = Size;
}

void CArrayInfo::getIndexValue(int i, double& value) const {
  if (AxisType == kFloatAxis) {
    value = FloatValues.at(static_cast<size_t>(i));
  } else if (AxisType == kLinearAxis) {
    value = i * Step + Start;
  }
}

void CArrayInfo::getIndexValue(int i, char* text, int capacity) const {
  if (AxisType == kFloatAxis || AxisType == kLinearAxis) {
    double value = 0;
    getIndexValue(i, value);
    if (capacity > 0) {
      std::snprintf(text, static_cast<size_t>(capacity), "%.*f", std::min(Prec, kMaxFormatPrecision), value);
    }
  } else if (AxisType == kStringAxis) {
    if (i < 0 || static_cast<uint64_t>(i) >= StringValueCount) throw std::out_of_range("vector::_M_range_check");
    const size_t position = static_cast<size_t>(i);
    const char* piece = position < StringValues.size() ? StringValues[position].c_str() : "";
    if (capacity > 0) CopyStr(text, piece, capacity);
  }
}

std::vector<std::string> CArrayInfo::deserializeStringValues(const std::string& text, uint64_t& count) {
  const std::vector<std::string_view> pieces = SplitPieces(text);
  count = std::stoul(std::string(pieces.front()));
  std::vector<std::string> values;
  const size_t present = std::min<uint64_t>(count, pieces.size() - 1);
  values.reserve(present);
  for (size_t i = 0; i < present; ++i) values.emplace_back(pieces[i + 1]);
  return values;
}

std::vector<float> CArrayInfo::deserializeFloatValues(const std::string& text) {
  uint64_t count = 0;
  const std::vector<std::string> pieces = deserializeStringValues(text, count);
  // A value past the end of the text is an empty piece, which is no number.
  if (count > pieces.size()) throw std::invalid_argument("stof");
  std::vector<float> values;
  values.reserve(pieces.size());
  for (const std::string& piece : pieces) values.push_back(stof_s(piece));
  return values;
}

}  // namespace Korvane::DataReader

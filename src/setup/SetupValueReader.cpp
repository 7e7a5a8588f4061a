// SetupValueReader: the child index of one element and the conversions of
// setup value texts.
#include "setup/SetupValueReader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "api/DataReaderLibException.h"
#include "setup/NumberParsers.h"
#include "setup/TextUtils.h"
#include "xml/XMLElement.h"

namespace Korvane::DataReader {

namespace {

std::string UpperCopy(std::string_view text) {
  std::string upper(text);
  UpperString(upper.data());
  return upper;
}

// strtoll over the whole text: no digits give 0; false when the number does not
// fit 64 bits. The caller's errno is left as it was.
bool ParseDecimal(const std::string& text, int64_t& value) {
  const int savedErrno = errno;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  const bool overflow = errno == ERANGE;
  errno = savedErrno;
  value = end == text.c_str() ? 0 : parsed;
  return !overflow;
}

int64_t DecimalTextInRange(const std::string& text, int64_t low, int64_t high) {
  int64_t value = 0;
  if (!ParseDecimal(text, value) || value < low || value > high) {
    throw FileCorruptException("setup number out of range: " + text);
  }
  return value;
}

int64_t DecimalInRange(const XMLElement* child, int64_t low, int64_t high, bool& given) {
  std::string text;
  given = SetupValueReader::TextOf(child, text);
  return given ? DecimalTextInRange(text, low, high) : 0;
}

}  // namespace

SetupValueReader::SetupValueReader(const XMLElement* element) {
  if (element == nullptr) return;
  entries_.reserve(static_cast<size_t>(element->GetChildrenNum()));
  int position = 0;
  for (XMLElement* child : element->GetChildren()) {
    entries_.push_back({UpperCopy(child->Name()), position++, child});
  }
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
    return a.upperName != b.upperName ? a.upperName < b.upperName : a.position < b.position;
  });
}

XMLElement* SetupValueReader::Find(std::string_view name) const {
  // Compares an upper-cased name with `name` upper-cased on the fly, in the
  // byte order the entries are sorted by.
  auto compare = [name](const std::string& upper) {
    const size_t common = std::min(upper.size(), name.size());
    for (size_t i = 0; i < common; ++i) {
      const auto a = static_cast<unsigned char>(upper[i]);
      const auto b = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(name[i])));
      if (a != b) return a < b ? -1 : 1;
    }
    return upper.size() < name.size() ? -1 : upper.size() > name.size() ? 1 : 0;
  };
  const auto it = std::partition_point(entries_.begin(), entries_.end(),
                                       [&compare](const Entry& entry) { return compare(entry.upperName) < 0; });
  return it != entries_.end() && compare(it->upperName) == 0 ? it->element : nullptr;
}

void SetupValueReader::String(std::string_view name, char* out, int capacity, const char* defaultValue) const {
  CopyStr(out, StringOf(Find(name), defaultValue).c_str(), capacity);
}

bool SetupValueReader::TextOf(const XMLElement* child, std::string& text) {
  if (child == nullptr || child->GetContentsNum() == 0) return false;
  text = child->GetContents()[0]->Value();
  return true;
}

std::string SetupValueReader::StringOf(const XMLElement* child, const char* defaultValue) {
  std::string text;
  return TextOf(child, text) ? text : std::string(defaultValue);
}

int SetupValueReader::IntegerOf(const XMLElement* child, int defaultValue) {
  bool given = false;
  const int64_t value =
      DecimalInRange(child, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), given);
  return given ? static_cast<int>(value) : defaultValue;
}

uint32_t SetupValueReader::UnsignedIntOf(const XMLElement* child, uint32_t defaultValue) {
  bool given = false;
  const int64_t value =
      DecimalInRange(child, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max(), given);
  return given ? static_cast<uint32_t>(value) : defaultValue;
}

int64_t SetupValueReader::Int64Of(const XMLElement* child, int64_t defaultValue) {
  bool given = false;
  const int64_t value =
      DecimalInRange(child, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), given);
  return given ? value : defaultValue;
}

uint32_t SetupValueReader::ColorOf(const XMLElement* child, uint32_t defaultValue) {
  constexpr size_t kHexColorLength = 7;  // "#RRGGBB"
  std::string text;
  if (!TextOf(child, text)) return defaultValue;
  if (text.size() == kHexColorLength && text[0] == '#') return HexToInteger(text.c_str());
  return UnsignedIntOf(child, defaultValue);
}

double SetupValueReader::DoubleOf(const XMLElement* child, double defaultValue) {
  std::string text;
  return TextOf(child, text) ? stod_s(text) : defaultValue;
}

float SetupValueReader::FloatOf(const XMLElement* child, float defaultValue) {
  std::string text;
  return TextOf(child, text) ? stof_s(text) : defaultValue;
}

bool SetupValueReader::BoolOf(const XMLElement* child, bool defaultValue) {
  std::string text;
  if (!TextOf(child, text)) return defaultValue;
  return UpperCopy(text) == "TRUE";
}

int SetupValueReader::ParseInteger(const std::string& text) {
  return static_cast<int>(
      DecimalTextInRange(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool SetupValueReader::SameNameIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace Korvane::DataReader

// The separator-agnostic number parsers. The conversion is the C library's strtod
// (strtof), which follows the calling thread's numeric locale; the first "." or ","
// is therefore replaced by that locale's decimal point, as nl_langinfo reports it for
// the same thread, before converting.
#include "setup/NumberParsers.h"

#include <langinfo.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace Korvane::DataReader {
namespace {

template <class T, class Convert>
T ParseDecimal(const char* text, const char* what, Convert convert) {
  if (text == nullptr) throw std::invalid_argument(what);
  std::string copy(text);
  const char* radix = nl_langinfo(RADIXCHAR);
  const size_t separator = copy.find_first_of(".,");
  if (separator != std::string::npos) copy.replace(separator, 1, radix != nullptr && *radix != '\0' ? radix : ".");
  const int savedErrno = errno;
  errno = 0;
  char* end = nullptr;
  const T value = convert(copy.c_str(), &end);
  if (end == copy.c_str()) {
    errno = savedErrno;
    throw std::invalid_argument(what);
  }
  if (errno == ERANGE) throw std::out_of_range(what);
  errno = savedErrno;
  return value;
}

}  // namespace

double stod_s(const char* text) {
  return ParseDecimal<double>(text, "stod", [](const char* s, char** end) { return std::strtod(s, end); });
}

double stod_s(const std::string& text) { return stod_s(text.c_str()); }

float stof_s(const char* text) {
  return ParseDecimal<float>(text, "stof", [](const char* s, char** end) { return std::strtof(s, end); });
}

float stof_s(const std::string& text) { return stof_s(text.c_str()); }

bool ParsePlainDecimal(std::string_view text, double& value) noexcept {
  // Up to 15 digits make an integer a double holds exactly, and the power of ten
  // is exact too; one division then rounds the quotient correctly, as strtod does.
  constexpr size_t kMaxDigits = 15;
  constexpr double kPowersOfTen[kMaxDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  uint64_t digits = 0;
  size_t digitCount = 0;
  size_t fractionDigits = 0;
  bool separatorSeen = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++digitCount > kMaxDigits) return false;
      digits = digits * 10 + static_cast<uint64_t>(c - '0');
      if (separatorSeen) ++fractionDigits;
    } else if ((c == '.' || c == ',') && !separatorSeen) {
      separatorSeen = true;
    } else {
      return false;
    }
  }
  if (digitCount == 0) return false;
  const double magnitude = static_cast<double>(digits) / kPowersOfTen[fractionDigits];
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace Korvane::DataReader

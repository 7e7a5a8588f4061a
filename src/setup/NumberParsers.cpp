// The separator-agnostic number parsers. The conversion is the C library's strtod
// (strtof), which follows the calling thread's numeric locale; the first "." or ","
// is therefore replaced by that locale's decimal point, as nl_langinfo reports it for
// the same thread, before converting.
#include "setup/NumberParsers.h"

#include <langinfo.h>

#include <cerrno>
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

}  // namespace Korvane::DataReader

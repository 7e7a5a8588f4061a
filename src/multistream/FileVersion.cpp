// Version rules. The description carries the version behind "VER" when characters
// 15 and 16 are ".x"; three spellings exist: "X<minor> SP<pack>" (7000 + 100 *
// minor + pack), a year release "<year>.<n>" (7000 + 100 * (year - 2000) + n), and
// dotted digits "<major>.<minor>.<patch>" (1000 * major + 100 * minor + patch).
// Anything else reads as version 6.
#include "multistream/FileVersion.h"

#include <cstring>
#include <string>


namespace Korvane::DataReader::MultiStream {
namespace {

constexpr size_t kDotPosition = 15;
constexpr size_t kXPosition = 16;

int64_t Digit(char c) { return c >= '1' && c <= '9' ? c - '0' : 0; }

// The decimal number at the start of text, read like strtol (leading blanks, an
// optional sign, digits up to the first non-digit; 0 without digits), saturating
// far above any real version so that no arithmetic on it can overflow.
int64_t LeadingNumber(const char* text) {
  constexpr int64_t kSaturation = 1000000000;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value < kSaturation) value = value * 10 + (*text - '0');
  }
  return negative ? -value : value;
}

int32_t ToVersion(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t FileVersionFromDescription(const char* field) {
  const char* found = std::strstr(field, "VER");
  std::string version = "6";
  if (field[kDotPosition] == '.' && field[kXPosition] == 'x' && found != nullptr && found > field) {
    version = found + 3;
  }

  // "X1" alone is a version string too: it names 7100 like "X1 SP0".
  if (version.size() >= 2 && version[0] == 'X') {
    int64_t result = 7000 + 100 * Digit(version[1]);
    const size_t servicePack = version.find("SP");
    if (servicePack != std::string::npos && servicePack > 0) result += LeadingNumber(version.c_str() + servicePack + 2);
    return ToVersion(result);
  }

  const int64_t leading = LeadingNumber(version.c_str());
  if (leading > 2000) {
    int64_t result = 7000 + 100 * (leading - 2000);
    const size_t dot = version.find('.');
    if (dot != std::string::npos) result += LeadingNumber(version.c_str() + dot + 1);
    return ToVersion(result);
  }

  int64_t result = 0;
  if (!version.empty()) result = 1000 * Digit(version[0]);
  if (version.size() > 2 && version[1] == '.') result += 100 * Digit(version[2]);
  if (version.size() > 4 && version[3] == '.') result += Digit(version[4]);
  return ToVersion(result);
}

}  // namespace Korvane::DataReader::MultiStream

#include "Output.h"

#include <cmath>
#include <cstdio>

#include "KVDataReaderLib.h"

namespace kvtool {
namespace {

// Days from 1899-12-30 (day 0 of the day numbers) to 1970-01-01.
constexpr int64_t kDaysTo1970 = 25569;

// Civil date of a day count from 1970-01-01 (proleptic Gregorian calendar).
void CivilFromDays(int64_t z, int64_t& year, unsigned& month, unsigned& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string DaysToIso8601(double days) {
  if (!std::isfinite(days) || std::fabs(days) > 3e6) return "(not a date)";
  const double wholeDays = std::floor(days);
  auto milliseconds = static_cast<int64_t>(std::llround((days - wholeDays) * 86400000.0));
  int64_t day = static_cast<int64_t>(wholeDays) - kDaysTo1970;
  if (milliseconds >= 86400000) {
    milliseconds -= 86400000;
    ++day;
  }
  int64_t year;
  unsigned month, dayOfMonth;
  CivilFromDays(day, year, month, dayOfMonth);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lld", static_cast<long long>(year),
                month, dayOfMonth, static_cast<long long>(milliseconds / 3600000),
                static_cast<long long>(milliseconds / 60000 % 60), static_cast<long long>(milliseconds / 1000 % 60),
                static_cast<long long>(milliseconds % 1000));
  return text;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

int ReportFailure(const char* what) {
  int32_t status = 0;
  char message[512] = {};
  int32_t size = sizeof message;
  if (KVGetLastStatus(&status, message, &size) != 0) std::snprintf(message, sizeof message, "(message too long)");
  std::fprintf(stderr, "kvtool: %s failed: status %d: %s\n", what, status, message);
  return 1;
}

}  // namespace kvtool

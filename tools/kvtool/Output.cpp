// Output helpers: chrono calendar types for dates, std::to_chars for numbers.
#include "Output.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace kvtool {
namespace {

// Day 0 of the day numbers, 1899-12-30, counted from 1970-01-01.
constexpr std::chrono::sys_days kDayZero = std::chrono::sys_days{std::chrono::year{1899} / 12 / 30};

}  // namespace

std::string DaysToIso8601(double days) {
  using namespace std::chrono;
  if (!std::isfinite(days) || std::fabs(days) > 3e6) return "(not a date)";
  const auto sinceDayZero = milliseconds{std::llround(days * 86400000.0)};
  const sys_time<milliseconds> time = kDayZero + sinceDayZero;
  const sys_days day = floor<std::chrono::days>(time);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> clock{time - day};
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d", int(date.year()), unsigned(date.month()),
                unsigned(date.day()), int(clock.hours().count()), int(clock.minutes().count()),
                int(clock.seconds().count()), int(clock.subseconds().count()));
  return text;
}

size_t FormatDouble(double value, char* out) {
  const std::to_chars_result result = std::to_chars(out, out + 32, value);
  return static_cast<size_t>(result.ptr - out);
}

std::string FormatDouble(double value) {
  char text[32];
  return std::string(text, FormatDouble(value, text));
}

nlohmann::json JsonNumber(double value) {
  if (!std::isfinite(value)) return nullptr;
  return value;
}

void PrintJson(const nlohmann::json& document) {
  const std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace kvtool

// Text helpers of kvtool: day numbers as ISO 8601 times, JSON string escaping and
// the status report of a failed call.
#pragma once

#include <string>

namespace kvtool {

// A day number with fraction (day 0 is 1899-12-30) as "YYYY-MM-DDThh:mm:ss.sss".
std::string DaysToIso8601(double days);

// text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

// Prints "what: status N: message" to stderr from the library's last status; returns 1.
int ReportFailure(const char* what);

}  // namespace kvtool

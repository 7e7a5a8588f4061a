// The decimal number parsers of the setup: they accept "." or "," as the decimal
// separator whatever the process's (or thread's) numeric locale, so setups written
// on any system read the same everywhere.
#pragma once

#include <string>
#include <string_view>

namespace Korvane::DataReader {

// Parses a decimal number whose first "." or "," is the decimal separator (only the
// first: "1.5.2" gives 1.5). Leading blanks are skipped and parsing stops at the first
// character that cannot continue the number. Throws std::invalid_argument("stod")
// when no character is consumed (also for a null text) and std::out_of_range("stod")
// when the C library reports a range error; otherwise errno is left as it was.
double stod_s(const char* text);
double stod_s(const std::string& text);
// The same for float, with "stof" in the exceptions.
float stof_s(const char* text);
float stof_s(const std::string& text);

// The value stod_s gives a plain decimal text: an optional sign, at most 15
// digits with at most one "." or "," among them, nothing else. Such a value is
// computed exactly and rounded once, without the C library and its locale.
// False, with `value` untouched, for any other text.
bool ParsePlainDecimal(std::string_view text, double& value) noexcept;

}  // namespace Korvane::DataReader

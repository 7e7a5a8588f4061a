// Output helpers shared by the commands: day numbers as ISO 8601 times, doubles
// printed shortest-exact (they read back bit for bit), and JSON printing.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace kvtool {

// A day number with fraction (day 0 is 1899-12-30) as "YYYY-MM-DDThh:mm:ss.sss".
std::string DaysToIso8601(double days);

// The shortest text that reads back as exactly value ("0.1", "1e+300", "nan", "inf").
std::string FormatDouble(double value);
// The same into out (room for 32 characters); returns the characters written.
size_t FormatDouble(double value, char* out);

// A double for JSON: the number, or null for NaN and infinities (which JSON lacks).
nlohmann::json JsonNumber(double value);

// Prints document to stdout, indented, with a final newline.
void PrintJson(const nlohmann::json& document);

}  // namespace kvtool

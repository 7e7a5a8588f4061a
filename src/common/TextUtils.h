// The small C-string helpers the library shares: comparison, bounded copies and
// appends, search, UTF-16 narrowing and the lenient digit conversions of the file
// format. They work on caller-owned zero-terminated texts and never write past the
// sizes they are given; only GetFileExtension returns storage of its own (by value).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Korvane::DataReader {

// Upper-cases every character in place through the C library's toupper.
void UpperString(char* text) noexcept;

// Exact, case-sensitive equality; two null texts are equal, one null text is not.
bool SameString(const char* a, const char* b) noexcept;

// Copies at most n - 1 characters and fills the rest of the first n - 1 bytes with
// zeros; byte n - 1 is always zero. Fills fixed-width text fields of public records.
// Nothing happens for n < 1; a null source copies as "".
void CopyStr(char* destination, const char* source, int n) noexcept;

// Copies `count` characters from source[start] (fewer when the source ends first) and
// terminates them, cut to destinationSize - 1; count <= 0 or a start outside the
// source gives "".
void CopyStrEx(char* destination, size_t destinationSize, const char* source, int start, int count) noexcept;

// Number of characters; 0 for null.
int LengthStr(const char* text) noexcept;

// Appends `source`, cut so that the result fits destinationSize bytes with its
// terminator; returns the new length.
int AppendStr(char* destination, size_t destinationSize, const char* source) noexcept;

// Index of the first occurrence of `pattern` in `text`; -1 when either is empty or
// null, or the pattern does not occur.
int StrFind(const char* text, const char* pattern) noexcept;

// Narrows UTF-16LE text in place to its bytes at even offsets, stopping at the first
// zero byte at an even offset or at the end of the `size` bytes; terminates the result.
void ConvertUnicodeToASCII(char* text, size_t size) noexcept;

// result = (result << 4) | digit for every character, where '1'-'9' count 1-9,
// 'A'-'F' and 'a'-'f' 10-15 and everything else (also '0' and '#') 0: "#FF8000"
// gives 0xFF8000.
uint32_t HexToInteger(const char* text) noexcept;

// '1'-'9' give 1-9, anything else 0.
int CharToInt(char character) noexcept;

// value = value * 10 + CharToInt(c) for every character, without sign handling: "-12"
// gives 12. Wraps modulo 2^64 for texts of more than 19 digits.
int64_t ato__int64(const char* text) noexcept;

// The last four characters of the path upper-cased (".KXZ" for "a.kxz"), terminated;
// five zero bytes when the path has four characters or fewer.
std::array<char, 5> GetFileExtension(const char* path) noexcept;

}  // namespace Korvane::DataReader

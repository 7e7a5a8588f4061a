// Entity decoding and encoding of the texts an XML document stores. Parsed names,
// attribute values and contents are kept as they appear in the source; these
// functions turn them into plain text on request, and plain text into stored form.
// They allocate nothing except where they return or append to a std::string.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Korvane::DataReader::XMLText {

// Decodes `text` into `out`, which must hold at least text.size() bytes (decoding
// never lengthens a text); returns the decoded length. No terminator is written.
// "&amp;", "&quot;", "&apos;", "&lt;" and "&gt;" become their characters; "&#" with
// up to 10 decimal digits, or "&#x" with up to 10 hexadecimal digits, plus the one
// character after the digits, becomes the referenced character in UTF-8 (U+FFFD for
// a value that is no Unicode scalar value); "&#" followed by neither a digit nor x
// drops itself and the next character; any other '&' is copied unchanged.
size_t DecodeInto(std::string_view text, char* out) noexcept;

// Appends the decoded text to `out`.
void AppendDecoded(std::string& out, std::string_view text);
std::string Decode(std::string_view text);

// The length of the stored form of `text`: '"', '\'', '<' and '>' become their
// named entities and '&' becomes "&amp;" unless a '#' follows it (a numeric
// reference passes unchanged).
size_t EncodedLength(std::string_view text) noexcept;
void AppendEncoded(std::string& out, std::string_view text);
std::string Encode(std::string_view text);

// True when the stored text, decoded, equals `plain`.
bool DecodedEquals(std::string_view stored, std::string_view plain);

// Writes `text` and a terminator to `out` (which must hold text.size() + 1 bytes)
// and returns the length; with `out` null only returns the length.
int CopyOut(std::string_view text, char* out) noexcept;

// The stored text written to `out` decoded (raw 0) or as stored (raw non-zero), for
// the value getters of the document classes; with `out` null returns the stored
// length, an upper bound of the decoded one.
int GetText(std::string_view stored, char* out, int raw) noexcept;

}  // namespace Korvane::DataReader::XMLText

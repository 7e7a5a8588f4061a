// Entity decoding and encoding. Decoding walks the text once, copying the runs
// between '&' characters in bulk.
#include "xml/XMLText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace Korvane::DataReader::XMLText {
namespace {

struct NamedEntity {
  std::string_view source;
  char character;
};

constexpr std::array<NamedEntity, 5> kNamedEntities = {{
    {"&amp;", '&'},
    {"&quot;", '"'},
    {"&apos;", '\''},
    {"&lt;", '<'},
    {"&gt;", '>'},
}};

constexpr size_t kMaxReferenceDigits = 10;
// Texts shorter than this are searched with a plain loop rather than memchr.
constexpr size_t kShortText = 32;
constexpr uint32_t kReplacementCharacter = 0xFFFD;

int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsScalarValue(uint64_t value) noexcept {
  return value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

size_t WriteUtf8(uint32_t cp, char* out) noexcept {
  auto byte = [](uint32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
  if (cp < 0x80) {
    out[0] = byte(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = byte(0xC0 | (cp >> 6));
    out[1] = byte(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = byte(0xE0 | (cp >> 12));
    out[1] = byte(0x80 | ((cp >> 6) & 0x3F));
    out[2] = byte(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = byte(0xF0 | (cp >> 18));
  out[1] = byte(0x80 | ((cp >> 12) & 0x3F));
  out[2] = byte(0x80 | ((cp >> 6) & 0x3F));
  out[3] = byte(0x80 | (cp & 0x3F));
  return 4;
}

// Decodes the numeric reference that starts at text[0] ("&#"). Returns the number of
// source characters consumed and sets `written` to the bytes put at `out`. The
// UTF-8 form is never longer than the source consumed: a value needs at least as
// many digits plus "&#" as its encoding has bytes.
size_t DecodeNumericReference(std::string_view text, char* out, size_t& written) noexcept {
  written = 0;
  size_t pos = 2;
  const bool hex = pos < text.size() && (text[pos] == 'x' || text[pos] == 'X');
  if (!hex && (pos >= text.size() || text[pos] < '0' || text[pos] > '9')) {
    return std::min<size_t>(3, text.size());
  }
  if (hex) ++pos;
  const int base = hex ? 16 : 10;
  uint64_t value = 0;
  size_t digits = 0;
  while (pos < text.size() && digits < kMaxReferenceDigits) {
    const int digit = HexDigitValue(text[pos]);
    if (digit < 0 || digit >= base) break;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    ++digits;
    ++pos;
  }
  if (pos < text.size()) ++pos;  // the terminating character, normally ';'
  if (digits > 0) {
    written = WriteUtf8(IsScalarValue(value) ? static_cast<uint32_t>(value) : kReplacementCharacter, out);
  }
  return pos;
}

// Whether the text holds an '&'. Names and values are mostly short, for which a
// plain loop beats a call to memchr.
bool HasAmpersand(std::string_view text) noexcept {
  if (text.size() >= kShortText) return text.find('&') != std::string_view::npos;
  for (const char c : text) {
    if (c == '&') return true;
  }
  return false;
}

}  // namespace

size_t DecodeInto(std::string_view text, char* out) noexcept {
  size_t in = 0;
  size_t written = 0;
  while (in < text.size()) {
    const size_t amp = text.find('&', in);
    const size_t runEnd = amp == std::string_view::npos ? text.size() : amp;
    if (runEnd > in) {
      std::memcpy(out + written, text.data() + in, runEnd - in);
      written += runEnd - in;
      in = runEnd;
    }
    if (in >= text.size()) break;
    const std::string_view rest = text.substr(in);
    bool named = false;
    for (const NamedEntity& entity : kNamedEntities) {
      if (rest.starts_with(entity.source)) {
        out[written++] = entity.character;
        in += entity.source.size();
        named = true;
        break;
      }
    }
    if (named) continue;
    if (rest.starts_with("&#")) {
      size_t produced = 0;
      in += DecodeNumericReference(rest, out + written, produced);
      written += produced;
      continue;
    }
    out[written++] = '&';
    ++in;
  }
  return written;
}

void AppendDecoded(std::string& out, std::string_view text) {
  const size_t start = out.size();
  out.resize(start + text.size());
  out.resize(start + DecodeInto(text, out.data() + start));
}

std::string Decode(std::string_view text) {
  std::string out;
  AppendDecoded(out, text);
  return out;
}

namespace {

// The entity that replaces text[i], or an empty view when the byte stays.
std::string_view EntityFor(std::string_view text, size_t i) noexcept {
  switch (text[i]) {
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '&':
      return i + 1 < text.size() && text[i + 1] == '#' ? std::string_view{} : std::string_view{"&amp;"};
    default:
      return {};
  }
}

// True for the bytes that may need an entity; most names and values hold none, and
// are then copied in one piece.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view("\"'<>&")) table[c] = true;
  return table;
}();

size_t FirstSpecial(std::string_view text) noexcept {
  for (size_t i = 0; i < text.size(); ++i) {
    if (kSpecial[static_cast<unsigned char>(text[i])]) return i;
  }
  return text.size();
}

}  // namespace

size_t EncodedLength(std::string_view text) noexcept {
  size_t length = FirstSpecial(text);
  for (size_t i = length; i < text.size(); ++i) {
    const std::string_view entity = EntityFor(text, i);
    length += entity.empty() ? 1 : entity.size();
  }
  return length;
}

void AppendEncoded(std::string& out, std::string_view text) {
  const size_t first = FirstSpecial(text);
  if (first == text.size()) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + EncodedLength(text));
  size_t runStart = 0;
  for (size_t i = first; i < text.size(); ++i) {
    const std::string_view entity = EntityFor(text, i);
    if (entity.empty()) continue;
    out.append(text.substr(runStart, i - runStart));
    out.append(entity);
    runStart = i + 1;
  }
  out.append(text.substr(runStart));
}

std::string Encode(std::string_view text) {
  std::string out;
  AppendEncoded(out, text);
  return out;
}

bool DecodedEquals(std::string_view stored, std::string_view plain) {
  // Decoding never lengthens a text.
  if (plain.size() > stored.size()) return false;
  if (!HasAmpersand(stored)) return stored == plain;
  std::array<char, 256> small;
  std::string large;
  char* buffer = small.data();
  if (stored.size() > small.size()) {
    large.resize(stored.size());
    buffer = large.data();
  }
  const size_t length = DecodeInto(stored, buffer);
  return std::string_view(buffer, length) == plain;
}

int CopyOut(std::string_view text, char* out) noexcept {
  if (out != nullptr) {
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
  }
  return static_cast<int>(text.size());
}

int GetText(std::string_view stored, char* out, int raw) noexcept {
  if (out == nullptr || raw != 0) return CopyOut(stored, out);
  const size_t length = DecodeInto(stored, out);
  out[length] = '\0';
  return static_cast<int>(length);
}

}  // namespace Korvane::DataReader::XMLText

// The shared C-string helpers.
#include "common/TextUtils.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace Korvane::DataReader {
namespace {

std::string_view ViewOf(const char* text) noexcept { return text != nullptr ? std::string_view(text) : ""; }

}  // namespace

void UpperString(char* text) noexcept {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

bool SameString(const char* a, const char* b) noexcept {
  if (a == nullptr || b == nullptr) return a == b;
  return std::strcmp(a, b) == 0;
}

void CopyStr(char* destination, const char* source, int n) noexcept {
  if (destination == nullptr || n < 1) return;
  const size_t room = static_cast<size_t>(n) - 1;
  const std::string_view text = ViewOf(source);
  const size_t copied = std::min(text.size(), room);
  std::memcpy(destination, text.data(), copied);
  std::memset(destination + copied, 0, room - copied + 1);
}

void CopyStrEx(char* destination, size_t destinationSize, const char* source, int start, int count) noexcept {
  if (destination == nullptr || destinationSize == 0) return;
  const std::string_view text = ViewOf(source);
  size_t copied = 0;
  if (count > 0 && start >= 0 && static_cast<size_t>(start) < text.size()) {
    copied = std::min({static_cast<size_t>(count), text.size() - static_cast<size_t>(start), destinationSize - 1});
    std::memcpy(destination, text.data() + start, copied);
  }
  destination[copied] = '\0';
}

int LengthStr(const char* text) noexcept { return static_cast<int>(ViewOf(text).size()); }

int AppendStr(char* destination, size_t destinationSize, const char* source) noexcept {
  if (destination == nullptr || destinationSize == 0) return 0;
  const size_t length = strnlen(destination, destinationSize - 1);
  const std::string_view text = ViewOf(source);
  const size_t appended = std::min(text.size(), destinationSize - 1 - length);
  std::memcpy(destination + length, text.data(), appended);
  destination[length + appended] = '\0';
  return static_cast<int>(length + appended);
}

int StrFind(const char* text, const char* pattern) noexcept {
  const std::string_view haystack = ViewOf(text);
  const std::string_view needle = ViewOf(pattern);
  if (haystack.empty() || needle.empty()) return -1;
  const size_t at = haystack.find(needle);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

void ConvertUnicodeToASCII(char* text, size_t size) noexcept {
  if (text == nullptr || size == 0) return;
  size_t written = 0;
  for (size_t i = 0; i < size && text[i] != '\0'; i += 2) text[written++] = text[i];
  text[std::min(written, size - 1)] = '\0';
}

int CharToInt(char character) noexcept { return character >= '1' && character <= '9' ? character - '0' : 0; }

uint32_t HexToInteger(const char* text) noexcept {
  uint32_t result = 0;
  for (const char c : ViewOf(text)) {
    uint32_t digit = static_cast<uint32_t>(CharToInt(c));
    if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
    result = (result << 4) | digit;
  }
  return result;
}

int64_t ato__int64(const char* text) noexcept {
  uint64_t value = 0;  // unsigned: a long text wraps instead of overflowing
  for (const char c : ViewOf(text)) value = value * 10 + static_cast<uint64_t>(CharToInt(c));
  return static_cast<int64_t>(value);
}

std::array<char, 5> GetFileExtension(const char* path) noexcept {
  std::array<char, 5> extension{};
  const std::string_view text = ViewOf(path);
  if (text.size() <= 4) return extension;
  for (size_t i = 0; i < 4; ++i) {
    extension[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[text.size() - 4 + i])));
  }
  return extension;
}

}  // namespace Korvane::DataReader

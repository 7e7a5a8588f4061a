// Measuring, splitting and editing channel index strings.
#include "setup/KVIndex.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

#include "common/TextUtils.h"
#include "setup/ChannelGroups.h"

namespace Korvane::DataReader {
namespace {

std::string_view ViewOf(const char* text) noexcept { return text != nullptr ? std::string_view(text) : ""; }

bool HasComputerName(std::string_view text) noexcept {
  return text.size() >= 3 && text.find(':', 2) != std::string_view::npos;
}

// Behind a computer name every position addresses the next field.
int WantedField(std::string_view text, int position) noexcept {
  return HasComputerName(text) ? position + 1 : position;
}

}  // namespace

bool HasComputerNameBeforeKVIndex(const char* text) noexcept { return HasComputerName(ViewOf(text)); }

int GetKVIndexLevel(const char* text) noexcept {
  const std::string_view view = ViewOf(text);
  const int separators = static_cast<int>(std::count(view.begin(), view.end(), ';'));
  return 2 + separators - (HasComputerName(view) ? 1 : 0);
}

void GetKVIndexAtPos(const char* text, int position, char* out, size_t outSize) noexcept {
  if (out == nullptr || outSize == 0) return;
  const std::string_view view = ViewOf(text);
  const int wanted = WantedField(view, position);
  int field = 1;
  size_t length = 0;
  for (const char c : view) {
    if (c == ';') {
      ++field;
    } else if (c == ':') {
      length = 0;
    } else if (field == wanted && length + 1 < outSize) {
      out[length++] = c;
    }
  }
  out[length] = '\0';
}

void SetKVIndexAtPos(char* text, size_t textSize, int position, const char* name) {
  if (text == nullptr || textSize == 0) return;
  const size_t length = strnlen(text, textSize - 1);
  const std::string_view view(text, length);
  const int wanted = WantedField(view, position);
  int field = view.find(':') == std::string_view::npos ? 1 : 0;
  size_t fieldStart = std::string_view::npos;
  size_t fieldEnd = 0;
  for (size_t i = 0; i < view.size(); ++i) {
    if (view[i] == ':' || view[i] == ';') {
      ++field;
    } else if (field == wanted) {
      if (fieldStart == std::string_view::npos) fieldStart = i;
      fieldEnd = i + 1;
    }
  }
  if (fieldStart == std::string_view::npos) {
    text[length] = '\0';
    return;
  }
  const std::string replacement(ViewOf(name));  // a copy: `name` may point into `text`
  const size_t capacity = textSize - 1;
  const size_t nameLength = std::min(replacement.size(), capacity - fieldStart);
  const size_t tailLength = std::min(length - fieldEnd, capacity - fieldStart - nameLength);
  std::memmove(text + fieldStart + nameLength, text + fieldEnd, tailLength);
  std::memcpy(text + fieldStart, replacement.data(), nameLength);
  text[fieldStart + nameLength + tailLength] = '\0';
}

void ConvertToKVIndex(const char* source, char* destination, size_t destinationSize) {
  if (destination == nullptr || destinationSize == 0) return;
  CopyStr(destination, source, static_cast<int>(std::min<size_t>(destinationSize, INT_MAX)));
  char group[16];
  GetKVIndexAtPos(source, 1, group, sizeof group);
  const ChannelGroup* match = ChannelGroupByNumericText(group);
  if (match == nullptr) return;
  const std::string name(match->name);
  SetKVIndexAtPos(destination, destinationSize, 1, name.c_str());
}

}  // namespace Korvane::DataReader

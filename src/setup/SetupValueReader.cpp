// SetupValueReader: the child index of one element and the conversions of
// setup value texts, read in place from the document's stored texts.
#include "setup/SetupValueReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "setup/NumberParsers.h"
#include "setup/Prefetch.h"
#include "xml/XMLElement.h"
#include "xml/XMLText.h"

namespace Korvane::DataReader {

namespace {

// Upper case as the "C" locale has it (the reader runs in that locale).
constexpr std::array<unsigned char, 256> kUpper = [] {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[static_cast<size_t>(c)] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return table;
}();

unsigned char Upper(char c) noexcept { return kUpper[static_cast<unsigned char>(c)]; }

// <0, 0, >0 as a compares with b in any letter case.
int CompareIgnoringCase(std::string_view a, std::string_view b) noexcept {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char x = Upper(a[i]);
    const unsigned char y = Upper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Whether two texts of `size` bytes hold the same bytes, compared a word at a time
// (the last word overlapping the one before).
bool SameBytes(const char* a, const char* b, size_t size) noexcept {
  using SetupNameDetail::LoadLittleEndian;
  if (size >= 8) {
    for (size_t at = 0; at + 8 < size; at += 8) {
      if (LoadLittleEndian(a + at, 8) != LoadLittleEndian(b + at, 8)) return false;
    }
    return LoadLittleEndian(a + size - 8, 8) == LoadLittleEndian(b + size - 8, 8);
  }
  if (size >= 4) {
    return LoadLittleEndian(a, 4) == LoadLittleEndian(b, 4) &&
           LoadLittleEndian(a + size - 4, 4) == LoadLittleEndian(b + size - 4, 4);
  }
  for (size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// Names looked up are nearly always written as the document writes them, so the
// byte comparison settles most matches before the letter-case one.
bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  return SameBytes(a.data(), b.data(), a.size()) || CompareIgnoringCase(a, b) == 0;
}

bool HasAmpersand(std::string_view text) noexcept { return SetupValueReader::HoldsEntity(text); }

// The child's text as it reads decoded: the stored text itself when it holds no
// entity, else its decoding in `scratch`. False when there is no text.
bool TextView(const XMLElement* child, std::string& scratch, std::string_view& text) {
  if (child == nullptr || child->GetContentsNum() == 0) return false;
  const std::string_view stored = child->GetContents()[0]->StoredText();
  if (!HasAmpersand(stored)) {
    text = stored;
  } else {
    scratch = XMLText::Decode(stored);
    text = scratch;
  }
  return true;
}

// strtoll's reading of a decimal text: blanks, a sign, the digits up to the
// first other character (none: 0). False when the value does not fit 64 bits.
bool ParseDecimal(std::string_view text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

int64_t DecimalTextInRange(std::string_view text, int64_t low, int64_t high) {
  int64_t value = 0;
  if (!ParseDecimal(text, value) || value < low || value > high) {
    throw FileCorruptException("setup number out of range: " + std::string(text));
  }
  return value;
}

int64_t DecimalInRange(const XMLElement* child, int64_t low, int64_t high, bool& given) {
  std::string scratch;
  std::string_view text;
  given = TextView(child, scratch, text);
  return given ? DecimalTextInRange(text, low, high) : 0;
}

// Calls `parse` with the text zero-terminated, on the stack when it is short.
template <class Parse>
auto WithTerminatedText(std::string_view text, Parse parse) {
  char shortText[64];
  if (text.size() < sizeof shortText) {
    std::memcpy(shortText, text.data(), text.size());
    shortText[text.size()] = '\0';
    return parse(static_cast<const char*>(shortText));
  }
  const std::string longText(text);
  return parse(longText.c_str());
}

}  // namespace

SetupValueReader::SetupValueReader(const XMLElement* element) {
  if (element == nullptr || element->GetChildrenNum() == 0) return;
  // At most half the slots are used, so probes stay short.
  size_t slots = 16;
  while (slots < 2 * static_cast<size_t>(element->GetChildrenNum())) slots *= 2;
  if (slots > kInlineSlots) overflow_.resize(slots);
  mask_ = slots - 1;
  std::fill_n(Slots(), slots, Slot{nullptr, nullptr, 0, 0});
  const auto children = element->GetChildren();
  // A large document is read from memory, not from the caches: asking for every
  // child at once lets their memory arrive together rather than one child after
  // another, and the value reads that follow find it (and the contents placed
  // right after each child) in the caches.
  for (const XMLElement* child : children.first(std::min(children.size(), kPrefetchedChildren))) {
    PrefetchForRead(child, kNodeAndContentBytes);
  }
  for (XMLElement* child : children) {
    std::string_view name = child->StoredName();
    if (HasAmpersand(name)) name = decodedNames_.emplace_front(child->Name());
    Insert(name, child);
  }
}

void SetupValueReader::Insert(std::string_view name, XMLElement* element) {
  const uint32_t hash = HashNameIgnoringCase(name);
  Slot* slots = Slots();
  for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots[i];
    if (slot.element == nullptr) {
      slot = {name.data(), element, static_cast<uint32_t>(name.size()), hash};
      return;
    }
    // A later child of the same name is hidden by the first.
    if (slot.hash == hash && EqualIgnoringCase({slot.name, slot.nameLength}, name)) return;
  }
}

XMLElement* SetupValueReader::Find(SetupName wanted) const {
  if (mask_ == 0) return nullptr;
  const std::string_view name = wanted.text();
  const uint32_t hash = wanted.hash();
  const Slot* slots = Slots();
  for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
    const Slot& slot = slots[i];
    if (slot.element == nullptr) return nullptr;
    if (slot.hash == hash && EqualIgnoringCase({slot.name, slot.nameLength}, name)) return slot.element;
  }
}

bool SetupValueReader::TextOf(const XMLElement* child, std::string& text) {
  std::string scratch;
  std::string_view view;
  if (!TextView(child, scratch, view)) return false;
  text.assign(view);
  return true;
}

std::string SetupValueReader::StringOf(const XMLElement* child, const char* defaultValue) {
  std::string text;
  return TextOf(child, text) ? text : std::string(defaultValue);
}

void SetupValueReader::StringOf(const XMLElement* child, char* out, int capacity, const char* defaultValue) {
  if (capacity < 1) return;
  std::string scratch;
  std::string_view text;
  if (!TextView(child, scratch, text)) text = defaultValue;
  // The fixed-field rule of CopyStr, for a text that is not terminated.
  const size_t length = std::min(text.size(), static_cast<size_t>(capacity) - 1);
  std::memcpy(out, text.data(), length);
  std::memset(out + length, 0, static_cast<size_t>(capacity) - length);
}

int SetupValueReader::IntegerOf(const XMLElement* child, int defaultValue) {
  bool given = false;
  const int64_t value =
      DecimalInRange(child, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), given);
  return given ? static_cast<int>(value) : defaultValue;
}

uint32_t SetupValueReader::UnsignedIntOf(const XMLElement* child, uint32_t defaultValue) {
  bool given = false;
  const int64_t value =
      DecimalInRange(child, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max(), given);
  return given ? static_cast<uint32_t>(value) : defaultValue;
}

int64_t SetupValueReader::Int64Of(const XMLElement* child, int64_t defaultValue) {
  bool given = false;
  const int64_t value =
      DecimalInRange(child, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), given);
  return given ? value : defaultValue;
}

uint32_t SetupValueReader::ColorOf(const XMLElement* child, uint32_t defaultValue) {
  constexpr size_t kHexColorLength = 7;  // "#RRGGBB"
  std::string scratch;
  std::string_view text;
  if (!TextView(child, scratch, text)) return defaultValue;
  if (text.size() == kHexColorLength && text[0] == '#') {
    return WithTerminatedText(text, [](const char* terminated) { return HexToInteger(terminated); });
  }
  return UnsignedIntOf(child, defaultValue);
}

double SetupValueReader::DoubleOf(const XMLElement* child, double defaultValue) {
  std::string scratch;
  std::string_view text;
  if (!TextView(child, scratch, text)) return defaultValue;
  double value = 0;
  if (ParsePlainDecimal(text, value)) return value;
  return WithTerminatedText(text, [](const char* terminated) { return stod_s(terminated); });
}

float SetupValueReader::FloatOf(const XMLElement* child, float defaultValue) {
  std::string scratch;
  std::string_view text;
  if (!TextView(child, scratch, text)) return defaultValue;
  return WithTerminatedText(text, [](const char* terminated) { return stof_s(terminated); });
}

bool SetupValueReader::BoolOf(const XMLElement* child, bool defaultValue) {
  std::string scratch;
  std::string_view text;
  if (!TextView(child, scratch, text)) return defaultValue;
  return SameNameIgnoringCase(text, "TRUE");
}

int SetupValueReader::ParseInteger(std::string_view text) {
  return static_cast<int>(
      DecimalTextInRange(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool SetupValueReader::SameNameIgnoringCase(std::string_view a, std::string_view b) noexcept {
  return EqualIgnoringCase(a, b);
}

}  // namespace Korvane::DataReader

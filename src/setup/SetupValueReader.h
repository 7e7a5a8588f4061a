// SetupValueReader: typed reading of the values a setup element holds as the
// text of its child elements. Child names match in any letter case and the first
// match in document order wins; a missing child, or one without text, gives the
// default. The reader indexes the element's children once, so reading the
// fifty-odd values of a channel definition costs one pass over its children
// rather than one per value, and it reads names and values in place, without
// copying them. It points into the document and must not outlive it.
#pragma once

#include <cstdint>
#include <cstring>
#include <forward_list>
#include <string>
#include <string_view>
#include <vector>

#include "setup/SetupName.h"

namespace Korvane::DataReader {

class XMLElement;

class SetupValueReader {
 public:
  // Indexes the children of `element`; a null element has no values.
  explicit SetupValueReader(const XMLElement* element);
  // The index points into its own storage.
  SetupValueReader(const SetupValueReader&) = delete;
  SetupValueReader& operator=(const SetupValueReader&) = delete;

  // The first child with that name in any letter case, or null.
  XMLElement* Find(SetupName name) const;
  bool Has(SetupName name) const { return Find(name) != nullptr; }

  std::string String(SetupName name, const char* defaultValue) const { return StringOf(Find(name), defaultValue); }
  // The text cut into a buffer of `capacity` bytes and zero-filled behind it.
  void String(SetupName name, char* out, int capacity, const char* defaultValue) const {
    StringOf(Find(name), out, capacity, defaultValue);
  }
  int Integer(SetupName name, int defaultValue) const { return IntegerOf(Find(name), defaultValue); }
  int64_t Int64(SetupName name, int64_t defaultValue) const { return Int64Of(Find(name), defaultValue); }
  uint32_t Color(SetupName name, uint32_t defaultValue) const { return ColorOf(Find(name), defaultValue); }
  double Double(SetupName name, double defaultValue) const { return DoubleOf(Find(name), defaultValue); }
  float Float(SetupName name, float defaultValue) const { return FloatOf(Find(name), defaultValue); }
  bool Bool(SetupName name, bool defaultValue) const { return BoolOf(Find(name), defaultValue); }

  // The value of one child element (null: missing).

  // The decoded text; false when the child is missing or holds no text.
  static bool TextOf(const XMLElement* child, std::string& text);
  static std::string StringOf(const XMLElement* child, const char* defaultValue);
  static void StringOf(const XMLElement* child, char* out, int capacity, const char* defaultValue);
  // Decimal integers: leading blanks and a sign allowed, digits up to the first
  // other character, no digits give 0. A number the type cannot hold is a
  // corrupt setup (FileCorruptException), never a cut or wrapped value.
  static int IntegerOf(const XMLElement* child, int defaultValue);
  // Accepts -2^31 .. 2^32 - 1, kept modulo 2^32.
  static uint32_t UnsignedIntOf(const XMLElement* child, uint32_t defaultValue);
  static int64_t Int64Of(const XMLElement* child, int64_t defaultValue);
  // "#RRGGBB" gives 0x00RRGGBB; other text is a decimal 32-bit value.
  static uint32_t ColorOf(const XMLElement* child, uint32_t defaultValue);
  // Either decimal separator; malformed text throws std::invalid_argument, a
  // value out of range std::out_of_range.
  static double DoubleOf(const XMLElement* child, double defaultValue);
  static float FloatOf(const XMLElement* child, float defaultValue);
  // True exactly when the text is "true" in any letter case.
  static bool BoolOf(const XMLElement* child, bool defaultValue);

  // A decimal text read like IntegerOf.
  static int ParseInteger(std::string_view text);

  // Whether two names are equal in any letter case.
  static bool SameNameIgnoringCase(std::string_view a, std::string_view b) noexcept;

  // Whether a stored text holds an entity, so that it reads differently decoded.
  // Most setup texts are a few bytes long, for which a plain loop beats memchr.
  static bool HoldsEntity(std::string_view text) noexcept {
    constexpr size_t kShortText = 32;
    if (text.size() > kShortText) return std::memchr(text.data(), '&', text.size()) != nullptr;
    for (const char c : text) {
      if (c == '&') return true;
    }
    return false;
  }

 private:
  // An open-addressing table over the children's names in any letter case,
  // holding the first child of each name.
  struct Slot {  // trivial, so unused inline slots cost nothing
    const char* name;  // decoded
    XMLElement* element;  // null: free
    uint32_t nameLength;
    uint32_t hash;
  };
  static constexpr size_t kInlineSlots = 64;

  void Insert(std::string_view name, XMLElement* element);
  Slot* Slots() noexcept { return overflow_.empty() ? inline_ : overflow_.data(); }
  const Slot* Slots() const noexcept { return overflow_.empty() ? inline_ : overflow_.data(); }

  size_t mask_ = 0;  // slot count - 1; 0 without children
  Slot inline_[kInlineSlots];
  std::vector<Slot> overflow_;  // used when the children need more slots
  // Names that hold entities, decoded; list nodes never move, and an empty list
  // allocates nothing.
  std::forward_list<std::string> decodedNames_;
};

}  // namespace Korvane::DataReader

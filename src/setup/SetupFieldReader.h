// SetupFieldReader: the values of a kind of setup element whose child names the
// interpreter knows when it is compiled, such as a channel definition. The list
// of names becomes a name table at compile time; one pass over the element's
// children files the first child of each listed name, and every value read after
// that is an array access instead of a lookup. Names match as SetupValueReader
// matches them (decoded, in any letter case, the first in document order wins).
// The reader points into the document and must not outlive it.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "setup/Prefetch.h"
#include "setup/SetupName.h"
#include "setup/SetupValueReader.h"
#include "xml/XMLElement.h"

namespace Korvane::DataReader {

// A list of child names and the table that finds a name's place in the list.
template <size_t N>
class SetupFieldNames {
 public:
  consteval explicit SetupFieldNames(const std::array<std::string_view, N>& names) : names_(names) {
    slots_.fill(-1);
    for (size_t field = 0; field < N; ++field) {
      if (names_[field].find('&') != std::string_view::npos) listsAmpersand_ = true;
      hashes_[field] = HashNameIgnoringCase(names_[field]);
      size_t i = hashes_[field] & kMask;
      while (slots_[i] >= 0) {
        // Two names equal in any letter case would leave the second field empty.
        if (SameIgnoringCase(names_[static_cast<size_t>(slots_[i])], names_[field])) throw "name listed twice";
        i = (i + 1) & kMask;
      }
      slots_[i] = static_cast<int16_t>(field);
    }
  }

  static constexpr size_t size() noexcept { return N; }
  // Whether a listed name holds '&'. When none does, a stored child name that
  // holds one cannot equal a listed name as stored, only decoded.
  constexpr bool ListsAmpersand() const noexcept { return listsAmpersand_; }

  // The place of a name written in the code; a name not in the list does not
  // compile.
  consteval size_t Field(std::string_view name) const {
    for (size_t field = 0; field < N; ++field) {
      if (names_[field] == name) return field;
    }
    throw "name not in the list";
  }

  // The place of a decoded child name in any letter case, or -1.
  int Lookup(std::string_view name) const noexcept {
    const uint32_t hash = HashNameIgnoringCase(name);
    for (size_t i = hash & kMask;; i = (i + 1) & kMask) {
      const int field = slots_[i];
      if (field < 0) return -1;
      const auto at = static_cast<size_t>(field);
      if (hashes_[at] != hash) continue;
      // Child names are nearly always written as listed, which a plain
      // comparison settles without the letter-case one.
      if (names_[at] == name || SetupValueReader::SameNameIgnoringCase(names_[at], name)) return field;
    }
  }

 private:
  // At most a quarter of the slots are used, so nearly every probe ends at once.
  static constexpr size_t kSlots = std::max<size_t>(16, std::bit_ceil(4 * N));
  static constexpr size_t kMask = kSlots - 1;

  static constexpr bool SameIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (size_t i = 0; i < a.size(); ++i) {
      if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
  }

  std::array<std::string_view, N> names_;
  std::array<uint32_t, N> hashes_{};
  std::array<int16_t, kSlots> slots_{};
  bool listsAmpersand_ = false;
};

template <const auto& kNames>
class SetupFieldReader {
 public:
  // A listed name, turned into its place when the code is compiled.
  class Field {
   public:
    consteval Field(const char* name) : index_(kNames.Field(name)) {}
    size_t index() const noexcept { return index_; }

   private:
    size_t index_;
  };

  // Files the children of `element`; a null element has no values.
  explicit SetupFieldReader(const XMLElement* element) {
    if (element == nullptr) return;
    const auto children = element->GetChildren();
    // See SetupValueReader: the children's memory is asked for at once.
    for (const XMLElement* child : children.first(std::min(children.size(), kPrefetchedChildren))) {
      PrefetchForRead(child, kNodeAndContentBytes);
    }
    for (XMLElement* child : children) {
      PrefetchForRead(reinterpret_cast<const char*>(child) + kStreamAheadBytes, kNodeAndContentBytes);
      const std::string_view stored = child->StoredName();
      int field;
      if constexpr (kNames.ListsAmpersand()) {
        field = SetupValueReader::HoldsEntity(stored) ? kNames.Lookup(child->Name()) : kNames.Lookup(stored);
      } else {
        // Nearly every name holds no entity and is found as stored.
        field = kNames.Lookup(stored);
        if (field < 0 && SetupValueReader::HoldsEntity(stored)) field = kNames.Lookup(child->Name());
      }
      if (field >= 0 && found_[static_cast<size_t>(field)] == nullptr) found_[static_cast<size_t>(field)] = child;
    }
  }
  SetupFieldReader(const SetupFieldReader&) = delete;
  SetupFieldReader& operator=(const SetupFieldReader&) = delete;

  // The first child of that name in any letter case, or null.
  XMLElement* Find(Field field) const noexcept { return found_[field.index()]; }
  bool Has(Field field) const noexcept { return Find(field) != nullptr; }

  // The conversions of SetupValueReader, on the filed child.
  std::string String(Field field, const char* defaultValue) const {
    return SetupValueReader::StringOf(Find(field), defaultValue);
  }
  void String(Field field, char* out, int capacity, const char* defaultValue) const {
    SetupValueReader::StringOf(Find(field), out, capacity, defaultValue);
  }
  // Replaces `text` with the child's text, or with the default when there is none.
  void AssignString(Field field, std::string& text, const char* defaultValue) const {
    if (!SetupValueReader::TextOf(Find(field), text)) text.assign(defaultValue);
  }
  int Integer(Field field, int defaultValue) const { return SetupValueReader::IntegerOf(Find(field), defaultValue); }
  int64_t Int64(Field field, int64_t defaultValue) const { return SetupValueReader::Int64Of(Find(field), defaultValue); }
  uint32_t Color(Field field, uint32_t defaultValue) const {
    return SetupValueReader::ColorOf(Find(field), defaultValue);
  }
  double Double(Field field, double defaultValue) const { return SetupValueReader::DoubleOf(Find(field), defaultValue); }
  bool Bool(Field field, bool defaultValue) const { return SetupValueReader::BoolOf(Find(field), defaultValue); }

 private:
  std::array<XMLElement*, std::remove_cvref_t<decltype(kNames)>::size()> found_{};
};

}  // namespace Korvane::DataReader

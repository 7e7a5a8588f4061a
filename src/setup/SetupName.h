// SetupName: a child name the setup interpreter looks up, with the hash under
// which the child index (SetupValueReader) files names. A name written in the
// code gets its hash when the code is compiled, so the fifty-odd lookups of a
// channel definition hash nothing at run time; other names get theirs from
// SetupName::Of. Names that differ only in letter case share a hash.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace Korvane::DataReader {

namespace SetupNameDetail {

// `count` (at most eight) bytes of `text` as a little-endian number, the same
// number at compile time and at run time.
constexpr uint64_t LoadLittleEndian(const char* text, size_t count) noexcept {
  if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
    if (count == 8) {
      uint64_t word;
      std::memcpy(&word, text, sizeof word);
      return word;
    }
    if (count == 4) {
      uint32_t word;
      std::memcpy(&word, text, sizeof word);
      return word;
    }
  }
  uint64_t word = 0;
  for (size_t i = 0; i < count; ++i) word |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  return word;
}

}  // namespace SetupNameDetail

// Every byte is folded with bit 0x20 set, which joins each upper-case letter with
// its lower-case one (and a few other pairs too, which the comparison that follows
// every hash match tells apart). Names are read eight bytes at a time, the last
// piece overlapping the one before; names of equal length read the same
// positions, so names equal in any letter case give equal hashes.
constexpr uint32_t HashNameIgnoringCase(std::string_view name) noexcept {
  using SetupNameDetail::LoadLittleEndian;
  constexpr uint64_t kFold = 0x2020202020202020u;
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  const char* text = name.data();
  const size_t size = name.size();
  uint64_t hash = (size + 1) * kMultiplier;
  auto mix = [&hash](uint64_t word) { hash = (hash ^ (word | kFold)) * kMultiplier; };
  if (size >= 8) {
    for (size_t at = 0; at + 8 < size; at += 8) mix(LoadLittleEndian(text + at, 8));
    mix(LoadLittleEndian(text + size - 8, 8));
  } else if (size >= 4) {
    mix(LoadLittleEndian(text, 4) << 32 | LoadLittleEndian(text + size - 4, 4));
  } else if (size > 0) {
    const auto byte = [text](size_t at) { return static_cast<uint64_t>(static_cast<unsigned char>(text[at])); };
    mix(byte(0) << 16 | byte(size / 2) << 8 | byte(size - 1));
  }
  return static_cast<uint32_t>(hash >> 32);
}

class SetupName {
 public:
  // A name written in the code (a string literal), hashed at compile time.
  consteval SetupName(const char* literal) : text_(literal), hash_(HashNameIgnoringCase(text_)) {}
  // Any other name, hashed now.
  static SetupName Of(std::string_view text) noexcept { return SetupName(text, HashNameIgnoringCase(text)); }

  std::string_view text() const noexcept { return text_; }
  uint32_t hash() const noexcept { return hash_; }

 private:
  constexpr SetupName(std::string_view text, uint32_t hash) noexcept : text_(text), hash_(hash) {}

  std::string_view text_;
  uint32_t hash_;
};

}  // namespace Korvane::DataReader

// Little-endian field access for the index's stored layouts, independent of the
// host's byte order, and the overflow-safe range test every stored position passes
// before the index reads at it.
#pragma once

#include <cstdint>
#include <cstring>

namespace StoredBytes {

inline uint32_t loadU32(const uint8_t* p) noexcept {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline uint64_t loadU64(const uint8_t* p) noexcept { return uint64_t{loadU32(p)} | uint64_t{loadU32(p + 4)} << 32; }

inline double loadF64(const uint8_t* p) noexcept {
  const uint64_t bits = loadU64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void storeU32(uint8_t* p, uint32_t value) noexcept {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void storeU64(uint8_t* p, uint64_t value) noexcept {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void storeF64(uint8_t* p, double value) noexcept {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  storeU64(p, bits);
}

// True when length bytes at start + offset lie inside a stream of size bytes.
inline bool fits(uint64_t start, uint64_t offset, uint64_t length, uint64_t size) noexcept {
  return start <= size && offset <= size - start && length <= size - start - offset;
}

// a * b, or false when the product does not fit 64 bits.
inline bool multiply(uint64_t a, uint64_t b, uint64_t& product) noexcept {
  if (a != 0 && b > UINT64_MAX / a) return false;
  product = a * b;
  return true;
}

}  // namespace StoredBytes

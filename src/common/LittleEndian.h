// Loads of little-endian integers from byte buffers, independent of the host's
// byte order. Every stored integer of a data file goes through these.
#pragma once

#include <cstdint>

namespace Korvane::DataReader {

inline uint16_t LoadU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }

inline int64_t LoadI64(const uint8_t* p) {
  return static_cast<int64_t>(static_cast<uint64_t>(LoadU32(p)) |
                              (static_cast<uint64_t>(LoadU32(p + 4)) << 32));
}

}  // namespace Korvane::DataReader

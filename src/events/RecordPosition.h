// RecordPosition: where an event lies in the stored data, as a data block number
// and a sample offset within that block (the offset may be negative or run past
// the block).
#pragma once

#include <cstdint>

namespace Korvane::DataReader::Events {

struct RecordPosition {
  int32_t block = 0;
  int32_t offset = 0;

  // The position in full-rate samples from the start of the measurement. Both
  // factors are 32-bit, so the 64-bit product cannot overflow.
  int64_t calculatePosition(int32_t blockSize) const noexcept {
    return static_cast<int64_t>(block) * blockSize + offset;
  }
};

}  // namespace Korvane::DataReader::Events

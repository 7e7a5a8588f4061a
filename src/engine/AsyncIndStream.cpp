// Maps the index's stream operations onto the container's CStream through forward
// windows.
#include "engine/AsyncIndStream.h"

#include "asyncindex/AsyncIndexLibException.h"
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {

uint64_t AsyncIndStream::seek(SeekOrigin origin, int64_t offset) {
  const int64_t base = origin == SeekOrigin::Begin ? 0 : static_cast<int64_t>(position_);
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0 ||
      static_cast<uint64_t>(target) > windows_.Size()) {
    throw FileCorruptException(target < 0 ? "Cursor before BOF" : "Cursor beyond EOF");
  }
  position_ = static_cast<uint64_t>(target);
  return position_;
}

uint64_t AsyncIndStream::read(void* buffer, uint64_t length) {
  if (!windows_.Read(position_, buffer, length)) throw StreamException();
  position_ += length;
  return length;
}

}  // namespace Korvane::DataReader

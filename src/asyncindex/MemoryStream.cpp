// Reading and writing an in-memory index stream.
#include "asyncindex/MemoryStream.h"

#include <cstring>

#include "asyncindex/AsyncIndexLibException.h"

uint64_t MemoryStream::read(void* buffer, uint64_t length) {
  if (length > bytes_.size() - position_) throw StreamException();
  if (length > 0) std::memcpy(buffer, bytes_.data() + position_, length);
  position_ += length;
  ++readCount_;
  bytesRead_ += length;
  return length;
}

uint64_t MemoryStream::write(const void* buffer, uint64_t length) {
  if (position_ + length > bytes_.size()) bytes_.resize(position_ + length);
  if (length > 0) std::memcpy(bytes_.data() + position_, buffer, length);
  position_ += length;
  return length;
}

uint64_t MemoryStream::writeIncomplete(const void* buffer, uint64_t length) { return write(buffer, length); }

uint64_t MemoryStream::writeBackwards(const void* buffer, uint64_t length, uint64_t position, bool keepPosition) {
  const uint64_t current = position_;
  position_ = position < bytes_.size() ? position : bytes_.size();
  write(buffer, length);
  if (keepPosition) position_ = current;
  return length;
}

uint64_t MemoryStream::seek(SeekOrigin origin, int64_t offset) {
  const int64_t size = static_cast<int64_t>(bytes_.size());
  int64_t base = origin == SeekOrigin::Current ? static_cast<int64_t>(position_) : 0;
  int64_t target;
  if (offset > 0 && base > size - offset) {
    target = size;
  } else {
    target = base + offset;
    if (target < 0) target = 0;
    if (target > size) target = size;
  }
  position_ = static_cast<uint64_t>(target);
  return position_;
}

// Maps the index's stream operations onto the container's CStream through a
// read window.
#include "engine/AsyncIndStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "asyncindex/AsyncIndexLibException.h"
#include "common/DataReaderLibException.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader {

uint64_t AsyncIndStream::getSize() {
  if (size_ < 0) size_ = std::max<int64_t>(stream_->Size(), 0);
  return static_cast<uint64_t>(size_);
}

uint64_t AsyncIndStream::seek(SeekOrigin origin, int64_t offset) {
  const int64_t base = origin == SeekOrigin::Begin ? 0 : static_cast<int64_t>(position_);
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target) || target < 0 || static_cast<uint64_t>(target) > getSize()) {
    throw FileCorruptException(target < 0 ? "Cursor before BOF" : "Cursor beyond EOF");
  }
  position_ = static_cast<uint64_t>(target);
  return position_;
}

uint64_t AsyncIndStream::read(void* buffer, uint64_t length) {
  const uint64_t size = getSize();
  if (position_ > size || length > size - position_) throw StreamException();
  auto* out = static_cast<uint8_t*>(buffer);
  const uint64_t windowEnd = windowStart_ + window_.size();
  if (position_ >= windowStart_ && position_ + length <= windowEnd) {
    std::memcpy(out, window_.data() + (position_ - windowStart_), length);
    windowServed_ += length;
  } else if (length >= windowBytes_) {
    ReadDirect(position_, out, length);
  } else {
    AdaptWindow();
    window_.resize(std::min<uint64_t>(windowBytes_, size - position_));
    windowStart_ = position_;
    windowServed_ = length;
    try {
      ReadDirect(position_, window_.data(), window_.size());
    } catch (...) {
      window_.clear();
      throw;
    }
    std::memcpy(out, window_.data(), length);
  }
  position_ += length;
  return length;
}

void AsyncIndStream::AdaptWindow() noexcept {
  if (window_.empty()) return;
  if (windowServed_ >= window_.size() / 2) {
    windowBytes_ = std::min(windowBytes_ * 2, kMaxWindowBytes);
  } else if (windowServed_ < window_.size() / 4) {
    windowBytes_ = std::max(windowBytes_ / 2, kMinWindowBytes);
  }
}

void AsyncIndStream::ReadDirect(uint64_t position, uint8_t* out, uint64_t length) {
  uint64_t done = 0;
  while (done < length) {
    const auto chunk = static_cast<int32_t>(
        std::min<uint64_t>(length - done, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
    ++streamReads_;
    if (stream_->ReadBytesAt(static_cast<int64_t>(position + done), out + done, chunk) != chunk) {
      throw StreamException();
    }
    done += static_cast<uint64_t>(chunk);
  }
}

}  // namespace Korvane::DataReader

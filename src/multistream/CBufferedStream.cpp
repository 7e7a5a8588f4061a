// Window management of the read-ahead stream.
#include "multistream/CBufferedStream.h"

#include <algorithm>
#include <cstring>

namespace Korvane::DataReader::MultiStream {

CBufferedStream::CBufferedStream(CStream& source, int32_t windowBytes)
    : source_(source), size_(std::max<int64_t>(source.Size(), 0)),
      window_(static_cast<size_t>(std::max(windowBytes, 1))) {}

CBufferedStream::~CBufferedStream() = default;

int64_t CBufferedStream::Seek(int64_t offset, EnumSeekOrigin origin) {
  int64_t base;
  switch (origin) {
    case kSeekBegin: base = 0; break;
    case kSeekCurrent: base = position_; break;
    case kSeekEnd: base = size_; break;
    default: return position_;
  }
  // Offsets come from stored counts: keep the sum inside the stream without overflow.
  if (offset < -base) {
    position_ = 0;
  } else if (offset > size_ - base) {
    position_ = size_;
  } else {
    position_ = base + offset;
  }
  return position_;
}

int32_t CBufferedStream::Write(const void*, int32_t) { return -1; }

int32_t CBufferedStream::Read(void* buffer, int32_t length) {
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t delivered = 0;
  while (delivered < length) {
    if (position_ < windowStart_ || position_ >= windowStart_ + windowLength_) {
      if (!Refill()) break;
    }
    const int64_t available = windowStart_ + windowLength_ - position_;
    const auto chunk = static_cast<int32_t>(std::min<int64_t>(available, length - delivered));
    std::memcpy(out + delivered, window_.data() + (position_ - windowStart_), static_cast<size_t>(chunk));
    delivered += chunk;
    position_ += chunk;
  }
  return delivered;
}

bool CBufferedStream::Refill() {
  if (position_ >= size_) return false;
  const auto wanted = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(window_.size()), size_ - position_));
  source_.Seek(position_, kSeekBegin);
  const int32_t got = source_.ReadBytes(window_.data(), wanted);
  windowStart_ = position_;
  windowLength_ = std::max(got, 0);
  return windowLength_ > 0;
}

}  // namespace Korvane::DataReader::MultiStream

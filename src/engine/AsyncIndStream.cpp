// Maps the index's stream operations onto the container's CStream.
#include "engine/AsyncIndStream.h"

#include <algorithm>
#include <limits>

#include "asyncindex/AsyncIndexLibException.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader {
namespace {

uint64_t NonNegative(int64_t value) { return value > 0 ? static_cast<uint64_t>(value) : 0; }

}  // namespace

uint64_t AsyncIndStream::read(void* buffer, uint64_t length) {
  const int64_t remaining = stream_->Size() - stream_->Position();
  if (remaining < 0 || length > static_cast<uint64_t>(remaining)) throw StreamException();
  auto* out = static_cast<uint8_t*>(buffer);
  uint64_t done = 0;
  while (done < length) {
    const auto chunk = static_cast<int32_t>(
        std::min<uint64_t>(length - done, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
    if (stream_->ReadBytes(out + done, chunk) != chunk) throw StreamException();
    done += static_cast<uint64_t>(chunk);
  }
  return length;
}

uint64_t AsyncIndStream::seek(SeekOrigin origin, int64_t offset) {
  const auto from = origin == SeekOrigin::Begin ? MultiStream::kSeekBegin : MultiStream::kSeekCurrent;
  return NonNegative(stream_->Seek(offset, from));
}

uint64_t AsyncIndStream::getCurrentPos() { return NonNegative(stream_->Position()); }

uint64_t AsyncIndStream::getSize() { return NonNegative(stream_->Size()); }

bool AsyncIndStream::isEof() { return stream_->Position() >= stream_->Size(); }

void AsyncIndStream::rewind() { stream_->Seek(0, MultiStream::kSeekBegin); }

}  // namespace Korvane::DataReader

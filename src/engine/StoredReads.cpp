// Checked arithmetic and reads on file values.
#include "engine/StoredReads.h"

#include <limits>

#include "common/DataReaderLibException.h"
#include "multistream/CStream.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

int64_t CeilDiv(int64_t a, int64_t b) noexcept { return a / b + ((a % b > 0) ? 1 : 0); }

int64_t CheckedMul(int64_t a, int64_t b, const char* what) {
  int64_t result = 0;
  if (__builtin_mul_overflow(a, b, &result)) throw FileCorruptException(what);
  return result;
}

int64_t CheckedAdd(int64_t a, int64_t b, const char* what) {
  int64_t result = 0;
  if (__builtin_add_overflow(a, b, &result)) throw FileCorruptException(what);
  return result;
}

int64_t SaturatingAdd(int64_t a, int64_t b) noexcept {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) return b < 0 ? -kMax : kMax;
  return sum;
}

int64_t SaturatingSub(int64_t a, int64_t b) noexcept {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t difference = 0;
  if (__builtin_sub_overflow(a, b, &difference)) return b > 0 ? -kMax : kMax;
  return difference;
}

void ReadAt(MultiStream::CStream* stream, int64_t position, void* buffer, int64_t length, const char* what) {
  if (stream == nullptr || length < 0 || length > std::numeric_limits<int32_t>::max() || position < 0 ||
      position > stream->Size() - length) {
    throw FileCorruptException(what);
  }
  if (stream->ReadBytesAt(position, buffer, static_cast<int32_t>(length)) != length) throw FileCorruptException(what);
}

DataReaderLibException ChannelNotStored() { return DataReaderLibException(KVError, "Channel not stored"); }

bool HasOfflineData(const CKVChannel* channel) noexcept {
  return channel->OfflineInfo != nullptr && channel->OfflineInfo->Status != 0;
}

}  // namespace Korvane::DataReader

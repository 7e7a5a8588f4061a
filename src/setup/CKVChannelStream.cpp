// CKVChannel: samples read straight from a stream, and the payloads of binary
// channels, whose stored samples only locate the payload inside the channel's
// binary stream.
#include <algorithm>
#include <cstring>
#include <limits>

#include "common/DataReaderLibException.h"
#include "multistream/CStream.h"
#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

namespace {

// A binary sample: where its payload starts in the binary stream, and its size.
struct BinaryRecord {
  int64_t position;
  int64_t size;
};
static_assert(sizeof(BinaryRecord) == CKVChannel::kBinaryRecordBytes);

BinaryRecord LoadRecord(const uint8_t* bytes) {
  BinaryRecord record;
  std::memcpy(&record.position, bytes, sizeof record.position);
  std::memcpy(&record.size, bytes + sizeof record.position, sizeof record.size);
  return record;
}

// A payload the stream does not hold whole is a damaged file.
void CheckPayload(MultiStream::CStream* stream, int64_t position, int64_t size) {
  if (stream == nullptr) throw FileCorruptException("binary stream missing");
  if (size == 0) return;
  const int64_t streamSize = stream->Size();
  if (position < 0 || size < 0 || position > streamSize || size > streamSize - position) {
    throw FileCorruptException("binary payload outside its stream");
  }
}

// Reads `size` bytes at `position` of the binary stream into `out`.
void ReadPayload(MultiStream::CStream* stream, int64_t position, int64_t size, uint8_t* out) {
  CheckPayload(stream, position, size);
  if (size == 0) return;
  stream->Seek(position, MultiStream::kSeekBegin);
  // A single read takes at most int32 bytes; a larger payload is read in parts.
  constexpr int64_t kLargestRead = std::numeric_limits<int32_t>::max();
  for (int64_t done = 0; done < size;) {
    const int32_t part = static_cast<int32_t>(std::min(size - done, kLargestRead));
    if (stream->ReadBytes(out + done, part) != part) throw FileCorruptException("binary payload");
    done += part;
  }
}

}  // namespace

double CKVChannel::GetScaledValueFromStream(MultiStream::CStream* stream, void* raw) const {
  uint8_t sample[kLargestSampleBytes] = {};
  stream->ReadBytes(sample, StoredSampleBytes());
  int64_t position = 0;
  return GetScaledValueFromBuf(sample, position, raw);
}

void CKVChannel::GetComplexValueFromStream(MultiStream::CStream* stream, KVComplex* out, ScaleType scaleType) const {
  uint8_t sample[kLargestSampleBytes] = {};
  stream->ReadBytes(sample, StoredSampleBytes());
  int64_t position = 0;
  GetComplexValueFromBuf(sample, position, out, scaleType);
}

void CKVChannel::GetBinDataFromBuf(const uint8_t* buffer, int64_t& position, uint8_t* output, int& outputLength,
                                   int capacity, ScaleType scaleType) const {
  if (scaleType != ScaleType::BinaryData && scaleType != ScaleType::BinaryPacked) return;
  const BinaryRecord record = LoadRecord(buffer + position);
  // A locator outside its stream is a damaged file whatever room the caller gave.
  CheckPayload(BinaryStream, record.position, record.size);
  if (scaleType == ScaleType::BinaryData) {
    if (record.size > capacity) throw NoMemoryAllocException();
    ReadPayload(BinaryStream, record.position, record.size, output);
    outputLength = static_cast<int>(record.size);
  } else {
    // Each payload goes behind a 32-bit length.
    constexpr int64_t kLengthBytes = 4;
    // Compared without a sum that could overflow.
    if (outputLength < 0 || record.size > int64_t{capacity} - outputLength - kLengthBytes) {
      throw NoMemoryAllocException();
    }
    const int32_t length = static_cast<int32_t>(record.size);
    ReadPayload(BinaryStream, record.position, record.size, output + outputLength + kLengthBytes);
    std::memcpy(output + outputLength, &length, sizeof length);
    outputLength += static_cast<int>(record.size + kLengthBytes);
  }
  position += GetSampleBytes();
}

void CKVChannel::GetBinRecFromBuf(const uint8_t* buffer, int64_t& position, int64_t* output, int count) const {
  for (int i = 0; i < count; ++i) {
    const BinaryRecord record = LoadRecord(buffer + position);
    output[2 * i] = record.position;
    output[2 * i + 1] = record.size;
    position += kBinaryRecordBytes;
  }
}

void CKVChannel::GetBinDataFromSample(const KVBinarySample* sample, uint8_t* ring, int64_t& counter,
                                      int64_t capacity) const {
  if (sample->size < 0) throw FileCorruptException("negative binary payload size");
  // A payload larger than the ring would overrun it on the second part.
  if (capacity <= 0 || sample->size > capacity) throw NoMemoryAllocException();
  // The host's counter may be anything; the remainder is taken without a sum
  // that could overflow.
  int64_t write = counter % capacity;
  if (write < 0) write += capacity;
  const int64_t first = std::min(sample->size, capacity - write);
  ReadPayload(BinaryStream, sample->position, first, ring + write);
  counter += first;
  const int64_t rest = sample->size - first;
  if (rest > 0) {
    ReadPayload(BinaryStream, sample->position + first, rest, ring);
    counter = rest;
  }
}

}  // namespace Korvane::DataReader

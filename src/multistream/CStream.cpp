// The stream base: the seek-based size and the framing readers, written only in
// terms of Seek and Read so that they work on every concrete stream.
#include "multistream/CStream.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/DataReaderLibException.h"
#include "common/LittleEndian.h"

namespace Korvane::DataReader::MultiStream {

CStream::~CStream() = default;

int64_t CStream::Size() {
  const int64_t here = Seek(0, kSeekCurrent);
  const int64_t size = Seek(0, kSeekEnd);
  Seek(here, kSeekBegin);
  return size;
}

int32_t CStream::ReadBytes(void* buffer, int32_t length) {
  if (length <= 0) return 0;
  const int64_t before = Position();
  Read(buffer, length);
  // A paged stream copies its last page whole and moves past the slack behind the
  // last fill: only what the stream holds counts as delivered.
  const int64_t after = Position();
  if (after <= before) return 0;
  const int64_t moved = std::min(after, Size()) - before;
  if (moved <= 0) return 0;
  return moved > length ? length : static_cast<int32_t>(moved);
}

int32_t CStream::ReadBytesAt(int64_t position, void* buffer, int32_t length) {
  Seek(position, kSeekBegin);
  return ReadBytes(buffer, length);
}

void CStream::ReadExactly(void* buffer, int32_t length) {
  if (ReadBytes(buffer, length) != length) throw FileCorruptException("Unexpected end of stream");
}

bool CStream::GenCheckFore64(const char* tag) { return SearchRecordMarker(kRecordStartMarker, tag); }

bool CStream::GenCheckBack64(const char* tag) { return SearchRecordMarker(kRecordEndMarker, tag); }

// Junk before a marker is skipped byte by byte. The size is taken once: streams do
// not change while they are read. A read that delivers nothing before the end (a
// damaged stream) counts as reaching the end, so the walk always terminates.
bool CStream::SearchRecordMarker(uint8_t marker, const char* tag) {
  const bool tagUsable = tag != nullptr && std::strlen(tag) == kRecordTagBytes;
  const int64_t size = Size();
  int64_t position = Position();
  for (;;) {
    uint8_t byte = 0;
    bool delivered;
    do {
      delivered = ReadBytes(&byte, 1) == 1;
      if (delivered) ++position;
    } while (delivered && position < size && byte != marker);
    if (!delivered || position >= size) throw FileCorruptException("EOF detected");

    char stored[kRecordTagBytes];
    const int32_t got = ReadBytes(stored, kRecordTagBytes);
    position += got;
    if (got == kRecordTagBytes && tagUsable && std::memcmp(stored, tag, kRecordTagBytes) == 0) return true;
    if (position >= size) return false;
    if (got != kRecordTagBytes) throw FileCorruptException("EOF detected");
  }
}

int32_t CStream::ReadAllocStringFromStream64(char*& out, bool wide) {
  uint8_t countBytes[4];
  ReadExactly(countBytes, sizeof countBytes);
  const int32_t count = LoadI32(countBytes);
  if (count < 0) throw FileCorruptException("Negative string length");
  const int64_t bytes = wide ? 2 * static_cast<int64_t>(count) : count;
  if (bytes > INT32_MAX || bytes > Size() - Position()) throw FileCorruptException("String beyond stream end");

  // Wide text gets a whole zero code unit behind it, narrow text a zero byte.
  const int64_t terminator = wide ? 2 : 1;
  std::unique_ptr<char[]> text(new char[static_cast<size_t>(bytes + terminator)]);
  std::memset(text.get() + bytes, 0, static_cast<size_t>(terminator));
  if (bytes > 0) ReadExactly(text.get(), static_cast<int32_t>(bytes));
  out = text.release();
  return static_cast<int32_t>(bytes);
}

void CStream::ReadIndexFromStream64(uint8_t& count, uint32_t* values) {
  // Up to kShortListMax values are stored as int16, longer lists as uint32 behind a
  // long-form marker byte and a count byte.
  constexpr uint8_t kShortListMax = 7;
  uint8_t first = 0;
  ReadExactly(&first, 1);
  uint8_t raw[kMaxIndexListValues * 4];
  if (first <= kShortListMax) {
    ReadExactly(raw, first * 2);
    for (int i = 0; i < first; ++i) {
      values[i] = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(LoadU16(raw + 2 * i))));
    }
    count = first;
    return;
  }
  uint8_t longCount = 0;
  ReadExactly(&longCount, 1);
  ReadExactly(raw, longCount * 4);
  for (int i = 0; i < longCount; ++i) values[i] = LoadU32(raw + 4 * i);
  count = longCount;
}

}  // namespace Korvane::DataReader::MultiStream

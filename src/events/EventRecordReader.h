// EventRecordReader: checked reads of the fields of stored event records, over a
// window that is loaded from the event stream in large chunks. A stream holds
// many small records; the fields are taken from the window in place and the record
// markers are found with memchr, so a byte is read from the stream once. Every
// read that the stream cannot satisfy, and every stored count or length larger
// than what remains, is a corrupt file: nothing is allocated on a count alone.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "events/EventArena.h"
#include "events/StoredSpan.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader::Events {

class EventRecordReader {
 public:
  // Reads `source` from its start, `windowBytes` at a time (at least 8: a record
  // marker and its tag are compared in place); the source must outlive the
  // reader and not change while it is read. Texts and level offsets read go to
  // `storage`.
  EventRecordReader(MultiStream::CStream& source, int32_t windowBytes, EventArena& storage);

  EventRecordReader(const EventRecordReader&) = delete;
  EventRecordReader& operator=(const EventRecordReader&) = delete;

  // The stream's size, taken once; the read position; the bytes in between.
  int64_t Size() const noexcept { return size_; }
  int64_t Position() const noexcept { return windowStart_ + (cursor_ - window_.data()); }
  int64_t RemainingBytes() const noexcept { return size_ - Position(); }

  // FileCorruptException ("EOF detected") when the stream ends first.
  int32_t ReadInt32() {
    if (end_ - cursor_ < 4) return ReadInt32Slow();
    int32_t value;
    std::memcpy(&value, cursor_, sizeof value);
    cursor_ += sizeof value;
    return value;
  }
  uint8_t ReadUInt8() {
    if (cursor_ == end_ && !Fill(1)) ThrowEndOfStream();
    return *cursor_++;
  }

  // Moves past `count` bytes without reading them; FileCorruptException when fewer
  // remain.
  void SkipBytes(int64_t count);

  // Moves behind the next record start (0x86) followed by `tag`, skipping junk and
  // records with other tags; true when found, false when a marker with another tag
  // ends the stream. FileCorruptException ("EOF detected") when the stream ends
  // before a marker, or when the marker is its last byte.
  bool FindRecordStart(const char* tag) { return FindRecord(MultiStream::kRecordStartMarker, tag); }
  // The same search for a record end (0x87).
  bool FindRecordEnd(const char* tag) { return FindRecord(MultiStream::kRecordEndMarker, tag); }

  // A length-prefixed event text into `out`, placed in the storage: 8-bit
  // characters in the old format, UTF-16 code units narrowed to their low byte
  // otherwise. The text ends at its first zero character.
  void ReadEventText(EventText& out, bool oldFormat);

  // Where what is read is kept (the event list owner's arena).
  EventArena& Storage() noexcept { return storage_; }

  // Reads past a compact index list: a byte b <= 7 and b int16 values, or a byte
  // >= 8, a count byte and that many uint32 values.
  void SkipIndexList();

 private:
  // Makes at least `wanted` bytes (at most the window) readable at the cursor,
  // reading the source as far as it delivers; false when it cannot.
  bool Fill(int64_t wanted);
  int32_t ReadInt32Slow();
  bool FindRecord(uint8_t marker, const char* tag) {
    constexpr int32_t kFramingBytes = 1 + MultiStream::kRecordTagBytes;
    // Most records follow the one before at once: marker and tag are next.
    if (end_ - cursor_ >= kFramingBytes && *cursor_ == marker && TagUsable(tag) &&
        std::memcmp(cursor_ + 1, tag, MultiStream::kRecordTagBytes) == 0) {
      cursor_ += kFramingBytes;
      return true;
    }
    return SearchRecordMarker(marker, tag);
  }
  static bool TagUsable(const char* tag) noexcept {
    return tag != nullptr && std::strlen(tag) == MultiStream::kRecordTagBytes;
  }
  bool SearchRecordMarker(uint8_t marker, const char* tag);
  // Reads `length` bytes and drops them; FileCorruptException ("Unexpected end of
  // stream") when the stream delivers fewer.
  void DropExactly(int32_t length);
  [[noreturn]] static void ThrowEndOfStream();

  MultiStream::CStream& source_;
  EventArena& storage_;
  int64_t size_;
  std::vector<uint8_t> window_;
  // Stream position of window_[0]; the window's readable bytes are [cursor_, end_).
  int64_t windowStart_ = 0;
  const uint8_t* cursor_;
  const uint8_t* end_;
};

}  // namespace Korvane::DataReader::Events

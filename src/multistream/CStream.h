// CStream: the read-only, seekable byte stream through which every byte of a data
// file is read, whether it comes from a file on disk, a paged stream of a
// multi-stream container or an unpacked zip member. It also carries the framing
// readers shared by stored records; strings it allocates belong to the caller.
#pragma once

#include <cstdint>

namespace Korvane::DataReader::MultiStream {

// Origin of a seek; stored as an int so that callers may pass 0, 1 or 2.
enum EnumSeekOrigin : int32_t {
  kSeekBegin = 0,
  kSeekCurrent = 1,
  kSeekEnd = 2,
};

// Stored records are framed as: kRecordStartMarker, a 6-character tag, the body,
// kRecordEndMarker and the same tag.
inline constexpr uint8_t kRecordStartMarker = 0x86;
inline constexpr uint8_t kRecordEndMarker = 0x87;
inline constexpr int32_t kRecordTagBytes = 6;

// A compact index list holds at most this many values; callers pass room for all.
inline constexpr int32_t kMaxIndexListValues = 255;

class CStream {
 public:
  CStream() = default;
  virtual ~CStream();

  CStream(const CStream&) = delete;
  CStream& operator=(const CStream&) = delete;

  // Moves the read position; returns the new position from the start of the stream.
  virtual int64_t Seek(int64_t offset, EnumSeekOrigin origin) = 0;
  // Streams are read-only; each class returns its fixed refusal value.
  virtual int32_t Write(const void* data, int32_t length) = 0;
  // Copies the next `length` bytes into buffer; the result convention is the class's.
  virtual int32_t Read(void* buffer, int32_t length) = 0;
  // Total length in bytes; leaves the read position where it was.
  virtual int64_t Size();

  // The read position (a seek by 0 from the current position).
  int64_t Position() { return Seek(0, kSeekCurrent); }

  // Reads up to `length` bytes and returns how many the stream actually delivered,
  // whatever the class's own Read convention.
  int32_t ReadBytes(void* buffer, int32_t length);
  // The same from absolute `position` (the read position ends behind the bytes
  // read). Streams over a shared carrier read just these bytes, without the
  // read-ahead that serves callers who go on reading where they stopped: for
  // callers that pick scattered pieces out of a stream.
  virtual int32_t ReadBytesAt(int64_t position, void* buffer, int32_t length);

  // Skips forward to the next record start (0x86) followed by `tag`; true when found,
  // false when a marker with another tag ends the stream. Throws
  // FileCorruptException ("EOF detected") when the stream ends before a marker.
  bool GenCheckFore64(const char* tag);
  // The same search for a record end (0x87).
  bool GenCheckBack64(const char* tag);

  // Reads an int32 count and that many bytes (twice as many when wide: UTF-16 code
  // units) into a new zero-terminated buffer that the caller frees with delete[].
  // Returns the byte count. A negative count or one beyond the stream's end throws
  // FileCorruptException and allocates nothing.
  int32_t ReadAllocStringFromStream64(char*& out, bool wide);

  // Reads a compact list: a byte b <= 7 followed by b int16 values (sign-widened),
  // or a byte >= 8, a count byte and that many uint32 values. `values` must hold
  // kMaxIndexListValues entries. Throws FileCorruptException when the stream ends.
  void ReadIndexFromStream64(uint8_t& count, uint32_t* values);

 private:
  bool SearchRecordMarker(uint8_t marker, const char* tag);
  // Reads exactly `length` bytes or throws FileCorruptException.
  void ReadExactly(void* buffer, int32_t length);
};

}  // namespace Korvane::DataReader::MultiStream

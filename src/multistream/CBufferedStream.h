// CBufferedStream: a read-ahead window over another stream, for readers that take
// a stored record apart a few bytes at a time (the event list). Small reads and
// seeks are served from the window; the source is read in large chunks, each byte
// once for a forward walk. It borrows the source, which must outlive it, and
// assumes the source does not change while it is read.
#pragma once

#include <cstdint>
#include <vector>

#include "multistream/CStream.h"

namespace Korvane::DataReader::MultiStream {

class CBufferedStream final : public CStream {
 public:
  static constexpr int32_t kDefaultWindowBytes = 1 << 16;

  // Starts at the beginning of `source`.
  explicit CBufferedStream(CStream& source, int32_t windowBytes = kDefaultWindowBytes);
  ~CBufferedStream() override;

  // Positions are clamped to the stream: before the start lands on 0, past the end
  // on the end. Origins other than 0, 1 and 2 leave the position alone.
  int64_t Seek(int64_t offset, EnumSeekOrigin origin) override;
  // Read-only: returns -1.
  int32_t Write(const void* data, int32_t length) override;
  // Copies up to `length` bytes; returns how many were delivered (fewer at the end
  // of the stream).
  int32_t Read(void* buffer, int32_t length) override;
  // The source's size, taken once.
  int64_t Size() override { return size_; }

 private:
  // Loads the window that starts at position_; false when nothing is left.
  bool Refill();

  CStream& source_;
  int64_t size_;
  int64_t position_ = 0;
  std::vector<uint8_t> window_;
  int64_t windowStart_ = 0;
  int64_t windowLength_ = 0;
};

}  // namespace Korvane::DataReader::MultiStream

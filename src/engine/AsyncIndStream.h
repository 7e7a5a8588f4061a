// AsyncIndStream: the timestamp index's Stream over one stream of the open
// container. The index reads in small pieces (48-byte leaves, one leaf's values,
// then its time stamps), mostly going forward, so the adapter keeps a window of
// the stream it read last and serves the pieces that fall inside it from memory.
// The window adapts to how much of it is used: it grows while reads go through it
// (one channel's leaves one after another) and shrinks when most of it is passed
// over (leaves of many channels interleaved), so that reading one channel never
// costs much more than its own bytes. The container owns the stream; the engine
// keeps each adapter alive as long as the index managers that read through it.
#pragma once

#include <cstdint>
#include <vector>

#include "asyncindex/Stream.h"

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader {

class AsyncIndStream final : public Stream {
 public:
  // Bounds of one refill of the window; reads at least the window's size bypass it.
  static constexpr uint64_t kMinWindowBytes = uint64_t{16} << 10;
  static constexpr uint64_t kMaxWindowBytes = uint64_t{1} << 20;

  explicit AsyncIndStream(MultiStream::CStream* stream) noexcept : stream_(stream) {}

  // Reads exactly length bytes; a read the stream cannot satisfy throws
  // StreamException (the index treats it as the end of what was written).
  uint64_t read(void* buffer, uint64_t length) override;
  // The container is read-only: writes do nothing and report 0 bytes.
  uint64_t write(const void*, uint64_t) override { return 0; }
  uint64_t writeIncomplete(const void*, uint64_t) override { return 0; }
  uint64_t writeBackwards(const void*, uint64_t, uint64_t, bool) override { return 0; }
  // A position outside the stream is FileCorruptException, as the stream's own
  // seek refuses it.
  uint64_t seek(SeekOrigin origin, int64_t offset) override;
  uint64_t getCurrentPos() override { return position_; }
  uint64_t getSize() override;
  bool isEof() override { return position_ >= getSize(); }
  void rewind() override { position_ = 0; }

  // Reads of the container's stream so far (window refills and direct reads).
  uint64_t StreamReads() const noexcept { return streamReads_; }

 private:
  void ReadDirect(uint64_t position, uint8_t* out, uint64_t length);
  // Sizes the next refill by how much of the window being replaced was read.
  void AdaptWindow() noexcept;

  MultiStream::CStream* stream_;
  uint64_t position_ = 0;
  int64_t size_ = -1;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  uint64_t windowBytes_ = kMaxWindowBytes;  // size of the next refill
  uint64_t windowServed_ = 0;               // bytes read from the current window
  uint64_t streamReads_ = 0;
};

}  // namespace Korvane::DataReader

// StreamWindows: reads small pieces of one container stream through a few windows
// of it, each following one reader that goes forward (the leaves or blocks of one
// channel). A piece inside a window is a copy from memory; a piece outside takes
// the window of the reader it continues, else the one used longest ago. Each
// window adapts its size to how much of it is read: it grows while its reader
// goes on through it and shrinks when most of it is passed over (a channel's data
// interleaved with other channels'), so reading one channel costs little more than
// its own bytes. Pieces at least a window long are read directly.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader {

class StreamWindows {
 public:
  static constexpr uint64_t kMinWindowBytes = uint64_t{16} << 10;
  static constexpr uint64_t kMaxWindowBytes = uint64_t{1} << 20;
  static constexpr int kWindows = 4;

  explicit StreamWindows(MultiStream::CStream* stream) noexcept : stream_(stream) {}

  // The stream's size (asked once).
  uint64_t Size();
  // Copies `length` bytes at `position`; false when they do not all lie inside the
  // stream or the stream delivers fewer.
  bool Read(uint64_t position, void* out, uint64_t length);
  // The `length` bytes at `position` inside a window, valid until the next call;
  // null when they do not lie inside the stream, the stream delivers fewer, or
  // they are longer than a window.
  const uint8_t* View(uint64_t position, uint64_t length);
  // Reads of the container's stream so far (window refills and direct reads).
  uint64_t StreamReads() const noexcept { return streamReads_; }

 private:
  struct Window {
    std::vector<uint8_t> bytes;
    uint64_t start = 0;
    uint64_t nextBytes = kMaxWindowBytes;  // size of the next refill
    uint64_t served = 0;                   // bytes read from it since its refill
    uint64_t lastUse = 0;
  };

  Window& WindowFor(uint64_t position);
  // The window holding the whole range, if any.
  Window* Find(uint64_t position, uint64_t length);
  // The window holding the range, refilled from `position` when none does; null
  // when the range cannot be read.
  Window* Hold(uint64_t position, uint64_t length);
  static void Adapt(Window& window) noexcept;
  bool ReadDirect(uint64_t position, uint8_t* out, uint64_t length);

  MultiStream::CStream* stream_;
  int64_t size_ = -1;
  std::array<Window, kWindows> windows_;
  uint64_t uses_ = 0;
  uint64_t streamReads_ = 0;
};

}  // namespace Korvane::DataReader

// StreamWindows: reads small pieces of one container stream through a few windows
// of it, each following one reader that goes forward (the leaves or blocks of one
// channel). A piece inside a window is a copy from memory; a piece outside takes
// the window of the reader it continues, else the one used longest ago. Each
// window adapts its size to how much of it is read: it grows while its reader
// goes on through it and shrinks when most of it is passed over (a channel's data
// interleaved with other channels'), so reading one channel costs little more than
// its own bytes. Pieces at least a window long are read directly.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader {

class StreamWindows;

// The window memory of one reader's streams together. A refill that would take it
// past the limit first releases the windows of the streams refilled longest ago,
// so that reading channel after channel of a file with many streams of their own
// keeps a bounded amount of memory.
class WindowBudget {
 public:
  static constexpr uint64_t kDefaultLimitBytes = uint64_t{32} << 20;

  explicit WindowBudget(uint64_t limitBytes = kDefaultLimitBytes) noexcept : limit_(limitBytes) {}
  WindowBudget(const WindowBudget&) = delete;
  WindowBudget& operator=(const WindowBudget&) = delete;

  // Bytes the windows of every stream hold now.
  uint64_t HeldBytes() const noexcept { return held_; }

 private:
  friend class StreamWindows;
  void Join(StreamWindows* owner);
  void Leave(StreamWindows* owner) noexcept;
  // Makes room for `bytes` more of owner's windows.
  void Reserve(StreamWindows* owner, uint64_t bytes);
  void Returned(uint64_t bytes) noexcept { held_ -= std::min(bytes, held_); }

  uint64_t limit_;
  uint64_t held_ = 0;
  uint64_t clock_ = 0;
  std::vector<StreamWindows*> owners_;
};

class StreamWindows {
 public:
  static constexpr uint64_t kMinWindowBytes = uint64_t{16} << 10;
  static constexpr uint64_t kMaxWindowBytes = uint64_t{1} << 20;
  static constexpr int kWindows = 4;

  // The budget, when given, must outlive the windows.
  explicit StreamWindows(MultiStream::CStream* stream, WindowBudget* budget = nullptr);
  ~StreamWindows();
  StreamWindows(const StreamWindows&) = delete;
  StreamWindows& operator=(const StreamWindows&) = delete;

  // The stream's size (asked once).
  uint64_t Size();
  // Copies `length` bytes at `position`; false when they do not all lie inside the
  // stream or the stream delivers fewer.
  bool Read(uint64_t position, void* out, uint64_t length);
  // The `length` bytes at `position` inside a window, valid until the next call on
  // these windows or on any windows of the same budget;
  // null when they do not lie inside the stream, the stream delivers fewer, or
  // they are longer than a window.
  const uint8_t* View(uint64_t position, uint64_t length);
  // Bytes the windows hold.
  uint64_t HeldBytes() const noexcept { return heldBytes_; }
  // Frees every window; the next read refills one.
  void Release() noexcept;

 private:
  friend class WindowBudget;

  struct Window {
    // Every byte held is read from the stream before use, so the memory is
    // taken as it comes, not cleared first.
    std::unique_ptr<uint8_t[]> storage;
    uint64_t capacity = 0;
    uint64_t size = 0;  // bytes held, from `start` on
    uint64_t start = 0;
    // The size of the next refill. The first is the smallest: a search that
    // jumps through the stream reads little, and a reader going on doubles it.
    uint64_t nextBytes = kMinWindowBytes;
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
  // Fills the window with `bytes` at `position`, or, when they cannot all be
  // read, with the `piece` asked for alone; false when not even the piece can be.
  bool Refill(Window& window, uint64_t position, uint64_t bytes, uint64_t piece);
  bool ReadDirect(uint64_t position, uint8_t* out, uint64_t length);

  MultiStream::CStream* stream_;
  WindowBudget* budget_;
  uint64_t heldBytes_ = 0;
  uint64_t lastRefill_ = 0;  // the budget's clock at the latest refill
  int64_t size_ = -1;
  std::array<Window, kWindows> windows_;
  uint64_t uses_ = 0;
};

}  // namespace Korvane::DataReader

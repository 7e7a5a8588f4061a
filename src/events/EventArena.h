// EventArena: memory for what is read from an event stream: the events, and
// their texts and level offsets. Each is placed behind the one before in large
// blocks, so reading a recording's events costs no allocation of its own per
// event; the blocks go back together when the event list owner clears its list,
// after every event placed in them is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Korvane::DataReader::Events {

class EventArena {
 public:
  static constexpr size_t kBlockBytes = size_t{1} << 16;

  EventArena() = default;
  EventArena(const EventArena&) = delete;
  EventArena& operator=(const EventArena&) = delete;

  // `bytes` of storage aligned to `alignment` (a power of two, at most that of any
  // object), valid until Release.
  void* Allocate(size_t bytes, size_t alignment = alignof(std::max_align_t)) {
    const size_t padding = (alignment - reinterpret_cast<uintptr_t>(next_) % alignment) % alignment;
    if (bytes + padding > left_) {
      AddBlock(bytes);
    } else {
      next_ += padding;
      left_ -= padding;
    }
    void* place = next_;
    next_ += bytes;
    left_ -= bytes;
    return place;
  }

  // Gives every block back.
  void Release() noexcept {
    blocks_.clear();
    next_ = nullptr;
    left_ = 0;
  }

 private:
  void AddBlock(size_t bytes);

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* next_ = nullptr;
  size_t left_ = 0;
};

}  // namespace Korvane::DataReader::Events

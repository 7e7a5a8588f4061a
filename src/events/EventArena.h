// EventArena: the memory the events read from one event stream live in. Events
// are placed one after another in large blocks, so reading a recording's events
// costs no allocation of its own per event; the blocks go back together when the
// event list owner clears its list, after every event placed in them is destroyed.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace Korvane::DataReader::Events {

class EventArena {
 public:
  static constexpr size_t kBlockBytes = size_t{1} << 16;

  EventArena() = default;
  EventArena(const EventArena&) = delete;
  EventArena& operator=(const EventArena&) = delete;

  // `bytes` of storage aligned for any object, valid until Release.
  void* Allocate(size_t bytes) {
    bytes = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    if (bytes > left_) AddBlock(bytes);
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
  static constexpr size_t kAlignment = alignof(std::max_align_t);

  void AddBlock(size_t bytes);

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* next_ = nullptr;
  size_t left_ = 0;
};

}  // namespace Korvane::DataReader::Events

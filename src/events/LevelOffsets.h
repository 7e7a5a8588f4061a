// LevelOffsets: the stored-record offsets a start event keeps, one per reduced
// level. A start stores six, which live inside the event so that reading a
// recording's starts allocates nothing; a record that stores more (a damaged
// file may) puts them on the heap, sized by the bytes the stream holds.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace Korvane::DataReader::Events {

class LevelOffsets {
 public:
  using value_type = int32_t;
  using size_type = size_t;
  using const_iterator = const int32_t*;
  using iterator = const_iterator;

  // As many offsets as fit without an allocation: one per reduced level.
  static constexpr size_t kInPlace = 6;

  LevelOffsets() noexcept : inPlace_{} {}
  ~LevelOffsets() { Release(); }
  LevelOffsets(const LevelOffsets& other) : LevelOffsets() { assign(other.span()); }
  LevelOffsets& operator=(const LevelOffsets& other) {
    if (this != &other) assign(other.span());
    return *this;
  }

  // Room for `count` offsets, zeroed; returns where to write them.
  int32_t* resize(size_t count) {
    int32_t* heap = count > kInPlace ? new int32_t[count]() : nullptr;
    Release();
    if (heap != nullptr) {
      heap_ = heap;
    } else {
      inPlace_.fill(0);
    }
    size_ = static_cast<uint32_t>(count);
    return data();
  }
  void assign(std::span<const int32_t> values) { std::copy(values.begin(), values.end(), resize(values.size())); }

  const int32_t* data() const noexcept { return OnHeap() ? heap_ : inPlace_.data(); }
  int32_t* data() noexcept { return OnHeap() ? heap_ : inPlace_.data(); }
  size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const_iterator begin() const noexcept { return data(); }
  const_iterator end() const noexcept { return data() + size_; }
  int32_t operator[](size_t index) const noexcept { return data()[index]; }
  std::span<const int32_t> span() const noexcept { return {data(), size_}; }

  friend bool operator==(const LevelOffsets& a, const LevelOffsets& b) noexcept {
    return std::ranges::equal(a.span(), b.span());
  }
  friend bool operator==(const LevelOffsets& a, const std::vector<int32_t>& b) noexcept {
    return std::ranges::equal(a.span(), b);
  }

 private:
  bool OnHeap() const noexcept { return size_ > kInPlace; }
  void Release() noexcept {
    if (OnHeap()) delete[] heap_;
    size_ = 0;
    inPlace_ = {};
  }

  // The count is stored counts checked against the stream, so it fits 32 bits.
  uint32_t size_ = 0;
  union {
    std::array<int32_t, kInPlace> inPlace_;
    int32_t* heap_;
  };
};

}  // namespace Korvane::DataReader::Events

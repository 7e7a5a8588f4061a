// StoredSpan: values an event keeps beside its fixed fields (its texts, a start's
// level offsets). Read from the stream they are placed in the event list owner's
// arena, set later (the region repair synthesizes events) the event owns a copy;
// either way the event holds a pointer and a count, so that a recording's events
// stay small and are read without an allocation each.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "events/EventArena.h"

namespace Korvane::DataReader::Events {

template <class T>
class StoredSpan {
 public:
  using value_type = T;
  using size_type = size_t;
  using const_iterator = const T*;
  using iterator = const_iterator;

  StoredSpan() = default;
  ~StoredSpan() { Release(); }
  StoredSpan(const StoredSpan& other) { assign(other.span()); }
  StoredSpan& operator=(const StoredSpan& other) {
    if (this != &other) assign(other.span());
    return *this;
  }

  // Room for `count` values in `arena`, which must outlive this span; returns
  // where to write them. Counts come from checked stored counts, so they fit 32 bits.
  T* Place(EventArena& arena, size_t count) {
    Release();
    if (count == 0) return nullptr;
    data_ = static_cast<T*>(arena.Allocate(count * sizeof(T), alignof(T)));
    size_ = static_cast<uint32_t>(count);
    return data_;
  }
  // Keeps the first `count` values (of those placed).
  void Truncate(size_t count) noexcept { size_ = static_cast<uint32_t>(std::min<size_t>(size_, count)); }
  // An owned copy of `values`.
  void assign(std::span<const T> values) {
    T* copy = values.empty() ? nullptr : new T[values.size()];
    std::copy(values.begin(), values.end(), copy);
    Release();
    data_ = copy;
    size_ = static_cast<uint32_t>(values.size());
    owned_ = copy != nullptr;
  }

  size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const_iterator begin() const noexcept { return data_; }
  const_iterator end() const noexcept { return data_ + size_; }
  T operator[](size_t index) const noexcept { return data_[index]; }
  std::span<const T> span() const noexcept { return {data_, size_}; }

  friend bool operator==(const StoredSpan& a, const StoredSpan& b) noexcept {
    return std::ranges::equal(a.span(), b.span());
  }
  friend bool operator==(const StoredSpan& a, const std::vector<T>& b) noexcept {
    return std::ranges::equal(a.span(), b);
  }

 private:
  void Release() noexcept {
    if (owned_) delete[] data_;
    data_ = nullptr;
    size_ = 0;
    owned_ = false;
  }

  T* data_ = nullptr;
  uint32_t size_ = 0;
  bool owned_ = false;
};

// For start events: one stored-record offset per reduced level, in level order.
using LevelOffsets = StoredSpan<int32_t>;

// An event text: 8-bit characters, without a terminating zero.
class EventText : public StoredSpan<char> {
 public:
  std::string_view view() const noexcept { return {begin(), size()}; }
  std::string str() const { return std::string(view()); }
};

}  // namespace Korvane::DataReader::Events

// The ordered array of owned items an element keeps for its children, attributes,
// contents, comments and CDATA sections. It deletes what it holds; Release hands an
// item back to the caller. Kept small (16 bytes) because every element has five: a
// single item sits in the array itself (the common leaf with one content allocates no
// array), more go to heap storage that grows geometrically, so adding n items costs
// O(n). The document model's nominal capacity, which grows by a fixed step from an
// initial size and feeds the export size estimate (MemoryUsage), is derived from the
// item count.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace Korvane::DataReader {

template <class T, int32_t kInitialCapacity, int32_t kGrowthStep>
class XMLOwnedArray {
 public:
  XMLOwnedArray() = default;
  ~XMLOwnedArray() {
    Clear();
    ReleaseStorage();
  }

  XMLOwnedArray(const XMLOwnedArray&) = delete;
  XMLOwnedArray& operator=(const XMLOwnedArray&) = delete;

  int32_t size() const noexcept { return static_cast<int32_t>(size_); }
  bool empty() const noexcept { return size_ == 0; }
  // The nominal capacity of the document model for the current count: the initial
  // capacity, grown by whole steps until the items fit.
  int32_t capacity() const noexcept {
    const int32_t count = size();
    if (count <= kInitialCapacity) return kInitialCapacity;
    return kInitialCapacity + (count - kInitialCapacity + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
  }

  // The item at `index`, or null when the index is out of range.
  T* at(int64_t index) const noexcept {
    return index >= 0 && static_cast<uint64_t>(index) < size_ ? data()[index] : nullptr;
  }
  std::span<T* const> items() const noexcept { return {data(), size_}; }
  std::span<T*> mutableItems() noexcept { return {data(), size_}; }

  // Appends and takes ownership; returns the item.
  T* Add(std::unique_ptr<T> item) {
    if (size_ == storage_) Grow();
    data()[size_++] = item.get();
    return item.release();
  }

  // Detaches the item at `index` (order of the rest kept); null when out of range.
  std::unique_ptr<T> Release(int64_t index) noexcept {
    T* item = at(index);
    if (item != nullptr) {
      T** items = data();
      std::memmove(items + index, items + index + 1, (size_ - static_cast<size_t>(index) - 1) * sizeof(T*));
      --size_;
    }
    return std::unique_ptr<T>(item);
  }

  // Detaches the last item and hands it to the caller; null when empty.
  T* PopBack() noexcept { return size_ > 0 ? data()[--size_] : nullptr; }

  void Clear() noexcept {
    for (T* item : items()) delete item;
    size_ = 0;
  }

  // Drops spare storage.
  void Compress() {
    if (storage_ <= 1 || size_ == storage_) return;
    XMLOwnedArray shrunk;
    shrunk.Reserve(size_);
    std::copy_n(data(), size_, shrunk.data());
    shrunk.size_ = size_;
    size_ = 0;
    swap(shrunk);
  }

  void swap(XMLOwnedArray& other) noexcept {
    std::swap(slot_, other.slot_);
    std::swap(size_, other.size_);
    std::swap(storage_, other.storage_);
  }

 private:
  T** data() const noexcept { return storage_ <= 1 ? const_cast<T**>(&slot_.single) : slot_.heap; }

  void Reserve(size_t count) {
    if (count <= storage_) return;
    if (count <= 1) {
      slot_.single = nullptr;
      storage_ = 1;
      return;
    }
    T** grown = new T*[count];
    std::copy_n(data(), size_, grown);
    ReleaseStorage();
    slot_.heap = grown;
    storage_ = static_cast<uint32_t>(count);
  }

  void Grow() { Reserve(storage_ == 0 ? 1 : (storage_ == 1 ? 4 : static_cast<size_t>(storage_) * 2)); }

  void ReleaseStorage() noexcept {
    if (storage_ > 1) delete[] slot_.heap;
    slot_.single = nullptr;
    storage_ = 0;
  }

  // The one item in place (storage_ <= 1) or the heap storage (storage_ > 1).
  union Slot {
    T* single;
    T** heap;
  };
  Slot slot_ = {nullptr};
  uint32_t size_ = 0;
  uint32_t storage_ = 0;
};

}  // namespace Korvane::DataReader

// Iterator: a position in an index channel: a leaf and an index in it, where the
// index equal to the leaf's sample count stands past the leaf's last sample. The
// leaf's values and time stamps are read on demand, both in one read each, and are
// shared with copies of the iterator. Iterators hold their leaf and the channel's
// loader, so they stay valid after the channel has let go of the leaf.
#pragma once

#include <bit>
#include <cstdint>

#include "asyncindex/AsyncIndexLibException.h"
#include "asyncindex/LeafNode.h"
#include "asyncindex/LocalSharedPtr.h"
#include "asyncindex/NodeLoader.h"
#include "asyncindex/StoredBytes.h"

// Stored time stamps are read straight into the time-stamp buffers.
static_assert(std::endian::native == std::endian::little, "the index reads little-endian doubles in place");

template <class TKey, class TComparer>
class Iterator {
 public:
  using Leaf = LeafNode<TKey, TComparer>;
  using LeafPtr = kit::local_shared_ptr<Leaf>;
  using Loader = NodeLoader<TKey, TComparer>;
  using LoaderPtr = kit::local_shared_ptr<Loader>;

  // index must not exceed the leaf's count.
  Iterator(LeafPtr leaf, uint32_t index, uint32_t valueSize, LoaderPtr loader, uint32_t instance = 0)
      : leaf_(std::move(leaf)), index_(index), valueSize_(valueSize), instance_(instance), loader_(std::move(loader)) {}

  // Reads the leaf's values and time stamps (with the channel's time offset added).
  // Throws CorruptIndexException when the leaf's data does not lie inside the value
  // stream.
  void load();
  // Loads if needed and makes the current sample's time stamp and value available;
  // throws CursorEofException when the iterator stands past its leaf's end.
  void resolve();
  // From past a leaf's end moves to index 0 of the next leaf holding samples;
  // throws CursorEofException when there is none.
  void checkIfOverNode();

  const LeafPtr& getLeaf() const noexcept { return leaf_; }
  uint32_t getIndex() const noexcept { return index_; }
  uint32_t getValueSize() const noexcept { return valueSize_; }
  const LoaderPtr& getLoader() const noexcept { return loader_; }
  bool isPastLeafEnd() const noexcept { return index_ >= leaf_->getCount(); }
  // Number of the sample the iterator stands on among all samples of the channel.
  uint64_t getSampleNumber() const noexcept { return leaf_->getFirstSampleNumber() + index_; }

  // Valid after resolve().
  TKey getCurrentTimestamp() const noexcept { return currentTimestamp_; }
  const uint8_t* getCurrentValue() const noexcept { return currentValue_; }

  // Time stamp k of the leaf (k below the count), loading the leaf first if needed.
  TKey timestampAt(uint32_t k) {
    if (!timestamps_) load();
    return timestamps_.get()[k];
  }
  bool isLoaded() const noexcept { return timestamps_ && values_; }
  // Takes over the loaded buffers of other, which must stand on the same leaf.
  void shareBuffers(const Iterator& other) noexcept {
    values_ = other.values_;
    timestamps_ = other.timestamps_;
  }

 private:
  LeafPtr leaf_;
  uint32_t index_;
  uint32_t valueSize_;
  uint32_t instance_;
  LoaderPtr loader_;
  TKey currentTimestamp_{};
  const uint8_t* currentValue_ = nullptr;
  kit::local_shared_ptr<uint8_t> values_;
  kit::local_shared_ptr<TKey> timestamps_;
};

template <class TKey, class TComparer>
void Iterator<TKey, TComparer>::load() {
  uint64_t start = 0;
  TKey offset{};
  Stream& stream = loader_->getValTsStreamForInstance(instance_, start, offset);
  const uint64_t count = leaf_->getCount();
  uint64_t valueBytes = 0;
  uint64_t stampBytes = 0;
  const uint64_t data = loader_->locateLeafData(*leaf_, valueSize_, valueBytes, stampBytes);
  // The buffers are sized by what the stream holds, never by the stored count alone.
  kit::local_shared_ptr<uint8_t> values(new uint8_t[valueBytes > 0 ? valueBytes : 1], [](uint8_t* p) { delete[] p; });
  kit::local_shared_ptr<TKey> stamps(new TKey[count > 0 ? count : 1], [](TKey* p) { delete[] p; });
  stream.seek(SeekOrigin::Begin, static_cast<int64_t>(data));
  if (valueBytes > 0) stream.read(values.get(), valueBytes);
  if (stampBytes > 0) stream.read(stamps.get(), stampBytes);
  if (offset != TKey{}) {
    for (uint64_t k = 0; k < count; ++k) stamps.get()[k] += offset;
  }
  values_ = std::move(values);
  timestamps_ = std::move(stamps);
}

template <class TKey, class TComparer>
void Iterator<TKey, TComparer>::resolve() {
  if (!values_ || !timestamps_) load();
  if (index_ >= leaf_->getCount()) throw CursorEofException();
  currentTimestamp_ = timestamps_.get()[index_];
  currentValue_ = values_.get() + static_cast<uint64_t>(index_) * valueSize_;
}

template <class TKey, class TComparer>
void Iterator<TKey, TComparer>::checkIfOverNode() {
  // Leaves without samples are passed over; the walk ends within the number of
  // leaves the node stream can hold, or it is going round a loop of links.
  uint64_t hops = 0;
  const uint64_t limit = loader_->walkLimit();
  while (index_ >= leaf_->getCount()) {
    LeafPtr next = leaf_->getNextNode(*loader_);
    if (!next) throw CursorEofException();
    if (++hops > limit) throw CorruptIndexException();
    leaf_ = std::move(next);
    index_ = 0;
    values_.reset();
    timestamps_.reset();
  }
}

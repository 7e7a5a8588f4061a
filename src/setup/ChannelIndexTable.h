// ChannelIndexTable: finds stored channels by their index text. Built once over
// the channel list, it answers "the first channel with this index that no
// definition has filled yet" in amortised constant time and "the n-th channel
// with this index" in n steps, so matching every definition keeps opening linear
// in the number of channels. It points into the channel list and is rebuilt with it.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "setup/CKVChannel.h"

namespace Korvane::DataReader {

class ChannelIndexTable {
 public:
  // Indexes `channels` by KVIndex, keeping list order among equal indexes.
  void Build(const std::vector<std::unique_ptr<CKVChannel>>& channels);
  void Clear();

  // The n-th channel (list order) whose KVIndex equals the converted text, or
  // null.
  CKVChannel* Find(const char* indexText, int n) const;

  // The first channel with that index that is not yet Filled, or null.
  // Channels never become unfilled again, so the search resumes where the
  // previous one for the same index stopped.
  CKVChannel* FindUnfilled(const char* indexText);

 private:
  // A lookup in a table far larger than the caches costs a cache miss for each
  // piece of memory it reads: the slot, then the key it compares with, then the
  // channel. Slots are therefore small, and each channel's key is a record of
  // its own that fits one cache line.
  struct Slot {
    uint32_t hash;
    int32_t first;     // list position of the first channel with this index; -1: free
    int32_t unfilled;  // no channel before this one (in the chain) is unfilled
  };
  // The index text of one channel: the text, then its length in the last byte.
  static constexpr size_t kKeyBytes = CKVChannel::kKVIndexBytes;
  static_assert(kKeyBytes <= 64 && 64 % kKeyBytes == 0, "a key record lies in one cache line");

  // The slot of a converted index text, or null.
  Slot* FindSlot(std::string_view key) const;
  // Lookups mostly come in list order, as devices keep their definitions in the
  // order the channels are stored: the channel after the one found last is
  // tried first, and it is the answer when its index is the key and no other
  // channel has that index. Its key record lies next to the last one read, so
  // the guess costs no read from memory. -1 when the guess does not hold.
  int32_t Guess(std::string_view key) const noexcept {
    const auto next = static_cast<size_t>(lastFound_ + 1);
    return next < channels_.size() && unique_[next] != 0 && KeyAt(static_cast<int32_t>(next)) == key
               ? static_cast<int32_t>(next)
               : -1;
  }
  // The index text of the channel at a list position, as the table keeps it.
  std::string_view KeyAt(int32_t position) const noexcept {
    const char* record = keys_.get() + static_cast<size_t>(position) * kKeyBytes;
    return std::string_view(record, static_cast<unsigned char>(record[kKeyBytes - 1]));
  }

  // Records the channel a lookup found, and asks for the memory of the channel
  // after it, which the next lookup most likely finds and its caller fills.
  CKVChannel* Found(int32_t position) const noexcept;

  std::vector<CKVChannel*> channels_;
  // One key record per list position, aligned to its size.
  struct AlignedDelete {
    void operator()(char* block) const noexcept { ::operator delete[](block, std::align_val_t{kKeyBytes}); }
  };
  std::unique_ptr<char[], AlignedDelete> keys_;
  std::vector<int32_t> next_;  // per list position: next position with the same index, -1 at the end
  std::vector<uint8_t> unique_;  // per list position: 1 when no other channel has the same index
  mutable int32_t lastFound_ = -1;  // list position of the channel a lookup found last
  mutable std::vector<Slot> slots_;
  size_t mask_ = 0;
};

}  // namespace Korvane::DataReader

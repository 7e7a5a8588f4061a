// ChannelIndexTable: finds stored channels by their index text. Built once over
// the channel list, it answers "the first channel with this index that no
// definition has filled yet" in amortised constant time and "the n-th channel
// with this index" in n steps, so matching every definition keeps opening linear
// in the number of channels. It points into the channel list and is rebuilt with it.
#pragma once

#include <cstdint>
#include <memory>
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
  struct Slot {
    uint64_t hash;
    int32_t first;     // list position of the first channel with this index; -1: free
    int32_t last;      // of the last one, while building
    int32_t unfilled;  // no channel before this one (in the chain) is unfilled
  };

  // The slot of the (converted) index text, or null.
  Slot* FindSlot(const char* indexText) const;
  // The index text of the channel at a list position, as the table keeps it.
  std::string_view KeyAt(int32_t position) const noexcept {
    const auto at = static_cast<size_t>(position);
    return std::string_view(keyText_).substr(keyStart_[at], keyStart_[at + 1] - keyStart_[at]);
  }

  std::vector<CKVChannel*> channels_;
  // The channels' index texts one after another, so that a lookup compares texts
  // without reading the channels themselves; keyStart_ has one more entry than
  // there are channels.
  std::string keyText_;
  std::vector<uint32_t> keyStart_;
  std::vector<int32_t> next_;  // per list position: next position with the same index, -1 at the end
  mutable std::vector<Slot> slots_;
  size_t mask_ = 0;
};

}  // namespace Korvane::DataReader

// ChannelIndexTable: an open-addressing table of index texts whose entries chain
// the channels of equal index in list order.
#include "setup/ChannelIndexTable.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "setup/KVIndex.h"
#include "setup/Prefetch.h"

namespace Korvane::DataReader {

namespace {

uint32_t HashText(std::string_view text) noexcept {
  return static_cast<uint32_t>(std::hash<std::string_view>{}(text));
}

// The text converted and cut to the index field, exactly as the stored side was.
std::string_view ConvertedKey(const char* indexText, char (&key)[CKVChannel::kKVIndexBytes]) {
  ConvertToKVIndex(indexText, key, sizeof key);
  return std::string_view(key, std::strlen(key));
}

}  // namespace

void ChannelIndexTable::Build(const std::vector<std::unique_ptr<CKVChannel>>& channels) {
  Clear();
  channels_.reserve(channels.size());
  keys_.reset(static_cast<char*>(::operator new[](std::max<size_t>(channels.size(), 1) * kKeyBytes,
                                                  std::align_val_t{kKeyBytes})));
  for (const auto& channel : channels) {
    char* record = keys_.get() + channels_.size() * kKeyBytes;
    // KVIndex is a terminated field of kKeyBytes, so its text leaves the last byte free.
    const size_t length = strnlen(channel->KVIndex, kKeyBytes - 1);
    std::memcpy(record, channel->KVIndex, length);
    record[kKeyBytes - 1] = static_cast<char>(length);
    channels_.push_back(channel.get());
  }
  next_.assign(channels_.size(), -1);
  // At most half the slots are used, so probes stay short.
  size_t slots = 16;
  while (slots < 2 * channels_.size()) slots *= 2;
  slots_.assign(slots, Slot{0, -1, -1});
  mask_ = slots - 1;
  // The last channel of each slot's chain, while the chains are built.
  std::vector<int32_t> last(slots, -1);
  for (size_t position = 0; position < channels_.size(); ++position) {
    const std::string_view key = KeyAt(static_cast<int32_t>(position));
    const uint32_t hash = HashText(key);
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      Slot& slot = slots_[i];
      const auto here = static_cast<int32_t>(position);
      if (slot.first < 0) {
        slot = {hash, here, here};
        last[i] = here;
        break;
      }
      if (slot.hash == hash && key == KeyAt(slot.first)) {
        next_[static_cast<size_t>(last[i])] = here;
        last[i] = here;
        break;
      }
    }
  }
  unique_.assign(channels_.size(), 0);
  for (size_t i = 0; i < slots; ++i) {
    if (slots_[i].first >= 0 && slots_[i].first == last[i]) unique_[static_cast<size_t>(last[i])] = 1;
  }
}

void ChannelIndexTable::Clear() {
  channels_.clear();
  keys_.reset();
  next_.clear();
  unique_.clear();
  slots_.clear();
  mask_ = 0;
  lastFound_ = -1;
}

ChannelIndexTable::Slot* ChannelIndexTable::FindSlot(std::string_view key) const {
  if (slots_.empty()) return nullptr;
  const uint32_t hash = HashText(key);
  for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
    Slot& slot = slots_[i];
    if (slot.first < 0) return nullptr;
    if (slot.hash == hash && key == KeyAt(slot.first)) return &slot;
  }
}

CKVChannel* ChannelIndexTable::Found(int32_t position) const noexcept {
  lastFound_ = position;
  const auto next = static_cast<size_t>(position) + 1;
  if (next < channels_.size()) PrefetchForWrite(channels_[next], sizeof(CKVChannel));
  return channels_[static_cast<size_t>(position)];
}

CKVChannel* ChannelIndexTable::Find(const char* indexText, int n) const {
  char buffer[CKVChannel::kKVIndexBytes];
  const std::string_view key = ConvertedKey(indexText, buffer);
  if (const int32_t guessed = Guess(key); guessed >= 0) return n == 0 ? Found(guessed) : nullptr;
  const Slot* slot = FindSlot(key);
  if (slot == nullptr || n < 0) return nullptr;
  int32_t position = slot->first;
  for (; position >= 0 && n > 0; --n) position = next_[static_cast<size_t>(position)];
  return position >= 0 ? Found(position) : nullptr;
}

CKVChannel* ChannelIndexTable::FindUnfilled(const char* indexText) {
  char buffer[CKVChannel::kKVIndexBytes];
  const std::string_view key = ConvertedKey(indexText, buffer);
  if (const int32_t guessed = Guess(key); guessed >= 0) {
    CKVChannel* channel = Found(guessed);
    return channel->Filled ? nullptr : channel;
  }
  Slot* slot = FindSlot(key);
  if (slot == nullptr) return nullptr;
  while (slot->unfilled >= 0 && channels_[static_cast<size_t>(slot->unfilled)]->Filled) {
    slot->unfilled = next_[static_cast<size_t>(slot->unfilled)];
  }
  return slot->unfilled >= 0 ? Found(slot->unfilled) : nullptr;
}

}  // namespace Korvane::DataReader

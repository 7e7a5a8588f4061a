// The channel lists a host sees, as filters over the setup interpreter's full
// channel sequence, and the walks every list function shares: count, fill, the
// entry at a position and the split-up item. ChannelListIndex holds the channel
// list of an open file once, with its names, for the table functions a host calls
// once per entry.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader {

class CKVChannel;
class CKVXMLHelper;

using ChannelFilter = bool (*)(const CKVChannel&);

bool InChannelList(const CKVChannel& c);
bool InComplexList(const CKVChannel& c);
bool InBinaryList(const CKVChannel& c);
bool InTextList(const CKVChannel& c);
// Data headers that carry a value or a text.
bool InHeaderEntryList(const CKVChannel& c);

int32_t CountList(const CKVXMLHelper& setup, ChannelFilter filter);
void FillList(const CKVXMLHelper& setup, ChannelFilter filter, KVChannel* out);
// The position-th channel of a list, or InvalidIndexException.
const CKVChannel& ListEntry(const CKVXMLHelper& setup, ChannelFilter filter, int32_t position);
// The list item functions: 5 for a null output or a maximum length of 0 or less,
// 12 for a position outside the list; texts cut to the maximum length.
void ListItem(const CKVXMLHelper& setup, ChannelFilter filter, int32_t position, int32_t* index, char* name,
              char* unit, char* description, uint32_t* color, int32_t* arraySize, int32_t maxLength);

// The channel list of an open file, its entries by position and the first position
// of each name.
class ChannelListIndex {
 public:
  void Build(const CKVXMLHelper& setup);
  void Clear() noexcept;
  int32_t Count() const noexcept { return static_cast<int32_t>(entries_.size()); }
  // The entry at a position, or InvalidIndexException.
  const CKVChannel& At(int32_t position) const;
  // The entry's name as the list gives it (KVChannel::name).
  const std::string& NameAt(int32_t position) const;
  // The first position whose name is exactly `name`, or -1.
  int32_t PositionOf(const std::string& name) const;

 private:
  std::vector<const CKVChannel*> entries_;
  std::vector<std::string> names_;
  std::unordered_map<std::string, int32_t> firstPosition_;
};

}  // namespace Korvane::DataReader

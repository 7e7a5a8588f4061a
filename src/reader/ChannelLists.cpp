// The channel list filters and walks.
#include "reader/ChannelLists.h"

#include <algorithm>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {

bool InChannelList(const CKVChannel& c) { return c.Listed && !c.IsComplex() && !c.IsDataHeader(); }
bool InComplexList(const CKVChannel& c) { return c.Listed && c.IsComplex(); }
bool InBinaryList(const CKVChannel& c) { return c.ListedAsBinary && !c.IsDataHeader(); }
bool InTextList(const CKVChannel& c) { return c.ListedAsText && !c.IsDataHeader(); }
bool InHeaderEntryList(const CKVChannel& c) { return (c.ListedAsText || c.Listed) && c.IsDataHeader(); }

int32_t CountList(const CKVXMLHelper& setup, ChannelFilter filter) {
  const auto& channels = setup.GetChannelList();
  return static_cast<int32_t>(
      std::count_if(channels.begin(), channels.end(), [filter](const auto& c) { return filter(*c); }));
}

void FillList(const CKVXMLHelper& setup, ChannelFilter filter, KVChannel* out) {
  for (const auto& channel : setup.GetChannelList()) {
    if (filter(*channel)) channel->GetChannelInfo(out++);
  }
}

const CKVChannel& ListEntry(const CKVXMLHelper& setup, ChannelFilter filter, int32_t position) {
  if (position >= 0) {
    for (const auto& channel : setup.GetChannelList()) {
      if (filter(*channel) && position-- == 0) return *channel;
    }
  }
  throw InvalidIndexException();
}

namespace {

void CopyListItem(const CKVChannel& channel, int32_t* index, char* name, char* unit, char* description,
                  uint32_t* color, int32_t* arraySize, int32_t maxLength) {
  KVChannel record;
  channel.GetChannelInfo(&record);
  *index = record.index;
  CopyStr(name, record.name, std::min<int32_t>(maxLength, sizeof record.name));
  CopyStr(unit, record.unit, std::min<int32_t>(maxLength, sizeof record.unit));
  CopyStr(description, record.description, std::min<int32_t>(maxLength, sizeof record.description));
  *color = record.color;
  *arraySize = record.array_size;
}

}  // namespace

void ListItem(const CKVXMLHelper& setup, ChannelFilter filter, int32_t position, int32_t* index, char* name,
              char* unit, char* description, uint32_t* color, int32_t* arraySize, int32_t maxLength) {
  if (maxLength <= 0 || index == nullptr || name == nullptr || unit == nullptr || description == nullptr ||
      color == nullptr || arraySize == nullptr) {
    throw NoMemoryAllocException();
  }
  CopyListItem(ListEntry(setup, filter, position), index, name, unit, description, color, arraySize, maxLength);
}

void ChannelListIndex::Build(const CKVXMLHelper& setup) {
  Clear();
  for (const auto& channel : setup.GetChannelList()) {
    if (!InChannelList(*channel)) continue;
    KVChannel record;
    channel->GetChannelInfo(&record);
    const auto position = static_cast<int32_t>(entries_.size());
    entries_.push_back(channel.get());
    names_.emplace_back(record.name);
    firstPosition_.emplace(names_.back(), position);
  }
}

void ChannelListIndex::Clear() noexcept {
  entries_.clear();
  names_.clear();
  firstPosition_.clear();
}

const CKVChannel& ChannelListIndex::At(int32_t position) const {
  if (position < 0 || position >= Count()) throw InvalidIndexException();
  return *entries_[static_cast<size_t>(position)];
}

const std::string& ChannelListIndex::NameAt(int32_t position) const {
  At(position);
  return names_[static_cast<size_t>(position)];
}

int32_t ChannelListIndex::PositionOf(const std::string& name) const {
  const auto found = firstPosition_.find(name);
  return found != firstPosition_.end() ? found->second : -1;
}

}  // namespace Korvane::DataReader

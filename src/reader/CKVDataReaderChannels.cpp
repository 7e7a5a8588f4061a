// Channel lists and channel properties: filtered views, in setup order, of the
// setup interpreter's full channel sequence.
#include <algorithm>
#include <cstring>
#include <string>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "reader/CKVDataReader.h"
#include "reader/ChannelLists.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {
namespace {

// Channel types of the ChType selector; asynchronous wins over single value.
int32_t ChannelType(const CKVChannel& channel) {
  if (channel.Async) return KVChannelAsynchronous;
  if (channel.SingleValue) return KVChannelSingleValue;
  return KVChannelSynchronous;
}

template <class T>
void WriteFixed(const T& value, void* buffer, int32_t* size) {
  if (*size < static_cast<int32_t>(sizeof value)) throw NoMemoryAllocException();
  std::memcpy(buffer, &value, sizeof value);
  *size = sizeof value;
}

void WriteText(const std::string& text, void* buffer, int32_t* size) {
  const int64_t needed = static_cast<int64_t>(text.size()) + 1;
  if (*size < needed) throw NoMemoryAllocException();
  std::memcpy(buffer, text.c_str(), static_cast<size_t>(needed));
  *size = static_cast<int32_t>(needed);
}

// Length + 1 of an optional text, 0 without one.
int32_t TextLengthOrZero(const std::string* text) {
  return text != nullptr ? static_cast<int32_t>(text->size() + 1) : 0;
}

}  // namespace

const CKVChannel* CKVDataReader::ChannelOrNull(int32_t index) const noexcept {
  const auto& channels = setup_->GetChannelList();
  if (index < 0 || static_cast<size_t>(index) >= channels.size()) return nullptr;
  return channels[static_cast<size_t>(index)].get();
}

const CKVChannel& CKVDataReader::ChannelAt(int32_t index) const {
  const CKVChannel* channel = ChannelOrNull(index);
  if (channel == nullptr) throw InvalidIndexException();
  return *channel;
}

int32_t CKVDataReader::KVGetChannelListCount() const { return CountList(*setup_, InChannelList); }

void CKVDataReader::KVGetChannelList(KVChannel* channels) const {
  if (channels == nullptr) throw NoMemoryAllocException();
  FillList(*setup_, InChannelList, channels);
}

void CKVDataReader::KVGetChannelListItem(int32_t position, int32_t* index, char* name, char* unit,
                                         char* description, uint32_t* color, int32_t* arraySize,
                                         int32_t maxLength) const {
  ListItem(*setup_, InChannelList, position, index, name, unit, description, color, arraySize, maxLength);
}

int32_t CKVDataReader::KVGetComplexChannelListCount() const { return CountList(*setup_, InComplexList); }

void CKVDataReader::KVGetComplexChannelList(KVChannel* channels) const {
  if (channels == nullptr) throw NoMemoryAllocException();
  FillList(*setup_, InComplexList, channels);
}

// The item walks the same list as the count and the list, so every counted
// position can be asked for.
void CKVDataReader::KVGetComplexChannelListItem(int32_t position, int32_t* index, char* name, char* unit,
                                                char* description, uint32_t* color, int32_t* arraySize,
                                                int32_t maxLength) const {
  ListItem(*setup_, InComplexList, position, index, name, unit, description, color, arraySize, maxLength);
}

int32_t CKVDataReader::KVGetBinChannelListCount() const { return CountList(*setup_, InBinaryList); }

void CKVDataReader::KVGetBinChannelList(KVChannel* channels) const {
  if (channels == nullptr) throw NoMemoryAllocException();
  FillList(*setup_, InBinaryList, channels);
}

int32_t CKVDataReader::KVGetTextChannelListCount() const { return CountList(*setup_, InTextList); }

void CKVDataReader::KVGetTextChannelList(KVChannel* channels) const {
  if (channels == nullptr) throw NoMemoryAllocException();
  FillList(*setup_, InTextList, channels);
}

void CKVDataReader::KVGetChannelFactors(int32_t index, double* scale, double* offset) const {
  if (scale == nullptr || offset == nullptr) throw NoMemoryAllocException();
  const CKVChannel& channel = ChannelAt(index);
  *offset = channel.GetScaledValue(0);
  *scale = channel.GetScaledValue(1) - *offset;
}

void CKVDataReader::KVGetChannelProps(int32_t index, int32_t selector, void* buffer, int32_t* size) const {
  if (buffer == nullptr || size == nullptr) throw NoMemoryAllocException();
  const CKVChannel& channel = ChannelAt(index);
  switch (selector) {
    case KVChDataType: return WriteFixed<int32_t>(channel.DataType, buffer, size);
    case KVChDataTypeSize: return WriteFixed<int32_t>(channel.GetSampleBytes(), buffer, size);
    case KVChIndexString: return WriteText(channel.IndexText, buffer, size);
    case KVChIndexStringLength:
      return WriteFixed<int32_t>(static_cast<int32_t>(channel.IndexText.size() + 1), buffer, size);
    case KVChType: return WriteFixed<int32_t>(ChannelType(channel), buffer, size);
    case KVChScale: {
      double scale = 0, offset = 0;
      KVGetChannelFactors(index, &scale, &offset);
      return WriteFixed<double>(scale, buffer, size);
    }
    case KVChOffset: return WriteFixed<double>(channel.GetScaledValue(0), buffer, size);
    case KVChSetupXml: {
      const std::string* text = channel.GetSetupXML();
      return WriteText(text != nullptr ? *text : std::string(), buffer, size);
    }
    case KVChSetupXmlLength: return WriteFixed<int32_t>(TextLengthOrZero(channel.GetSetupXML()), buffer, size);
    case KVChPropertiesXml: {
      const std::string* text = channel.GetPropertiesXML();
      return WriteText(text != nullptr ? *text : std::string(), buffer, size);
    }
    case KVChPropertiesXmlLength:
      return WriteFixed<int32_t>(TextLengthOrZero(channel.GetPropertiesXML()), buffer, size);
    case KVChCustomProps: {
      const int64_t needed = static_cast<int64_t>(channel.CustomProps.size()) * sizeof(KVCustomProperty);
      if (*size < needed) throw NoMemoryAllocException();
      auto* entries = static_cast<KVCustomProperty*>(buffer);
      for (const auto& property : channel.CustomProps) property.GetCustomProperty(entries++);
      *size = static_cast<int32_t>(needed);
      return;
    }
    case KVChCustomPropsCount:
      return WriteFixed<int32_t>(static_cast<int32_t>(channel.CustomProps.size()), buffer, size);
    case KVChLongName: return WriteText(channel.LongName, buffer, size);
    case KVChLongNameLength:
      return WriteFixed<int32_t>(static_cast<int32_t>(channel.LongName.size() + 1), buffer, size);
    default:
      return;  // an unknown selector writes nothing
  }
}

}  // namespace Korvane::DataReader

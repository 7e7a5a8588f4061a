// CKVXMLHelper: building the channel list. One channel per stored-channel entry,
// each filled from the definition with the same index found in the device tree,
// then derived, laid out and bound to the channel it is decoded from. Stored
// channels are found through an index by channel index text built once, so
// opening stays linear in the number of channels.
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "setup/CKVXMLHelper.h"
#include "setup/KVIndex.h"
#include "setup/Prefetch.h"
#include "setup/SetupFieldReader.h"
#include "setup/SetupValueReader.h"
#include "xml/XML.h"

namespace Korvane::DataReader {

namespace {

constexpr const char* kStoredChannels = "StoredChannels";
constexpr const char* kVariables = "Variables";

// "BitsLog" when the definition does not give it.
constexpr int kBitsLogAbsent = 99999;

// Values per sample beyond this cannot be right: every layout computed from the
// array size must stay within 32-bit byte offsets.
constexpr int64_t kMaxArraySize = int64_t{1} << 22;

// Field `position` of a channel's own index text.
std::string ChannelIndexField(const CKVChannel& channel, int position) {
  char field[CKVChannel::kKVIndexBytes] = {};
  GetKVIndexAtPos(channel.KVIndex, position, field, sizeof field);
  return field;
}

// The system-monitor device number that an index "System Monitor;1xx;..."
// carries, as a position in the device name table, or -1.
int SystemMonitorDevice(const std::string& indexText) {
  constexpr const char* kSystemMonitorGroup = "System Monitor";
  constexpr long long kFirstDeviceNumber = 100;
  const size_t first = indexText.find(';');
  if (first == std::string::npos || indexText.compare(0, first, kSystemMonitorGroup) != 0) return -1;
  const size_t second = indexText.find(';', first + 1);
  const std::string piece = indexText.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  const long long number = std::strtoll(piece.c_str(), nullptr, 10);
  const long long device = number - kFirstDeviceNumber;
  return device >= 0 && device <= std::numeric_limits<int>::max() ? static_cast<int>(device) : -1;
}

// The child names a channel definition is read by, in any letter case.
constexpr SetupFieldNames kDefinitionNames(std::to_array<std::string_view>({
    "Used", "Stored", "Index", "Properties", "CustomProps", "OriginalKorvaneIndex", "ChannelPath", "Name",
    "LogicalName", "Unit", "Description", "DisplayColor", "SRDiv", "DataType", "SRDivType", "Scale", "Offset",
    "OrigScale", "OrigOffset", "Async", "AsyncDivider", "ComplexIBBuffers", "SingleValue", "Shown",
    "DisplayFormat", "CalcSingleValue", "ExpectedAsyncRate", "StoredFirstAsyncIBLevel", "ForceSinglePrecision",
    "SigBitCount", "BitCount", "BitsLog", "Bits", "BitNo", "StartBit", "BitLength", "CANDataType",
    "DataDirection", "MultiplexType", "MultiplexValue", "DLC", "RealScale", "RealOffset", "Range",
    "SecondScale", "ArrayInfo", "OfflineInfo", "OnlineInfo"}));
using DefinitionValues = SetupFieldReader<kDefinitionNames>;

// The values of a stored-channel entry, and the children that make the entry
// update its channel once the definitions are read.
constexpr SetupFieldNames kStoredEntryNames(std::to_array<std::string_view>({
    "AsyncSamples", "Scale", "Offset", "AmplifierScaleMin", "AmplifierScaleMax", "AmplScale", "AmplOffset",
    "AmplShortInfo", "OnlineInfo"}));
using StoredEntryValues = SetupFieldReader<kStoredEntryNames>;

// The values a definition takes from the element that encloses it.
constexpr SetupFieldNames kParentNames(
    std::to_array<std::string_view>({"UseCustomScaleForSingleValues", "AmplScale", "AmplOffset", "CustomRange"}));
using ParentFieldValues = SetupFieldReader<kParentNames>;

// The first child named exactly `name`, given the first child of that name in
// any letter case: that one is it when its name is exact; only otherwise are
// the children searched again.
XMLElement* FindChildExactly(XMLElement* element, XMLElement* candidate, const char* name) {
  if (candidate == nullptr) return nullptr;
  return candidate->HasName(name) ? candidate : element->FindElementZ(name);
}

void ReadCustomProps(XMLElement* customProps, CKVChannel* channel) {
  for (XMLElement* prop : customProps->GetChildren()) {
    if (!prop->HasName("Prop")) continue;
    const XMLVariable* key = prop->FindVariableZ("Key");
    if (key == nullptr) continue;
    CKVCustomProp property;
    property.SetKey(key->Value());
    const SetupValueReader values(prop);
    // With several value children the last kind in this order decides.
    if (values.Has("Int")) property.SetInteger(values.Int64("Int", 0));
    if (values.Has("ID")) property.SetInteger(values.Int64("ID", 0));
    if (values.Has("Float")) property.SetFloat(values.Double("Float", 0));
    if (values.Has("String")) property.SetString(values.String("String", ""));
    channel->CustomProps.push_back(std::move(property));
  }
}

}  // namespace

void CKVXMLHelper::FillChannelList() {
  XMLElement* setup = FindSystemSection(document_.get(), kKorvaneSetup);
  XMLElement* project = FindSystemSection(document_.get(), kProjectSetup);
  XMLElement* stored = setup != nullptr ? setup->GetElementInSection(kStoredChannels) : nullptr;
  if (stored == nullptr) throw FileCorruptException("setup without System/KorvaneSetup/StoredChannels");

  ClearChannels();
  channels_.reserve(static_cast<size_t>(stored->GetChildrenNum()));
  // The entries that update their channel (few), found while each entry is read
  // anyway rather than by a second pass over all of them.
  std::vector<XMLElement*> updatingEntries;
  for (XMLElement* entry : stored->GetChildren()) {
    if (!entry->HasName("Channel")) continue;
    const XMLVariable* index = entry->FindVariableZ("Index");
    if (index == nullptr) throw FileCorruptException("stored channel without Index");
    auto channel = std::make_unique<CKVChannel>();
    channel->ChannelNumber = GetChannelCount();
    channel->SetKVIndex(index->Value().c_str());
    const StoredEntryValues values(entry);
    channel->AsyncSamples = values.Int64("AsyncSamples", 0);
    channel->Scale = values.Double("Scale", std::numeric_limits<double>::infinity());
    channel->Offset = values.Double("Offset", std::numeric_limits<double>::infinity());
    if (values.Has("AmplifierScaleMin") || values.Has("AmplifierScaleMax") || values.Has("AmplScale") ||
        values.Has("AmplOffset") || values.Has("AmplShortInfo") || values.Has("OnlineInfo")) {
      updatingEntries.push_back(entry);
    }
    channels_.push_back(std::move(channel));
  }
  channelIndex_.Build(channels_);

  FillOutPutChannels(setup);
  if (project != nullptr) FillVariables(project->FindElementZ(kVariables));
  for (XMLElement* entry : updatingEntries) UpdateStoredChannel(entry);

  // Initiate changes nothing but its own channel and throws nothing, so each
  // channel is checked while it is in the caches.
  for (const auto& channel : channels_) {
    channel->Initiate();
    if (!channel->Async) channel->StoredFirstAsyncIBLevel = StartingIBLevel;
    ValidateChannel(*channel);
  }
  parentValues_.clear();
  PrepareOnlineInfo();
  ChBinding();
  for (const auto& channel : channels_) {
    if (!channel->Filled) throw FileCorruptException("stored channel without definition: " + std::string(channel->KVIndex));
  }
}

void CKVXMLHelper::ValidateChannel(const CKVChannel& channel) {
  if (!IsValidDataType(channel.DataType)) throw FileCorruptException("DataType");
  if (channel.StoredFirstAsyncIBLevel < 0 || channel.StoredFirstAsyncIBLevel >= kIBLevelCount) {
    throw FileCorruptException("StoredFirstAsyncIBLevel");
  }
}

CKVChannel* CKVXMLHelper::FindChannelByKVIndex(const char* indexText, int n) const {
  return channelIndex_.Find(indexText, n);
}

CKVChannel* CKVXMLHelper::FillChannel(XMLElement* element, CKVChannel* channel) {
  const DefinitionValues values(element);
  std::string indexText;
  if (channel == nullptr) {
    const bool used = values.Bool("Used", false);
    const bool stored = values.Bool("Stored", true);
    indexText = values.String("Index", "");
    channel = FindUnfilledChannel(indexText.c_str());
    if (channel == nullptr || !used || !stored) return nullptr;
  } else if (channel->ReadIndexFromSetup) {
    indexText = values.String("Index", "");
  } else {
    indexText = channel->KVIndex;
  }

  // The definition's values are written all over the channel, which in a large
  // setup has long left the caches: its memory is asked for at once.
  PrefetchForWrite(channel, sizeof(CKVChannel));
  channel->SetDefinitionElements(element, FindChildExactly(element, values.Find("Properties"), "Properties"));
  if (XMLElement* customProps = FindChildExactly(element, values.Find("CustomProps"), "CustomProps")) {
    ReadCustomProps(customProps, channel);
  }
  channel->IndexText = indexText;

  values.AssignString("OriginalKorvaneIndex", channel->OriginalKorvaneIndex, "");
  values.AssignString("ChannelPath", channel->ChannelPath, "");
  values.String("Name", channel->Name, CKVChannel::kNameBytes, "");
  values.AssignString("LogicalName", channel->LogicalName, "");
  if (channel->LogicalName.size() > CKVChannel::kLogicalNameChars) channel->LogicalName.resize(CKVChannel::kLogicalNameChars);
  values.String("Unit", channel->Unit, CKVChannel::kUnitBytes, "");
  values.String("Description", channel->Description, CKVChannel::kDescriptionBytes, "");
  channel->DisplayColor = values.Color("DisplayColor", 0);
  channel->SRDiv = values.Integer("SRDiv", 1);
  if (channel->SRDiv < 1) throw FileCorruptException("SRDiv");
  channel->DataType = values.Integer("DataType", 2);
  channel->SRDivType = values.Integer("SRDivType", 0);
  // The stored-channel entry's scaling wins over the definition's.
  if (channel->Scale > std::numeric_limits<double>::max()) channel->Scale = values.Double("Scale", 1);
  if (channel->Offset > std::numeric_limits<double>::max()) channel->Offset = values.Double("Offset", 0);
  if (values.Has("OrigScale")) {
    channel->HasOrigScale = true;
    channel->OrigScale = values.Double("OrigScale", 1);
    channel->OrigOffset = values.Double("OrigOffset", 0);
  }
  XMLElement* parent = element->GetParent();
  const ParentValues parentValues = ReadParentValues(parent);
  channel->UseCustomScaleForSingleValues = parentValues.useCustomScaleForSingleValues;
  channel->Async = values.Bool("Async", false);
  channel->AsyncDivider = values.Bool("AsyncDivider", false);
  channel->ComplexIBBuffers = values.Bool("ComplexIBBuffers", false);
  channel->SingleValue = values.Bool("SingleValue", false);
  channel->Shown = values.Bool("Shown", true);
  channel->DisplayFormat = values.Integer("DisplayFormat", 0);
  channel->CalcSingleValue = values.Integer("CalcSingleValue", 0);
  channel->ExpectedAsyncRate = values.Double("ExpectedAsyncRate", 100);
  channel->StoredFirstAsyncIBLevel = values.Integer("StoredFirstAsyncIBLevel", 0);
  channel->ForceSinglePrecision = values.Bool("ForceSinglePrecision", false);
  channel->SigBitCount = values.Integer("SigBitCount", 0);
  channel->BitCount = values.Integer("BitCount", 16);
  channel->BitsLog = values.Integer("BitsLog", kBitsLogAbsent);
  if (channel->BitsLog == kBitsLogAbsent) {
    const int64_t bits = values.Int64("Bits", 65536);
    channel->BitsLog =
        bits > 0 ? static_cast<int>(std::log(static_cast<double>(bits)) / std::log(2.0) + 0.5) : static_cast<int>(bits);
  }
  channel->BitNo = values.Integer("BitNo", 0);
  channel->StartBit = values.Integer("StartBit", 0);
  channel->BitLength = values.Integer("BitLength", 15);
  channel->CANDataType = values.Integer("CANDataType", 0);
  channel->DataDirection = values.Integer("DataDirection", 0);
  channel->MultiplexType = values.Integer("MultiplexType", 0);
  channel->MultiplexValue = values.Integer("MultiplexValue", 0);
  channel->DLC = values.Integer("DLC", 4);
  channel->RealScale = values.Double("RealScale", 1);
  channel->RealOffset = values.Double("RealOffset", 0);
  channel->Range = values.Int64("Range", 0);
  if (parent != nullptr) {
    channel->AmplScale = parentValues.amplScale;
    channel->AmplOffset = parentValues.amplOffset;
    if (parentValues.hasCustomRange) channel->Range = parentValues.customRange;
  }
  channel->SecondScale = values.Double("SecondScale", 1);

  FillArrayInfo(values.Find("ArrayInfo"), channel);
  channel->MathModuleOffline = MathModuleOffline;
  channel->ModuleName = ModuleName;

  const int device = SystemMonitorDevice(indexText);
  if (device >= 0 && device < GetDeviceNameCount()) {
    channel->DeviceName = std::string(GetDeviceName(device)).substr(0, CKVChannel::kDeviceNameChars);
  }

  if (XMLElement* offline = values.Find("OfflineInfo")) {
    if (!channel->OfflineInfo) channel->OfflineInfo = std::make_unique<CKVOfflineInfo>();
    FillOfflineInfo(offline, channel->OfflineInfo.get());
  }
  if (XMLElement* online = values.Find("OnlineInfo")) {
    if (!channel->OnlineInfo) channel->OnlineInfo = std::make_unique<CKVOnlineInfo>();
    FillOnlineInfo(online, channel->OnlineInfo.get());
  }
  channel->Filled = true;
  return channel;
}

CKVXMLHelper::ParentValues CKVXMLHelper::ReadParentValues(const XMLElement* parent) {
  // An element with few children holds few definitions and is read each time;
  // one with many is read once.
  constexpr int kFewChildren = 32;
  const bool many = parent != nullptr && parent->GetChildrenNum() > kFewChildren;
  if (many) {
    const auto found = parentValues_.find(parent);
    if (found != parentValues_.end()) return found->second;
  }
  const ParentFieldValues values(parent);
  ParentValues read;
  read.useCustomScaleForSingleValues = values.Bool("UseCustomScaleForSingleValues", false);
  read.amplScale = values.Double("AmplScale", 1);
  read.amplOffset = values.Double("AmplOffset", 0);
  read.hasCustomRange = values.Has("CustomRange");
  read.customRange = values.Int64("CustomRange", 0);
  if (many) parentValues_.emplace(parent, read);
  return read;
}

void CKVXMLHelper::FillArrayInfo(const XMLElement* arrayInfo, CKVChannel* channel) {
  if (arrayInfo == nullptr) return;
  const SetupValueReader settings(arrayInfo);
  channel->ItemChannels = settings.Bool("ItemChannels", false);
  channel->StoreIB = settings.Bool("StoreIB", false);
  channel->MaxIBArraySize = settings.Integer("MaxIBArraySize", 512);
  if (channel->MaxIBArraySize < 1) throw FileCorruptException("MaxIBArraySize");
  int64_t arraySize = 1;
  for (const CArrayInfo& axis : channel->ArrayInfo) arraySize *= axis.Size;
  for (XMLElement* child : arrayInfo->GetChildren()) {
    if (!IsNodeName(child, "Axis")) continue;
    const SetupValueReader values(child);
    CArrayInfo axis(channel->ArrayInfo.size());
    axis.Name = values.String("Name", "");
    axis.Unit = values.String("Unit", "");
    axis.Size = values.Integer("Size", 1);
    axis.Prec = values.Integer("Prec", 0);
    axis.CustomPrec = values.Integer("CustomPrec", -1);
    axis.AxisType = values.Integer("AxisType", -1);
    // Every layout of the channel multiplies by the product of the sizes.
    if (axis.Size < 0) throw FileCorruptException("array axis size");
    arraySize *= axis.Size;
    if (arraySize > kMaxArraySize) throw FileCorruptException("array size");
    if (axis.AxisType == CArrayInfo::kFloatAxis) {
      axis.FloatValues = CArrayInfo::deserializeFloatValues(values.String("FloatValues", ""));
    } else if (axis.AxisType == CArrayInfo::kLinearAxis) {
      axis.Start = values.Double("Start", 0);
      axis.Step = values.Double("Step", 1);
    } else if (axis.AxisType == CArrayInfo::kStringAxis) {
      axis.StringValues = CArrayInfo::deserializeStringValues(values.String("StringValues", ""), axis.StringValueCount);
    }
    channel->ArrayInfo.push_back(std::move(axis));
  }
}

void CKVXMLHelper::UpdateStoredChannel(XMLElement* entry) {
  // The entry was picked out by its children's names in any letter case; only
  // those these tests match update the channel, as they always did.
  const bool updatesAmpl = NeedToUpdateAmpl(entry);
  XMLElement* online = FindElement(entry, "OnlineInfo");
  if (!updatesAmpl && online == nullptr) return;
  const XMLVariable* index = entry->FindVariableZ("Index");
  CKVChannel* channel = index != nullptr ? FindChannelByKVIndex(index->Value().c_str()) : nullptr;
  if (channel == nullptr) return;
  if (updatesAmpl) FillAmplProps(entry, channel);
  if (online != nullptr) {
    if (!channel->OnlineInfo) channel->OnlineInfo = std::make_unique<CKVOnlineInfo>();
    FillOnlineInfo(online, channel->OnlineInfo.get());
  }
}

bool CKVXMLHelper::NeedToUpdateAmpl(const XMLElement* element) {
  const SetupValueReader values(element);
  return values.Has("AmplifierScaleMin") || values.Has("AmplifierScaleMax") || values.Has("AmplScale") ||
         values.Has("AmplOffset") || values.Has("AmplShortInfo");
}

void CKVXMLHelper::FillAmplProps(const XMLElement* element, CKVChannel* channel) {
  const SetupValueReader values(element);
  channel->AmplScale = values.Double("AmplScale", 1);
  channel->AmplOffset = values.Double("AmplOffset", 0);
}

void CKVXMLHelper::ChBinding() {
  // The last port of each DI port number, and the last message of each CAN
  // (device, message) pair, in list order.
  std::unordered_map<std::string, CKVChannel*> ports;
  std::unordered_map<std::string, CKVChannel*> messages;
  // Fields never hold ';', so joining them with it keeps pairs apart.
  auto messageKey = [](const CKVChannel& channel) {
    return ChannelIndexField(channel, 2) + ";" + ChannelIndexField(channel, 3);
  };
  for (const auto& owned : channels_) {
    CKVChannel* channel = owned.get();
    if (channel->DecodedFromParent) continue;
    if (channel->ChannelGroup == kGroupDI) {
      ports[ChannelIndexField(*channel, 2)] = channel;
    } else if (channel->ChannelGroup == kGroupCAN && channel->IsCANMsg()) {
      messages[messageKey(*channel)] = channel;
    }
  }
  for (const auto& owned : channels_) {
    CKVChannel* channel = owned.get();
    if (!channel->DecodedFromParent) continue;
    if (channel->ChannelGroup == kGroupDI) {
      const auto it = ports.find(ChannelIndexField(*channel, 2));
      if (it == ports.end()) throw FileCorruptException("digital bit without port: " + std::string(channel->KVIndex));
      channel->ParentChannel = it->second;
    } else if (channel->ChannelGroup == kGroupCAN) {
      const auto it = messages.find(messageKey(*channel));
      if (it == messages.end()) throw FileCorruptException("CAN signal without message: " + std::string(channel->KVIndex));
      channel->ParentChannel = it->second;
    }
  }
}

}  // namespace Korvane::DataReader

// CKVXMLHelper: building the channel list. One channel per stored-channel entry,
// each filled from the definition with the same index found in the device tree,
// then derived, laid out and bound to the channel it is decoded from. Stored
// channels are found through an index by channel index text built once, so
// opening stays linear in the number of channels.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>

#include "api/DataReaderLibException.h"
#include "setup/CKVXMLHelper.h"
#include "setup/KVIndex.h"
#include "setup/SetupValueReader.h"
#include "setup/TextUtils.h"
#include "xml/XML.h"

namespace Korvane::DataReader {

namespace {

constexpr const char* kSystem = "System";
constexpr const char* kKorvaneSetup = "KorvaneSetup";
constexpr const char* kProjectSetup = "ProjectSetup";
constexpr const char* kStoredChannels = "StoredChannels";
constexpr const char* kVariables = "Variables";

// "BitsLog" when the definition does not give it.
constexpr int kBitsLogAbsent = 99999;

// Values per sample beyond this cannot be right: every layout computed from the
// array size must stay within 32-bit byte offsets.
constexpr int64_t kMaxArraySize = int64_t{1} << 22;

// Setup texts exported for the channel-definition queries start with this.
constexpr const char* kExportDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// The element as one line of XML text behind the declaration.
std::string ExportElement(XMLElement* element) {
  XMLEXPORTFORMAT format;
  format.UseSpace = 0;
  format.IndentCount = 0;
  format.Compact = true;
  element->SetExportFormatting(&format);
  std::string text = kExportDeclaration;
  text.reserve(text.size() + static_cast<size_t>(element->MemoryUsage()));
  element->Export(text, 1, XML_SAVE_MODE_DEFAULT, nullptr);
  return text;
}

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
  XMLElement* root = document_ ? document_->GetRootElement() : nullptr;
  XMLElement* system = root != nullptr ? root->GetElementInSection(kSystem) : nullptr;
  XMLElement* setup = system != nullptr ? system->GetElementInSection(kKorvaneSetup) : nullptr;
  XMLElement* project = system != nullptr ? system->GetElementInSection(kProjectSetup) : nullptr;
  XMLElement* stored = setup != nullptr ? setup->GetElementInSection(kStoredChannels) : nullptr;
  if (stored == nullptr) throw FileCorruptException("setup without System/KorvaneSetup/StoredChannels");

  ClearChannels();
  for (XMLElement* entry : stored->GetChildren()) {
    if (!entry->HasName("Channel")) continue;
    const XMLVariable* index = entry->FindVariableZ("Index");
    if (index == nullptr) throw FileCorruptException("stored channel without Index");
    auto channel = std::make_unique<CKVChannel>();
    channel->ChannelNumber = GetChannelCount();
    channel->SetKVIndex(index->Value().c_str());
    const SetupValueReader values(entry);
    channel->AsyncSamples = values.Int64("AsyncSamples", 0);
    channel->Scale = values.Double("Scale", std::numeric_limits<double>::infinity());
    channel->Offset = values.Double("Offset", std::numeric_limits<double>::infinity());
    channels_.push_back(std::move(channel));
  }
  BuildChannelIndex();

  FillOutPutChannels(setup);
  if (project != nullptr) FillVariables(project->FindElementZ(kVariables));
  StoredChannelsUpdate(stored);

  for (const auto& channel : channels_) {
    channel->Initiate();
    if (!channel->Async) channel->StoredFirstAsyncIBLevel = StartingIBLevel;
  }
  ValidateChannels();
  PrepareOnlineInfo();
  ChBinding();
  for (const auto& channel : channels_) {
    if (!channel->Filled) throw FileCorruptException("stored channel without definition: " + std::string(channel->KVIndex));
  }
}

void CKVXMLHelper::ValidateChannels() const {
  for (const auto& channel : channels_) {
    if (!IsValidDataType(channel->DataType)) throw FileCorruptException("DataType");
    if (channel->StoredFirstAsyncIBLevel < 0 || channel->StoredFirstAsyncIBLevel >= kIBLevelCount) {
      throw FileCorruptException("StoredFirstAsyncIBLevel");
    }
  }
}

void CKVXMLHelper::BuildChannelIndex() {
  channelIndex_.clear();
  channelIndex_.reserve(channels_.size());
  for (const auto& channel : channels_) channelIndex_[channel->KVIndex].channels.push_back(channel.get());
}

CKVXMLHelper::IndexEntry* CKVXMLHelper::FindIndexEntry(const char* indexText) const {
  // Converted and cut to the index field, exactly as the stored side was.
  char key[CKVChannel::kKVIndexBytes];
  ConvertToKVIndex(indexText, key, sizeof key);
  const auto it = channelIndex_.find(key);
  return it != channelIndex_.end() ? &it->second : nullptr;
}

CKVChannel* CKVXMLHelper::FindChannelByKVIndex(const char* indexText, int n) const {
  const IndexEntry* entry = FindIndexEntry(indexText);
  if (entry == nullptr || n < 0 || static_cast<size_t>(n) >= entry->channels.size()) return nullptr;
  return entry->channels[static_cast<size_t>(n)];
}

CKVChannel* CKVXMLHelper::FindUnfilledChannel(const char* indexText) const {
  IndexEntry* entry = FindIndexEntry(indexText);
  if (entry == nullptr) return nullptr;
  // Channels are never unfilled again, so the scan position only moves forward.
  while (entry->firstUnfilled < entry->channels.size() && entry->channels[entry->firstUnfilled]->Filled) {
    ++entry->firstUnfilled;
  }
  return entry->firstUnfilled < entry->channels.size() ? entry->channels[entry->firstUnfilled] : nullptr;
}

CKVChannel* CKVXMLHelper::FillChannel(XMLElement* element, CKVChannel* channel) {
  const SetupValueReader values(element);
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

  channel->SetupXML = ExportElement(element);
  if (XMLElement* properties = element->FindElementZ("Properties")) channel->PropertiesXML = ExportElement(properties);
  if (XMLElement* customProps = element->FindElementZ("CustomProps")) ReadCustomProps(customProps, channel);
  channel->IndexText = indexText;

  channel->OriginalKorvaneIndex = values.String("OriginalKorvaneIndex", "");
  channel->ChannelPath = values.String("ChannelPath", "");
  values.String("Name", channel->Name, CKVChannel::kNameBytes, "");
  values.String("LogicalName", channel->LogicalName, CKVChannel::kLogicalNameBytes, "");
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
  const SetupValueReader parentValues(parent);
  channel->UseCustomScaleForSingleValues = parentValues.Bool("UseCustomScaleForSingleValues", false);
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
    channel->AmplScale = parentValues.Double("AmplScale", 1);
    channel->AmplOffset = parentValues.Double("AmplOffset", 0);
    if (parentValues.Has("CustomRange")) channel->Range = parentValues.Int64("CustomRange", 0);
  }
  channel->SecondScale = values.Double("SecondScale", 1);

  FillArrayInfo(values.Find("ArrayInfo"), channel);
  channel->MathModuleOffline = MathModuleOffline;
  CopyStr(channel->ModuleName, ModuleName, CKVChannel::kModuleNameBytes);

  const int device = SystemMonitorDevice(indexText);
  if (device >= 0 && device < GetDeviceNameCount()) {
    CopyStr(channel->DeviceName, GetDeviceName(device), CKVChannel::kDeviceNameBytes);
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

void CKVXMLHelper::StoredChannelsUpdate(XMLElement* storedChannels) {
  for (XMLElement* entry : storedChannels->GetChildren()) {
    if (!entry->HasName("Channel")) continue;
    const XMLVariable* index = entry->FindVariableZ("Index");
    CKVChannel* channel = index != nullptr ? FindChannelByKVIndex(index->Value().c_str()) : nullptr;
    if (channel == nullptr) continue;
    if (NeedToUpdateAmpl(entry)) FillAmplProps(entry, channel);
    if (XMLElement* online = FindElement(entry, "OnlineInfo")) {
      if (!channel->OnlineInfo) channel->OnlineInfo = std::make_unique<CKVOnlineInfo>();
      FillOnlineInfo(online, channel->OnlineInfo.get());
    }
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

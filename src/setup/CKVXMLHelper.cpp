// CKVXMLHelper: opening and closing a setup, the measurement-wide properties and
// reduced-level rates, the shared data-block and reduced-record layouts, and the
// six sample categories. The channel list itself is built in
// CKVXMLHelperChannels.cpp.
#include "setup/CKVXMLHelper.h"

#include <stdexcept>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/DataReaderLibException.h"
#include "common/TextUtils.h"
#include "multistream/CStream.h"
#include "xml/XML.h"

namespace Korvane::DataReader {

namespace {

// Element paths of the setup document below "KorvaneSetup".
constexpr const char* kDevices = "Devices";
constexpr const char* kStoring = "Storing";
constexpr const char* kTrigger = "Trigger";
constexpr const char* kSystemMonitor = "SystemMonitor";
constexpr const char* kDeviceNamesForAnalyze = "DeviceNamesForAnalyze";

// Setup texts are read in pieces of this size. Storage for the size the stream
// claims is set aside up to kTrustedReserveBytes; beyond that it grows with what
// the stream actually delivers, so a stream that claims more than it holds
// costs no more memory than it delivers.
constexpr int32_t kReadChunkBytes = 1 << 20;
constexpr int64_t kTrustedReserveBytes = int64_t{64} << 20;

// The whole stream from position 0.
std::string ReadWholeStream(MultiStream::CStream* stream) {
  const int64_t size = stream->Size();
  if (size < 0) throw FileCorruptException("setup stream size");
  stream->Seek(0, MultiStream::kSeekBegin);
  std::string text;
  text.reserve(static_cast<size_t>(std::min(size, kTrustedReserveBytes)));
  int64_t remaining = size;
  while (remaining > 0) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(remaining, kReadChunkBytes));
    const size_t used = text.size();
    text.resize(used + static_cast<size_t>(chunk));
    const int32_t got = stream->ReadBytes(text.data() + used, chunk);
    if (got != chunk) throw FileCorruptException("setup stream ends early");
    remaining -= chunk;
  }
  return text;
}

// Parses `text` into `document`; true when it parsed and passes the integrity
// test.
bool LoadDocument(XML& document, const std::string& text) {
  document.LoadText(std::string_view(text));
  return document.ParseStatus() != XML_PARSE_ERROR && document.IntegrityTest();
}

// Whether a * b overflows a signed 64-bit product of positive factors.
bool ProductOverflows(int64_t a, int64_t b) { return b != 0 && a > std::numeric_limits<int64_t>::max() / b; }

}  // namespace

CKVXMLHelper::CKVXMLHelper() = default;

CKVXMLHelper::~CKVXMLHelper() { CloseFile(); }

bool CKVXMLHelper::OpenAndParseFile(MultiStream::CStream* setupStream, MultiStream::CStream* measInfoStream,
                                    int fileVersion) {
  CloseFile();
  if (setupStream == nullptr) throw FileCorruptException("no setup stream");
  auto document = std::make_unique<XML>();
  if (!LoadDocument(*document, ReadWholeStream(setupStream))) throw FileCorruptException("setup text does not parse");
  InterpretDocument(std::move(document), fileVersion);

  MeasIndex = -1;
  if (measInfoStream == nullptr) return true;
  XML measInfo;
  if (!LoadDocument(measInfo, ReadWholeStream(measInfoStream))) return false;
  try {
    FillMeasInfoProperties(&measInfo);
  } catch (const std::exception&) {
    // The multi-file index is optional; an unreadable one leaves the file readable.
    MeasIndex = -1;
    return false;
  }
  return true;
}

void CKVXMLHelper::InterpretDocument(std::unique_ptr<XML> document, int fileVersion) {
  CloseFile();
  fileVersion_ = fileVersion;
  document_ = std::move(document);
  try {
    FillProperties(document_.get());
    FillChannelList();
    FilterChannelList();
    Initiate();
  } catch (const std::invalid_argument&) {
    // A decimal number that does not parse (stod_s / stof_s) is a damaged setup.
    CloseFile();
    throw FileCorruptException("malformed number in the setup");
  } catch (const std::out_of_range&) {
    CloseFile();
    throw FileCorruptException("number out of range in the setup");
  } catch (...) {
    CloseFile();
    throw;
  }
}

void CKVXMLHelper::CloseFile() {
  ClearChannels();
  onlineInfo_.reset();
  document_.reset();
  deviceNames_.clear();
  MathModuleOffline = 0;
  ModuleName.clear();
  DataStoreMode = 0;
  pluginsSeen_ = false;
  StartingIBLevel = 0;
  walkDepth_ = 0;
}

void CKVXMLHelper::ClearChannels() {
  onlineSync_.clear();
  onlineAsync_.clear();
  onlineSingle_.clear();
  offlineSync_.clear();
  offlineAsync_.clear();
  offlineSingle_.clear();
  channelIndex_.Clear();
  parentValues_.clear();
  channels_.clear();
}

void CKVXMLHelper::FillMeasInfoProperties(XML* document) {
  MeasIndex = ReadInteger(document->GetRootElement(), "MeasIndex", -1);
}

XMLElement* CKVXMLHelper::FindSystemSection(const XML* document, const char* section) {
  XMLElement* root = document != nullptr ? document->GetRootElement() : nullptr;
  XMLElement* system = root != nullptr ? root->GetElementInSection("System") : nullptr;
  return system != nullptr ? system->GetElementInSection(section) : nullptr;
}

void CKVXMLHelper::FillProperties(XML* document) {
  XMLElement* setup = FindSystemSection(document, kKorvaneSetup);
  XMLElement* devices = setup != nullptr ? setup->GetElementInSection(kDevices) : nullptr;
  if (devices == nullptr) throw FileCorruptException("setup without System/KorvaneSetup/Devices");

  SampleRate = ReadDouble(devices, "SampleRate", 1000);
  StartStoreTime = ReadDouble(devices, "StartStoreTime", 0);
  StartingIBLevel = ReadInteger(devices, "StartingIBLevel", 0);
  BlockSize = ReadInteger(devices, "BlockSize", 100);
  IBRate = ReadInteger(devices, "IBRate", 20);
  ExternalClock = ReadDouble(devices, "ExternalClock", 0);

  // Every later computation divides by these or multiplies them up to the
  // highest reduced level.
  if (!(SampleRate > 0) || !std::isfinite(SampleRate)) throw FileCorruptException("SampleRate");
  if (!(ExternalClock >= 0) || !std::isfinite(ExternalClock)) throw FileCorruptException("ExternalClock");
  if (BlockSize < 1 || IBRate < 1) throw FileCorruptException("BlockSize or IBRate");
  if (StartingIBLevel < 0 || StartingIBLevel >= kIBLevelCount) throw FileCorruptException("StartingIBLevel");
  int64_t product = BlockSize;
  for (int level = 1; level < kIBLevelCount; ++level) {
    if (ProductOverflows(product, IBRate)) throw FileCorruptException("IBRate");
    product *= IBRate;
  }
  SetDefaultIBRates(BlockSize, IBRate);

  if (XMLElement* online = FindElement(devices, "OnlineInfo")) {
    if (!onlineInfo_) onlineInfo_ = std::make_unique<CKVOnlineInfo>();
    FillOnlineInfo(online, onlineInfo_.get());
  }

  DataStoreMode = 0;
  if (XMLElement* storing = setup->GetElementInSection(kStoring)) {
    if (XMLElement* trigger = storing->GetElementInSection(kTrigger)) {
      DataStoreMode = ReadInteger(trigger, "DataStoreMode", 0);
    }
  }

  if (XMLElement* monitor = setup->GetElementInSection(kSystemMonitor)) {
    if (XMLElement* names = monitor->GetElementInSection(kDeviceNamesForAnalyze)) ReadDeviceNames(names);
  }
}

void CKVXMLHelper::ReadDeviceNames(XMLElement* names) {
  deviceNames_.assign(static_cast<size_t>(names->GetChildrenNum()), std::string());
  const int64_t count = names->GetChildrenNum();
  for (XMLElement* child : names->GetChildren()) {
    std::string indexText;
    if (FindAttribute(child, "Index", indexText) == nullptr) continue;
    // Any decimal text; numbers that do not fit are no slot.
    char* end = nullptr;
    const long long index = std::strtoll(indexText.c_str(), &end, 10);
    if (index < 0 || index >= count) continue;
    std::string name = child->GetContentsNum() > 0 ? child->GetContents()[0]->Value() : std::string();
    if (name.size() >= static_cast<size_t>(kDeviceNameBytes)) name.resize(kDeviceNameBytes - 1);
    deviceNames_[static_cast<size_t>(index)] = std::move(name);
  }
}

const char* CKVXMLHelper::GetDeviceName(int index) const noexcept {
  if (index < 0 || index >= GetDeviceNameCount()) return nullptr;
  return deviceNames_[static_cast<size_t>(index)].c_str();
}

CKVChannel* CKVXMLHelper::GetChannel(int position) const noexcept {
  if (position < 0 || position >= GetChannelCount()) return nullptr;
  return channels_[static_cast<size_t>(position)].get();
}

void CKVXMLHelper::SetDefaultIBRates(int blockSize, int rate) {
  ibRates_[0] = static_cast<uint32_t>(blockSize);
  for (int level = 1; level < kIBLevelCount; ++level) ibRates_[static_cast<size_t>(level)] = static_cast<uint32_t>(rate);
}

int64_t CKVXMLHelper::GetIBAbsRate(int level) const noexcept {
  if (level < 0) return 1;
  const int last = std::min(level, kIBLevelCount - 1);
  int64_t rate = 1;
  for (int i = 0; i <= last; ++i) rate *= ibRates_[static_cast<size_t>(i)];
  return rate;
}

int64_t CKVXMLHelper::GetIBAbsMidRate(int level) const noexcept {
  if (level <= 0) return 1;
  const int last = std::min(level, kIBLevelCount - 1);
  int64_t rate = 1;
  for (int i = 1; i <= last; ++i) rate *= ibRates_[static_cast<size_t>(i)];
  return rate;
}

int64_t CKVXMLHelper::GetIBMidRate(int level) const noexcept {
  return BlockSize > 0 ? GetIBAbsRate(level) / BlockSize : 0;
}

void CKVXMLHelper::PrepareOnlineInfo() {
  if (onlineInfo_) return;
  // Layout of the shared streams: each synchronous channel's slice of a data
  // block, then each channel's item of every reduced record, in list order.
  int64_t block = 0;
  int64_t single = 0;
  int64_t ib[kIBLevelCount] = {};
  constexpr int64_t kMaxLayoutBytes = std::numeric_limits<int>::max();
  for (const auto& owned : channels_) {
    CKVChannel& channel = *owned;
    if (channel.MathModuleOffline != 0) continue;
    channel.OnlineInfo = std::make_unique<CKVOnlineInfo>();
    if (channel.SingleValue) {
      if (channel.CalcSingleValue != 1) {
        channel.OnlineInfo->DBOffset = static_cast<int>(single);
        single += 8;
      }
      continue;
    }
    if (!channel.Async && !channel.DecodedFromParent) {
      channel.OnlineInfo->DBOffset = static_cast<int>(block);
      block += (static_cast<int64_t>(channel.GetSampleBytes()) * BlockSize / channel.SRDiv) * channel.GetArraySize();
      if (block > kMaxLayoutBytes) throw FileCorruptException("data block too large");
    }
    for (int level = std::max(channel.StoredFirstAsyncIBLevel, 0); level < kIBLevelCount; ++level) {
      channel.OnlineInfo->IBOffset[level] = static_cast<int>(ib[level]);
      ib[level] += channel.GetIBRecSize(level);
      if (ib[level] > kMaxLayoutBytes) throw FileCorruptException("reduced record too large");
    }
  }
  onlineInfo_ = std::make_unique<CKVOnlineInfo>();
  onlineInfo_->DBOffset = static_cast<int>(block);
  for (int level = 0; level < kIBLevelCount; ++level) onlineInfo_->IBOffset[level] = static_cast<int>(ib[level]);
}

void CKVXMLHelper::Initiate() {
  for (const auto& owned : channels_) {
    CKVChannel* channel = owned.get();
    const int status = channel->GetOffline();
    if (status == 1) continue;
    const bool online = status == 0;
    if (channel->Async) {
      (online ? onlineAsync_ : offlineAsync_).push_back(channel);
    } else if (channel->SingleValue) {
      (online ? onlineSingle_ : offlineSingle_).push_back(channel);
    } else {
      (online ? onlineSync_ : offlineSync_).push_back(channel);
    }
  }
}

void CKVXMLHelper::FilterChannelList() {
  int position = 0;
  for (const auto& channel : channels_) channel->ChannelNumber = position++;
}

}  // namespace Korvane::DataReader

// Engine initialisation, the time arithmetic shared by every query, the reduced
// block ranges of regions, and the sample-count dispatch.
#include "engine/CDataLoadEngine.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/DataReaderLibException.h"
#include "engine/AsyncIndStream.h"
#include "engine/CheckAndRepairEventList.h"
#include "engine/IndexErrors.h"
#include "engine/StoredReads.h"
#include "engine/StreamWindows.h"
#include "events/CKVEventHelper.h"
#include "multistream/CBaseStream.h"
#include "multistream/CStreamContainer.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {

namespace {

using MultiStream::CBaseStream;

// Stream codes of the shared streams.
constexpr char kDataStreamCode[] = "DBDATA";
constexpr char kLegacyAsyncStreamPrefix[] = "DBASDAT";
constexpr char kLevelStreamPrefix[] = "IBDATA";
constexpr char kSingleValueInfoCode[] = "SVINFO";
constexpr char kSingleValueDataCode[] = "SVDATA2";
constexpr char kIndexValueCode[] = "DBASDATX";
constexpr char kIndexNodeCode[] = "NDASDATX";
constexpr char kIndexRootCode[] = "RNASDATX";
// Words the writer puts into the container's description for partial recordings.
constexpr char kMixedMarker[] = "mixed";
constexpr char kReducedMarker[] = "reduced";

constexpr double kSecondsPerDay = 24.0 * 3600.0;

int ClampToInt(int64_t value) {
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::string CodeWithDigit(const char* prefix, int digit) { return prefix + std::to_string(digit); }

// Two channels of one index naming the same AsyncIndex: the setup is damaged, so
// the host sees a corrupt file rather than the index's refusal.
void AddIndexChannel(AsyncIndexManager& manager, uint32_t index, uint32_t valueSize) {
  try {
    manager.addChannel(index, valueSize);
  } catch (const DuplicateChannelIndexException&) {
    throw FileCorruptException("AsyncIndex " + std::to_string(index) + " named twice");
  }
}

// Bytes one index entry of the channel carries.
uint32_t IndexValueSize(const CKVChannel* channel) {
  const int64_t size = static_cast<int64_t>(channel->GetSampleBytes()) * channel->GetArraySize();
  if (size <= 0 || size > std::numeric_limits<uint32_t>::max()) throw FileCorruptException("AsyncIndex value size");
  return static_cast<uint32_t>(size);
}

}  // namespace

CDataLoadEngine::CDataLoadEngine(CKVXMLHelper* setup, Events::CKVEventHelper* events)
    : setup_(setup), events_(events) {}

CDataLoadEngine::~CDataLoadEngine() = default;

void CDataLoadEngine::Initiate() {
  if (container_ == nullptr || setup_ == nullptr || events_ == nullptr || setup_->GetOnlineInfo() == nullptr) {
    throw FileCorruptException();
  }
  Clear();
  OpenDataStreams();
  CountIBLevels();
  streams_[kSingleValueInfoSlot] = container_->StreamByCode(kSingleValueInfoCode);
  streams_[kSingleValueDataSlot] = container_->StreamByCode(kSingleValueDataCode);
  DecideStoringKind();
  if (storingKind_ != Mixed) RepairRegions();
  CopyRegions();
  const auto& channels = setup_->GetChannelList();
  queries_.resize(channels.size());
  countedRegions_.assign(channels.size(), RegionRange{});
  for (size_t i = 0; i < channels.size(); ++i) queryOfChannel_.emplace(channels[i].get(), i);
  AttachBinaryStreams();
  sharedManager_ = std::make_unique<AsyncIndexManager>();
  nodeStreamManagers_.clear();
  AttachSharedIndex();
  AttachOfflineIndexes();
}

void CDataLoadEngine::Clear() {
  regions_.clear();
  queries_.clear();
  countedRegions_.clear();
  queryOfChannel_.clear();
  legacyWindows_.clear();
  blockWindow_.Reset();
  // The managers read through adapters over the container's streams, which go
  // with the file: nothing of them may outlive it.
  nodeStreamManagers_.clear();
  sharedManager_.reset();
  valueAdapters_.clear();
  nodeAdapters_.clear();
  rootAdapters_.clear();
  dbData_ = nullptr;
  streams_.fill(nullptr);
  ibLevelCount_ = 0;
  storingKind_ = Full;
}

void CDataLoadEngine::OpenDataStreams() {
  dbData_ = container_->StreamByCode(kDataStreamCode);
  for (int i = 0; i < kLegacyAsyncStreamCount; ++i) {
    streams_[kLegacyAsyncSlot + i] = container_->StreamByCode(CodeWithDigit(kLegacyAsyncStreamPrefix, i).c_str());
  }
}

// Levels present are those up to the highest non-empty "IBDATA" stream. A file
// without any takes the level count its first offline channel with stored reduced
// streams names; a file with neither has nothing to read unless it holds single
// values.
void CDataLoadEngine::CountIBLevels() {
  ibLevelCount_ = 0;
  for (int level = 0; level < kIBLevelCount; ++level) {
    CBaseStream* stream = container_->StreamByCode(CodeWithDigit(kLevelStreamPrefix, level).c_str());
    if (stream != nullptr && stream->Size() < 1) stream = nullptr;
    streams_[kLevelSlot + level] = stream;
    if (stream != nullptr) ibLevelCount_ = level + 1;
  }
  const auto& channels = setup_->GetChannelList();
  if (ibLevelCount_ == 0) {
    for (const auto& channel : channels) {
      if (channel->OfflineInfo && channel->OfflineInfo->Status == 3 && !channel->SingleValue) {
        ibLevelCount_ = std::clamp(channel->OfflineInfo->IBStreamCount, 0, kIBLevelCount);
        break;
      }
    }
  }
  if (ibLevelCount_ == 0 &&
      std::none_of(channels.begin(), channels.end(), [](const auto& channel) { return channel->SingleValue; })) {
    throw FileCorruptException();
  }
}

void CDataLoadEngine::DecideStoringKind() {
  const char* description = container_->Description();
  if (std::strstr(description, kMixedMarker) != nullptr) {
    storingKind_ = Mixed;
  } else if (std::strstr(description, kReducedMarker) != nullptr) {
    storingKind_ = Reduced;
  } else {
    storingKind_ = Full;
  }
}

void CDataLoadEngine::RepairRegions() {
  StoredDataExtent extent;
  extent.blockSize = setup_->GetBlockSize();
  extent.levelCount = ibLevelCount_;
  extent.startingLevel = std::clamp(setup_->GetStartingIBLevel(), 0, kIBLevelCount - 1);
  for (int level = 0; level < kIBLevelCount; ++level) {
    extent.midRates[level] = std::max<int64_t>(setup_->GetIBAbsMidRate(level), 1);
  }
  const int64_t blockBytes = setup_->GetOnlineInfo()->DBOffset;
  // Without "DBDATA" (a recording of asynchronous channels only) the data blocks
  // say nothing about how far the recording got.
  if (storingKind_ == Full && blockBytes > 0 && dbData_ != nullptr) extent.dataBlocks = dbData_->Size() / blockBytes;
  for (int level = extent.startingLevel; level < ibLevelCount_; ++level) {
    CBaseStream* stream = streams_[kLevelSlot + level];
    const int64_t recordBytes = LevelRecordBytes(level);
    if (stream != nullptr && recordBytes > 0) extent.levelRecords[level] = stream->Size() / recordBytes;
  }
  CountPartlyFilledRecords(extent);
  if (!CheckAndRepairEventList(*events_, extent)) throw FileCorruptException();
}

void CDataLoadEngine::CopyRegions() {
  const int count = events_->GetStartStopEventListCnt();
  if (count < 0) throw std::length_error("negative region count");
  regions_.assign(static_cast<size_t>(count), Events::KVStartStopEvent{});
  if (count > 0) events_->GetStartStopEventList(regions_.data());
}

void CDataLoadEngine::AttachBinaryStreams() {
  for (const auto& channel : setup_->GetChannelList()) {
    if (!channel->IsBinary() || channel->OnlineInfo == nullptr) continue;
    const CKVOnlineInfo& online = *channel->OnlineInfo;
    const std::string code(online.BinStream, strnlen(online.BinStream, sizeof(online.BinStream)));
    channel->BinaryStream = code.empty() ? nullptr : container_->StreamByCode(code.c_str());
  }
}

CDataLoadEngine::StreamPtr CDataLoadEngine::KeepAdapter(std::vector<StreamPtr>& list, CBaseStream* stream) {
  list.push_back(StreamPtr(kit::make_local_shared<AsyncIndStream>(stream, &windowBudget_)));
  return list.back();
}

void CDataLoadEngine::AttachSharedIndex() {
  streams_[kIndexValueSlot] = container_->StreamByCode(kIndexValueCode);
  streams_[kIndexNodeSlot] = container_->StreamByCode(kIndexNodeCode);
  streams_[kIndexRootSlot] = container_->StreamByCode(kIndexRootCode);
  if (streams_[kIndexValueSlot] == nullptr || streams_[kIndexNodeSlot] == nullptr ||
      streams_[kIndexRootSlot] == nullptr) {
    return;
  }
  sharedManager_->setValueAndTimestampStream(KeepAdapter(valueAdapters_, streams_[kIndexValueSlot]));
  sharedManager_->setNodeStream(KeepAdapter(nodeAdapters_, streams_[kIndexNodeSlot]));
  sharedManager_->setRootNodeStream(KeepAdapter(rootAdapters_, streams_[kIndexRootSlot]));
  for (const CKVChannel* channel : setup_->GetOnlineAsyncChannels()) {
    if (channel->OnlineInfo == nullptr || channel->OnlineInfo->AsyncIndex < 0) continue;
    AddIndexChannel(*sharedManager_, static_cast<uint32_t>(channel->OnlineInfo->AsyncIndex), IndexValueSize(channel));
  }
  WithIndexCorruptionMapped([this] { sharedManager_->initializeLoading(); });
}

// Offline asynchronous channels that name the same node stream share one manager
// over that stream set; each channel's entries start at its own positions.
void CDataLoadEngine::AttachOfflineIndexes() {
  for (const CKVChannel* channel : setup_->GetOfflineAsyncChannels()) {
    const CKVOfflineInfo* offline = channel->OfflineInfo.get();
    if (offline == nullptr || channel->ParentChannel != nullptr || offline->AsyncIndex < 0) continue;
    const std::string nodeStreamName(offline->NodeStreamName,
                                     strnlen(offline->NodeStreamName, sizeof(offline->NodeStreamName)));
    AsyncIndexManager* manager = nullptr;
    const auto found = nodeStreamManagers_.find(nodeStreamName);
    if (found == nodeStreamManagers_.end()) {
      CBaseStream* values = container_->StreamByCode(offline->DBStreamName);
      CBaseStream* nodes = container_->StreamByCode(offline->NodeStreamName);
      CBaseStream* roots = container_->StreamByCode(offline->RootNodeStreamName);
      if (values == nullptr || nodes == nullptr || roots == nullptr) continue;
      auto created = std::make_unique<AsyncIndexManager>();
      created->setValueAndTimestampStream(KeepAdapter(valueAdapters_, values));
      created->setNodeStream(KeepAdapter(nodeAdapters_, nodes));
      created->setRootNodeStream(KeepAdapter(rootAdapters_, roots));
      manager = created.get();
      nodeStreamManagers_.emplace(nodeStreamName, std::move(created));
    } else {
      manager = found->second.get();
      if (manager == nullptr) continue;
    }
    if (offline->PosInDBStream < 0 || offline->PosInNodeStream < 0) throw FileCorruptException("PosInDBStream");
    const auto index = static_cast<uint32_t>(offline->AsyncIndex);
    AddIndexChannel(*manager, index, IndexValueSize(channel));
    manager->setValTsStreamOffset(index, static_cast<uint64_t>(offline->PosInDBStream));
    manager->setNodeStreamOffset(index, static_cast<uint64_t>(offline->PosInNodeStream));
  }
  for (auto& [name, manager] : nodeStreamManagers_) {
    WithIndexCorruptionMapped([&manager = manager] { manager->initializeLoading(); });
  }
}

// --- Time -------------------------------------------------------------------

double CDataLoadEngine::GetTimeVal(const Events::RecordPosition& position) const {
  return static_cast<double>(position.calculatePosition(setup_->GetBlockSize())) / setup_->GetSampleRate();
}

double CDataLoadEngine::GetDuration() {
  const double sampleRate = setup_->GetSampleRate();
  if (storingKind_ == Mixed) {
    // The second-highest level is the last one written completely.
    if (ibLevelCount_ < 1) return -1;
    const int level = ibLevelCount_ == 1 ? 0 : ibLevelCount_ - 2;
    if (streams_[kLevelSlot + level] == nullptr || LevelRecordBytes(level) <= 0) return -1;
    return static_cast<double>(GetAllBlocksInStream(level)) / sampleRate *
           static_cast<double>(setup_->GetIBAbsRate(level));
  }
  return static_cast<double>(events_->GetStopEvent() - events_->GetStartEvent()) / sampleRate;
}

double CDataLoadEngine::GetStartMeasureTimeUTC() const { return setup_->GetStartStoreTime(); }

double CDataLoadEngine::GetOffsetStartStoreTimeUTC() const {
  if (storingKind_ == Mixed) return 0;
  const int64_t start = events_->GetStartEvent();
  if (start <= 0) return 0;
  return static_cast<double>(start) / setup_->GetSampleRate() / kSecondsPerDay;
}

double CDataLoadEngine::GetStartStoreTimeUTC() const {
  return GetStartMeasureTimeUTC() + GetOffsetStartStoreTimeUTC();
}

// --- Streams ----------------------------------------------------------------

CBaseStream* CDataLoadEngine::GetStream(StreamSlot slot, int level) const noexcept {
  const int index = slot + level;
  if (slot < 0 || level < 0 || index >= kStreamSlotCount) return nullptr;
  return streams_[index];
}

int64_t CDataLoadEngine::LevelRecordBytes(int level) const noexcept {
  if (level < 0 || level >= kIBLevelCount || setup_->GetOnlineInfo() == nullptr) return 0;
  return setup_->GetOnlineInfo()->IBOffset[level];
}

int64_t CDataLoadEngine::GetAllBlocksInStream(int level) const {
  if (level < 0 || level >= kIBLevelCount) return 0;
  CBaseStream* stream = streams_[kLevelSlot + level];
  const int64_t recordBytes = LevelRecordBytes(level);
  if (stream == nullptr || recordBytes <= 0) return 0;
  return stream->Size() / recordBytes;
}

// --- Regions and reduced blocks ---------------------------------------------

const Events::KVStartStopEvent& CDataLoadEngine::Region(int region) const {
  if (region < 0 || region >= GetRegionCount()) throw InvalidIndexException();
  return regions_[static_cast<size_t>(region)];
}

int CDataLoadEngine::ChannelLevel(const CKVChannel* channel) const {
  return std::clamp(channel->StoredFirstAsyncIBLevel, 0, kIBLevelCount - 1);
}

double CDataLoadEngine::getEventStartTime(int region) const {
  return static_cast<double>(Region(region).start_pos) / setup_->GetSampleRate();
}

double CDataLoadEngine::getEventStopTime(int region) const {
  return static_cast<double>(Region(region).stop_pos) / setup_->GetSampleRate();
}

// A stored block becomes a recording interval by adding the intervals of the gaps
// before its region: whole intervals, as a region starting inside an interval
// still stores that interval whole.
double CDataLoadEngine::getBlockTS(const CKVChannel* channel, int region, int block) const {
  const int level = ChannelLevel(channel);
  const int64_t absRate = std::max<int64_t>(setup_->GetIBAbsRate(level), 1);
  int64_t shifted = block;
  if (storingKind_ != Mixed) {
    const Events::KVStartStopEvent& r = Region(region);
    const int64_t gapBlocks = r.start_block - r.stored_block_base[level];
    shifted += CheckedMul(gapBlocks, setup_->GetBlockSize(), "stored_block_base") / absRate;
  }
  return static_cast<double>(shifted) * static_cast<double>(absRate) / setup_->GetSampleRate();
}

void CDataLoadEngine::getChBlockNoForStartStopEvent(int region, const CKVChannel* channel, int& first,
                                                    int& last) const {
  const Events::KVStartStopEvent& r = Region(region);
  const int level = ChannelLevel(channel);
  const int64_t mid = std::max<int64_t>(setup_->GetIBAbsMidRate(level), 1);
  const int64_t startBlock = r.start_block / mid;
  int64_t b = startBlock;
  // A stop inside a block leaves that partly filled block stored.
  int64_t c = CeilDiv(static_cast<int64_t>(r.stop_block) + (r.stop_offset > 0 ? 1 : 0), mid);
  int64_t skip = 0;
  if (HasOfflineData(channel)) {
    // The channel's own streams may begin later or end earlier than the region.
    const int64_t g = channel->OfflineInfo->StartPos / mid;
    const int64_t h = CeilDiv(channel->OfflineInfo->EndPos, mid);
    b = std::max(g, std::min(h, b));
    skip = std::max<int64_t>(0, b - startBlock);
    c = std::max(g, std::min(h, c));
  }
  if (storingKind_ == Mixed) {
    first = ClampToInt(b);
    last = ClampToInt(c);
    return;
  }
  const int64_t firstBlock = skip + r.event_first_block[level];
  first = ClampToInt(firstBlock);
  last = ClampToInt(c + firstBlock - b - 1);
}

int CDataLoadEngine::getChMaxBlockNo(const CKVChannel* channel) const {
  if (regions_.empty()) return 0;
  int first = 0;
  int last = 0;
  getChBlockNoForStartStopEvent(GetRegionCount() - 1, channel, first, last);
  return last;
}

AsyncIndexManager* CDataLoadEngine::getChannelAsyncManager(const CKVChannel* channel) const {
  if (!HasOfflineData(channel)) {
    if (sharedManager_ == nullptr) throw FileCorruptException();
    return sharedManager_.get();
  }
  const CKVOfflineInfo& offline = *channel->OfflineInfo;
  const auto found = nodeStreamManagers_.find(
      std::string(offline.NodeStreamName, strnlen(offline.NodeStreamName, sizeof(offline.NodeStreamName))));
  if (found == nodeStreamManagers_.end() || found->second == nullptr) throw FileCorruptException();
  return found->second.get();
}

// --- Counts -----------------------------------------------------------------

int64_t CDataLoadEngine::GetSamplesCount(const CKVChannel* channel, int firstRegion, int lastRegion) const {
  if (channel->SingleValue) return GetSingleValueCount(channel);
  if (storingKind_ == Reduced) return 0;
  if (channel->Async) return GetAsyncSamplesCount(channel, firstRegion, lastRegion);
  return GetSyncSamplesCount(channel, firstRegion, lastRegion);
}

int64_t CDataLoadEngine::GetSamplesCount(const CKVChannel* channel) const {
  return GetSamplesCount(channel, 0, GetRegionCount() - 1);
}

double CDataLoadEngine::GetChRate(const CKVChannel* channel) const {
  if (!channel->Async && !channel->SingleValue) {
    return setup_->GetSampleRate() / std::max(channel->SRDiv, 1);
  }
  double storedSeconds = 0;
  for (const Events::KVStartStopEvent& region : regions_) {
    storedSeconds += static_cast<double>(region.stop_pos - region.start_pos) / setup_->GetSampleRate();
  }
  // Without stored time there is no rate to give (rather than a division by 0).
  if (!(storedSeconds > 0)) return 0;
  const double samples =
      channel->Async ? static_cast<double>(channel->AsyncSamples) : static_cast<double>(GetSingleValueCount(channel));
  return samples / storedSeconds;
}

int CDataLoadEngine::GetChType(const CKVChannel* channel) const noexcept {
  if (channel->Async) return 1;
  if (channel->SingleValue) return 2;
  return 0;
}

int64_t CDataLoadEngine::GetSyncSamplesCount(const CKVChannel* channel, int firstRegion, int lastRegion) const {
  if (lastRegion < firstRegion) return 0;
  firstRegion = std::max(firstRegion, 0);
  lastRegion = std::min(lastRegion, GetRegionCount() - 1);
  // A decoded channel has the samples of the channel it is decoded from.
  const int64_t divider = std::max(StorageChannel(channel)->SRDiv, 1);
  int64_t count = 0;
  for (int i = firstRegion; i <= lastRegion; ++i) {
    const Events::KVStartStopEvent& r = regions_[static_cast<size_t>(i)];
    count += std::max<int64_t>(0, CeilDiv(r.stop_pos, divider) - CeilDiv(r.start_pos, divider));
  }
  return count;
}

}  // namespace Korvane::DataReader

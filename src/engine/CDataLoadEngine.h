// CDataLoadEngine: the part of a reader that turns an open file's stored streams
// into samples. Initiate opens the data streams, decides the storing kind, repairs
// and copies the recorded regions and attaches the asynchronous timestamp indexes;
// the queries then map regions and blocks onto stream positions. The engine owns
// its region copy, its per-channel query state, its index managers and the stream
// adapters they read through; the streams belong to the container, the setup
// interpreter and event list owner to the reader.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "asyncindex/AsyncManager.h"
#include "engine/DataBlockWindow.h"
#include "engine/StreamWindows.h"
#include "events/KVStartStopEvent.h"
#include "events/RecordPosition.h"
#include "KVDataReaderLib.h"
#include "setup/CKVOnlineInfo.h"
#include "setup/ScaleType.h"

namespace Korvane::DataReader {

class CKVXMLHelper;
class CKVChannel;
class AsyncIndStream;
class SampleOutput;

namespace Events {
class CKVEventHelper;
}
namespace MultiStream {
class CStreamContainer;
class CBaseStream;
class CStream;
}  // namespace MultiStream

using AsyncIndexManager = AsyncManager<8, double, TsComparer<double>>;

// How much of the recording the file holds, from the container's description.
enum StoringKind : int {
  Full = 0,     // every sample stored
  Reduced = 1,  // only reduced data stored
  Mixed = 2,
};

// Where the last asynchronous window of one channel stopped, so that the next
// window can resume from there instead of searching again. It holds only for a
// window over the same range of regions (firstRegion to lastRegion).
struct TAsyncSamplesQuery {
  // Legacy blocks: the number of the first sample of `block`; index: the number of
  // the sample `iterator` stands on. -1: nothing cached.
  int64_t nextSample = -1;
  int region = -1;                     // the region the window stopped in
  int block = -1;                      // legacy blocks: the block it stopped in
  AsyncIndexManager::IterPtr iterator; // index: where the window stopped
  int64_t regionEnd = -1;              // number (as nextSample) of the first sample behind `region`
  int firstRegion = -1;
  int lastRegion = -1;
};

class CDataLoadEngine {
 public:
  // Slots of the optional shared streams.
  enum StreamSlot : int {
    kLegacyAsyncSlot = 0,   // "DBASDAT0".."DBASDAT2"
    kLevelSlot = 3,         // "IBDATA0".."IBDATA5"
    kSingleValueInfoSlot = 9,
    kSingleValueDataSlot = 10,
    kIndexValueSlot = 11,   // "DBASDATX"
    kIndexNodeSlot = 12,    // "NDASDATX"
    kIndexRootSlot = 13,    // "RNASDATX"
    kStreamSlotCount = 14,
  };
  static constexpr int kLegacyAsyncStreamCount = 3;

  // An empty engine: storing kind Full, no streams, no regions. Both pointers are
  // the reader's and must outlive the engine.
  CDataLoadEngine(CKVXMLHelper* setup, Events::CKVEventHelper* events);
  ~CDataLoadEngine();

  CDataLoadEngine(const CDataLoadEngine&) = delete;
  CDataLoadEngine& operator=(const CDataLoadEngine&) = delete;

  // The open file the next Initiate reads; not owned.
  void SetContainer(MultiStream::CStreamContainer* container) noexcept { container_ = container; }

  // Opens the data streams, decides the storing kind, repairs and copies the
  // regions, sizes the query list and attaches the index managers. Throws
  // FileCorruptException for a file it cannot use; index configuration errors
  // pass through as the index's own exceptions.
  void Initiate();
  // Drops everything Initiate built; the engine is empty again.
  void Clear();

  // --- Time -----------------------------------------------------------------

  // Seconds from the measurement start to a stored event position.
  double GetTimeVal(const Events::RecordPosition& position) const;
  // Stored duration in seconds (-1 when a mixed recording has no level to measure).
  double GetDuration();
  // Start of the measurement, in days.
  double GetStartMeasureTimeUTC() const;
  // Days from the measurement start to the first stored sample (0 for mixed files).
  double GetOffsetStartStoreTimeUTC() const;
  // Start of the stored data, in days.
  double GetStartStoreTimeUTC() const;

  // --- File-wide state ------------------------------------------------------

  int GetIBLevelCount() const noexcept { return ibLevelCount_; }
  int GetStoringKind() const noexcept { return storingKind_; }
  int GetRegionCount() const noexcept { return static_cast<int>(regions_.size()); }
  const std::vector<Events::KVStartStopEvent>& GetRegions() const noexcept { return regions_; }
  // The per-channel query state, one per channel of the full list.
  std::vector<TAsyncSamplesQuery>& GetQueries() noexcept { return queries_; }
  // The shared stream of a slot, or null when the file has none.
  MultiStream::CBaseStream* GetStream(StreamSlot slot, int level = 0) const noexcept;
  MultiStream::CBaseStream* GetDataStream() const noexcept { return dbData_; }

  // Whole records in the reduced-level stream of `level` (0 when there is none).
  int64_t GetAllBlocksInStream(int level) const;

  // --- Regions and reduced blocks -------------------------------------------

  // Seconds of a region's start or stop; the region must exist (InvalidIndexException).
  double getEventStartTime(int region) const;
  double getEventStopTime(int region) const;
  // Seconds of reduced block `block` of the channel's first stored level in `region`.
  double getBlockTS(const CKVChannel* channel, int region, int block) const;
  // The reduced blocks of the channel's first stored level that `region` covers.
  void getChBlockNoForStartStopEvent(int region, const CKVChannel* channel, int& first, int& last) const;
  // The last reduced block of the channel's last region (0 without regions).
  int getChMaxBlockNo(const CKVChannel* channel) const;
  // The index manager of an asynchronous channel; FileCorruptException when it has none.
  AsyncIndexManager* getChannelAsyncManager(const CKVChannel* channel) const;

  // --- Counts ---------------------------------------------------------------

  // Stored samples of the channel over regions first to last (inclusive).
  int64_t GetSamplesCount(const CKVChannel* channel, int firstRegion, int lastRegion) const;
  int64_t GetSamplesCount(const CKVChannel* channel) const;
  // Samples of a synchronous channel: per region, the multiples of its divider
  // between start (inclusive) and stop (exclusive).
  int64_t GetSyncSamplesCount(const CKVChannel* channel, int firstRegion, int lastRegion) const;
  // --- Single, text and binary values (SingleValues.cpp, TextAndBinaryValues.cpp)

  // 1 when the single value is stored, else 0 (0 for a calculated one).
  int64_t GetSingleValueCount(const CKVChannel* channel) const;
  // The channel's single value (GetArraySize values) in the form of scaleType
  // (Scaled, Raw or RawEx as for samples; other forms write nothing) and, when
  // timeStamp is given, the time of the last stop. Nothing for a calculated value
  // or an online value not stored; "Channel not stored" (status 1) for an offline
  // one not stored.
  void GetSingleValue(const CKVChannel* channel, void* values, double* timeStamp, ScaleType scaleType) const;
  // The text of a single-value text channel into buffer: at most length - 1 bytes
  // and a terminating zero; nothing for length 0 or less, a missing value or (offline)
  // a channel that is not a text channel. "Channel value not available" (status
  // 1) for an offline channel without readable streams.
  void GetSingleTextValue(const CKVChannel* channel, char* buffer, int length) const;
  // A header entry as text: the text of a text entry, else the scaled value
  // formatted ("%i" for 32-bit integers, "%f" otherwise), at most min(length, 255)
  // characters with the terminating zero.
  void GetHeaderEntryText(const CKVChannel* channel, char* buffer, int length) const;
  // Values GetTextValues can deliver: 1 for a single value, 0 for a recording of
  // reduced data only, else the samples over every region.
  int64_t GetTextValuesCount(const CKVChannel* channel) const;
  // `count` samples from number `first` as text, one byte per value (GetArraySize
  // bytes per sample), with one time stamp per sample when timeStamps is given; a
  // single value is its text (time stamp 0).
  void GetTextValues(const CKVChannel* channel, int first, int count, char* text, double* timeStamps);
  // Binary samples: the payload of sample `first` into buffer, whose capacity
  // *size holds on entry and the payload's size on return (NoMemoryAllocException
  // when it does not fit).
  void GetBinarySamples(const CKVChannel* channel, int64_t first, char* buffer, double* timeStamp, int* size);
  // `count` payloads one after another, each behind its 32-bit length; *size holds
  // the capacity on entry and the bytes used on return. A payload that no longer
  // fits is NoMemoryAllocException.
  void GetBinarySamplesEx(const CKVChannel* channel, int64_t first, int count, char* buffer, double* timeStamps,
                          int* size);
  // `count` payload locators from sample `first`, one time stamp each.
  void GetBinaryRecSamples(const CKVChannel* channel, int64_t first, int count, double* timeStamps,
                           KVBinarySample* records);
  // The payload a locator names into a ring buffer of `capacity` bytes at
  // *position (CKVChannel::GetBinDataFromSample).
  void GetBinaryData(const CKVChannel* channel, const KVBinarySample& record, char* buffer, int64_t* position,
                     int capacity) const;
  // Samples per second of the channel over the stored time: SampleRate / SRDiv
  // for synchronous channels, the stored samples per stored second otherwise (0
  // without stored time).
  double GetChRate(const CKVChannel* channel) const;
  // 1 asynchronous, 2 single value, 0 synchronous.
  int GetChType(const CKVChannel* channel) const noexcept;

  // --- Samples (CDataLoadEngineSamples.cpp: the dispatch; SyncSamples.cpp) ----

  // Copies `count` samples of a synchronous channel from sample number `first`,
  // numbered over regions firstRegion to lastRegion, into `values` (form by
  // scaleType: 8 bytes per scaled double, the stored bytes per raw sample, 16 per
  // KVComplex; GetArraySize values per sample) and, when given, one time stamp per
  // sample into timeStamps; with charOutput one byte per value into `chars`
  // instead. A window that runs past the last region ends early; what lies behind
  // is left untouched. FileCorruptException for positions outside the streams.
  void GetSyncSamples(const CKVChannel* channel, int64_t first, int count, void* values, double* timeStamps,
                      int firstRegion, int lastRegion, bool charOutput, char* chars, ScaleType scaleType);
  // The dispatcher: binary channels yield nothing, asynchronous channels read
  // through GetAsyncSamples and synchronous ones through GetSyncSamples, both
  // without character output; a single-value channel gives its value as sample 0.
  void GetSamples(const CKVChannel* channel, int64_t first, int count, void* values, double* timeStamps,
                  int firstRegion, int lastRegion, ScaleType scaleType);
  void GetSamples(const CKVChannel* channel, int64_t first, int count, void* values, double* timeStamps,
                  ScaleType scaleType);

  // --- Asynchronous samples (AsyncSamples.cpp, LegacyAsyncSamples.cpp,
  //     IndexAsyncSamples.cpp) ------------------------------------------------

  // Samples of an asynchronous channel (a decoded one through its parent) whose
  // time stamp t lies in one of regions first to last: start <= t < stop.
  int64_t GetAsyncSamplesCount(const CKVChannel* channel, int firstRegion, int lastRegion) const;
  // Copies `count` samples of an asynchronous channel from sample number `first`,
  // numbered over the samples of regions firstRegion to lastRegion, in the output
  // forms of GetSyncSamples plus the binary ones: BinaryData and BinaryPacked write
  // payloads into `values`, whose capacity in bytes `binaryBytes` holds on entry
  // and the bytes written on return; BinaryRecords writes 16-byte locators. Time
  // stamps are the stored ones, in seconds. A window that runs past the last
  // region ends early and leaves the rest untouched. Consecutive windows over the
  // same regions resume where the previous one stopped (the channel's query).
  void GetAsyncSamples(const CKVChannel* channel, int64_t first, int count, void* values, double* timeStamps,
                       int firstRegion, int lastRegion, bool charOutput, char* chars, ScaleType scaleType,
                       int* binaryBytes = nullptr);

  // --- Reduced values (ReducedValues.cpp) -------------------------------------

  // The number of reduced values stored for the channel at its first stored level
  // (0 for single-value and array channels; a value that two adjacent regions
  // share counts once) and the seconds one value covers.
  void GetReducedValuesCount(const CKVChannel* channel, int& count, double& blockDuration) const;
  // Writes `count` reduced values of the channel's first stored level, from value
  // number `first` (numbered over all regions), in the form of `selector`
  // (KVReducedValueSelector): -1 records, 0 to 3 one statistic per value into
  // `values`, 4 the four arrays; forms 0 to 4 write one time stamp per value
  // (seconds, the start of its interval) into timeStamps when given. Null arrays
  // are not written. A window that runs past the stored values ends early and
  // leaves the rest untouched. "Channel not stored" (status 1) when the channel's
  // reduced stream is missing; FileCorruptException for an item outside its
  // stream or record.
  void GetReducedValues(const CKVChannel* channel, int first, int count, KVReducedValue* records, double* values,
                        double* timeStamps, int selector, double* minima, double* averages, double* maxima,
                        double* rmsValues) const;
  // The same window at reduced level `level` for every channel whose index in the
  // full channel list `channels` holds; the outputs of the channel at position i
  // of the list begin at element i x count of each array. The list comes back
  // sorted ascending. Each record of the shared stream is read once for all the
  // listed channels stored in it. InvalidIBLevelException when a listed channel's
  // first stored level lies above `level`, InvalidIndexException for an index
  // outside the channel list, both before anything is written.
  void GetReducedValuesBlock(int* channels, int channelCount, int first, int count, int level,
                             KVReducedValue* records, double* values, double* timeStamps, int selector,
                             double* minima, double* averages, double* maxima, double* rmsValues) const;

  // One statistics item of the channel, scaled, with minimum <= maximum: read
  // from the stream's position (exactly the item's bytes; a short read is
  // FileCorruptException) or decoded from `item`, which holds them. The record
  // form leaves the time stamp to the caller; the record and four-double forms
  // leave the RMS unwritten for items without one; the selector form gives the
  // statistic of selector 0 to 3 (0 for an item without RMS asked for selector 3).
  static void GetScaledReducedValueFromStream(const CKVChannel* channel, MultiStream::CStream* stream,
                                              KVReducedValue* out);
  static void GetScaledReducedValueFromStream(const CKVChannel* channel, MultiStream::CStream* stream,
                                              double& minimum, double& average, double& maximum, double& rms);
  static double GetScaledReducedValueFromStream(const CKVChannel* channel, MultiStream::CStream* stream,
                                                int selector);
  static void GetScaledReducedValueFromBuf(const CKVChannel* channel, const uint8_t* item, KVReducedValue* out);
  static void GetScaledReducedValueFromBuf(const CKVChannel* channel, const uint8_t* item, double& minimum,
                                           double& average, double& maximum, double& rms);
  static double GetScaledReducedValueFromBuf(const CKVChannel* channel, const uint8_t* item, int selector);

 private:
  using StreamPtr = AsyncIndexManager::StreamPtr;

  // Clamps a window's regions to those that exist; false when it reads nothing (a
  // count of 0 or less, no region left). A negative first is InvalidIndexException.
  bool ClampWindow(int64_t first, int count, int& firstRegion, int& lastRegion) const;
  // The host's buffers for samples of `channel` (read from its storage channel).
  SampleOutput OutputFor(const CKVChannel& channel, void* values, double* timeStamps, bool charOutput, char* chars,
                         ScaleType scaleType) const;

  // A window of synchronous samples: count samples from number first, numbered over
  // regions firstRegion to lastRegion (both existing).
  struct SyncWindow {
    int64_t first;
    int64_t count;
    int firstRegion;
    int lastRegion;
  };
  void ReadDataBlockSamples(const CKVChannel& storage, const SyncWindow& window, SampleOutput& output);
  void ReadOwnStreamSamples(const CKVChannel& storage, const SyncWindow& window, SampleOutput& output);
  static int64_t BlocksLeft(const SyncWindow& window, const SampleOutput& output, int64_t divider,
                            int64_t blockSize) noexcept;

  // A window of asynchronous samples: count samples from number first, numbered
  // over regions firstRegion to lastRegion (both existing).
  struct AsyncWindow {
    int64_t first;
    int64_t count;
    int firstRegion;
    int lastRegion;
  };
  // The channel's query, when it holds for a window over the window's regions.
  TAsyncSamplesQuery& QueryOf(const CKVChannel* channel);
  size_t QuerySlot(const CKVChannel* channel) const;
  // Fails as the count does when the regions' count shows a damaged file, so that
  // no read delivers samples a host could not have sized its buffers for. Counted
  // once per channel and range of regions.
  void RequireCountableRegions(const CKVChannel* channel, int firstRegion, int lastRegion);
  static bool Resumes(const TAsyncSamplesQuery& query, const AsyncWindow& window) noexcept;

  // Legacy blocks (LegacyAsyncSamples.cpp): where a channel's tails and block data
  // lie, read through forward windows kept per stream.
  struct LegacyAsyncSource;
  StreamWindows& LegacyWindows(MultiStream::CBaseStream* stream) const;
  struct LegacyBlock;
  LegacyAsyncSource LegacySourceOf(const CKVChannel& storage) const;
  LegacyBlock ReadLegacyTail(const LegacyAsyncSource& source, int64_t block) const;
  void ReadLegacyTimes(const LegacyAsyncSource& source, const LegacyBlock& block, std::vector<float>& times) const;
  int64_t LegacyAsyncSamplesCount(const CKVChannel& storage, int firstRegion, int lastRegion) const;
  // Samples in one region: the samples before its stop minus those before its start.
  int64_t getAsyncSampleCountInEventRegion(const LegacyAsyncSource& source, const CKVChannel& storage,
                                           int region) const;
  // Samples of the channel with a time stamp below t, searched from `block`.
  int64_t getAsyncSampleCountToTimestamp(const LegacyAsyncSource& source, const CKVChannel& storage, int region,
                                         double t, int64_t block, int64_t maxBlock) const;
  void ReadLegacyAsyncSamples(const CKVChannel& storage, const AsyncWindow& window, TAsyncSamplesQuery& query,
                              SampleOutput& output);

  // Timestamp index (IndexAsyncSamples.cpp).
  int64_t IndexAsyncSamplesCount(const CKVChannel& storage, int firstRegion, int lastRegion) const;
  void ReadIndexAsyncSamples(const CKVChannel& storage, const AsyncWindow& window, TAsyncSamplesQuery& query,
                             SampleOutput& output);

  // Sets each binary channel's BinaryStream from its online BinStream name.
  void AttachBinaryStreams();

  // One kept adapter per stream handed to a manager, as a shared-stream pointer.
  StreamPtr KeepAdapter(std::vector<StreamPtr>& list, MultiStream::CBaseStream* stream);
  void OpenDataStreams();
  void CountIBLevels();
  void DecideStoringKind();
  void RepairRegions();
  void CopyRegions();
  void AttachSharedIndex();
  void AttachOfflineIndexes();
  const Events::KVStartStopEvent& Region(int region) const;
  // Bytes of one stored record of level `level` (0 when unknown or out of range).
  int64_t LevelRecordBytes(int level) const noexcept;
  int ChannelLevel(const CKVChannel* channel) const;
  // The channel whose stored samples a channel is decoded from (its parent for a
  // digital-input bit or a decoded CAN signal, else itself).
  static const CKVChannel* StorageChannel(const CKVChannel* channel) noexcept;

  StoringKind storingKind_ = Full;
  MultiStream::CBaseStream* dbData_ = nullptr;
  std::array<MultiStream::CBaseStream*, kStreamSlotCount> streams_{};
  // Declared before everything that reads through windows, which it must outlive.
  mutable WindowBudget windowBudget_;
  std::unique_ptr<AsyncIndexManager> sharedManager_;
  std::vector<StreamPtr> valueAdapters_;
  std::vector<StreamPtr> nodeAdapters_;
  std::vector<StreamPtr> rootAdapters_;
  std::map<std::string, std::unique_ptr<AsyncIndexManager>> nodeStreamManagers_;
  int ibLevelCount_ = 0;
  std::vector<TAsyncSamplesQuery> queries_;
  struct RegionRange {
    int first = -1;
    int last = -1;
  };
  std::vector<RegionRange> countedRegions_;  // per query slot: the range whose count held
  std::unordered_map<const CKVChannel*, size_t> queryOfChannel_;
  mutable std::unordered_map<const MultiStream::CBaseStream*, std::unique_ptr<StreamWindows>> legacyWindows_;
  std::vector<Events::KVStartStopEvent> regions_;
  DataBlockWindow blockWindow_;
  MultiStream::CStreamContainer* container_ = nullptr;
  CKVXMLHelper* setup_;
  Events::CKVEventHelper* events_;

  // Reduced values (ReducedValues.cpp): where one channel's items of one level lie,
  // and a window of values with the outputs it goes to.
  struct ReducedSource;
  struct ReducedWindow;
  ReducedSource SharedReducedSource(const CKVChannel& channel, int level) const;
  ReducedSource OwnReducedSource(const CKVChannel& channel, int level) const;
  // Reads the window of one channel's items at `level` from wherever they lie.
  void ReadReducedWindow(const CKVChannel& channel, int level, const ReducedWindow& window) const;
  // Calls visit(record, position in the window, time stamp) for each stored record
  // of `level` that the window covers, in order, up to storedRecords.
  template <class Visit>
  void WalkReducedRecords(int level, int64_t storedRecords, int64_t first, int64_t count, Visit&& visit) const;
};

}  // namespace Korvane::DataReader

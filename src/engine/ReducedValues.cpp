// Reduced values: the statistics items of every channel per reduced interval,
// read from the shared level streams "IBDATA<level>" or from a channel's own
// stream, counted and enumerated over the recorded regions, and written in the
// caller's output form. Each window reads only the items it delivers, and the
// block form reads each shared record once for all its channels.
#include <algorithm>
#include <limits>
#include <vector>

#include "common/DataReaderLibException.h"
#include "engine/CDataLoadEngine.h"
#include "engine/ReducedItem.h"
#include "engine/StoredReads.h"
#include "multistream/CBaseStream.h"
#include "multistream/CStreamContainer.h"
#include "setup/CKVChannel.h"
#include "setup/CKVXMLHelper.h"

namespace Korvane::DataReader {

// Where one channel's items of one level lie: item r at itemBase + r x stride of
// `stream`, for r below `records` (the items that lie wholly inside the stream).
// A null stream means that the file holds none.
struct CDataLoadEngine::ReducedSource {
  MultiStream::CBaseStream* stream = nullptr;
  int64_t itemBase = 0;
  int64_t stride = 0;
  int64_t records = 0;
};

struct CDataLoadEngine::ReducedWindow {
  int64_t first = 0;
  int64_t count = 0;
  ReducedOutputs outputs;
};

namespace {

// Consecutive whole records of a level's stream, read in runs of up to kRunBytes
// (never past the records a window still wants), so that a read over many
// channels costs a few large reads instead of one per record.
class RecordRun {
 public:
  static constexpr int64_t kRunBytes = int64_t{1} << 20;

  RecordRun(MultiStream::CStream* stream, int64_t stride, int64_t storedRecords)
      : stream_(stream), stride_(stride), storedRecords_(storedRecords) {}

  // The bytes of record `index` (below the stored record count); `wanted` is how
  // many records the window still asks for from this one on.
  const uint8_t* Record(int64_t index, int64_t wanted) {
    if (index < first_ || index >= first_ + held_) {
      const int64_t count = std::clamp<int64_t>(std::min(kRunBytes / stride_, wanted), 1, storedRecords_ - index);
      held_ = 0;
      bytes_.resize(static_cast<size_t>(count * stride_));
      ReadAt(stream_, CheckedMul(index, stride_, "reduced record"), bytes_.data(), count * stride_,
             "reduced record");
      first_ = index;
      held_ = count;
    }
    return bytes_.data() + (index - first_) * stride_;
  }

 private:
  MultiStream::CStream* stream_;
  int64_t stride_;
  int64_t storedRecords_;
  std::vector<uint8_t> bytes_;
  int64_t first_ = 0;
  int64_t held_ = 0;
};

int64_t CheckedSub(int64_t a, int64_t b, const char* what) {
  int64_t result = 0;
  if (__builtin_sub_overflow(a, b, &result)) throw FileCorruptException(what);
  return result;
}

// Single values have no reduced data, and array channels store theirs in a layout
// of several items that no reduced query reads.
bool HasReducedItems(const CKVChannel& channel) noexcept {
  return !channel.SingleValue && channel.GetArraySize() == 1;
}

int ClampToInt(int64_t value) noexcept {
  return static_cast<int>(std::clamp<int64_t>(value, 0, std::numeric_limits<int>::max()));
}

// A stream may copy the slack behind its end as if it were data, so the item is
// checked against the stream's size rather than against what the read delivered.
void ReadItem(MultiStream::CStream* stream, const CKVChannel& channel, uint8_t* item) {
  if (stream == nullptr) throw FileCorruptException("reduced item");
  ReadAt(stream, stream->Position(), item, ReducedReadBytes(channel), "reduced item");
}

}  // namespace

// --- Where items lie --------------------------------------------------------

CDataLoadEngine::ReducedSource CDataLoadEngine::SharedReducedSource(const CKVChannel& channel, int level) const {
  ReducedSource source;
  source.stream = streams_[kLevelSlot + level];
  if (source.stream == nullptr || channel.OnlineInfo == nullptr) return {};
  source.stride = LevelRecordBytes(level);
  source.itemBase = channel.OnlineInfo->IBOffset[level];
  if (source.stride <= 0) throw FileCorruptException("reduced record size");
  if (source.itemBase < 0 || source.itemBase > source.stride - ReducedReadBytes(channel)) {
    throw FileCorruptException("reduced item offset");
  }
  source.records = source.stream->Size() / source.stride;
  return source;
}

CDataLoadEngine::ReducedSource CDataLoadEngine::OwnReducedSource(const CKVChannel& channel, int level) const {
  const CKVOfflineInfo* offline = channel.OfflineInfo.get();
  if (offline == nullptr || container_ == nullptr || offline->IBStreamName[level][0] == '\0') return {};
  ReducedSource source;
  source.stream = container_->StreamByCode(offline->IBStreamName[level]);
  if (source.stream == nullptr) return {};
  source.itemBase = offline->PosInIBStream[level];
  source.stride = OwnReducedStride(channel);
  const int64_t size = source.stream->Size();
  if (source.itemBase < 0 || source.itemBase > size) throw FileCorruptException("PosInIBStream");
  const int64_t room = size - source.itemBase - ReducedReadBytes(channel);
  source.records = room >= 0 ? room / source.stride + 1 : 0;
  return source;
}

// --- The walk over stored records -------------------------------------------

// A mixed recording stores its reduced records from the start of the measurement
// without gaps, so record r is interval r. Otherwise only the regions' intervals
// are stored, region after region: a region's records start at its stored-block
// base, and a region whose first interval is the previous region's last shares
// that record, which is delivered once, with the previous region. Time stamps are
// the start of each value's interval.
template <class Visit>
void CDataLoadEngine::WalkReducedRecords(int level, int64_t storedRecords, int64_t first, int64_t count,
                                         Visit&& visit) const {
  const int64_t absRate = std::max<int64_t>(setup_->GetIBAbsRate(level), 1);
  const double secondsPerValue = static_cast<double>(absRate) / setup_->GetSampleRate();
  const int64_t end = first + count;
  if (storingKind_ == Mixed) {
    for (int64_t record = first; record < std::min(end, storedRecords); ++record) {
      visit(record, record - first, static_cast<double>(record) * secondsPerValue);
    }
    return;
  }
  const int64_t blockSize = setup_->GetBlockSize();
  int64_t previous = -1;  // the last record of the previous region
  int64_t number = 0;     // values delivered by the regions before this one
  for (const Events::KVStartStopEvent& region : regions_) {
    if (number >= end) return;
    const int64_t base = CheckedMul(blockSize, region.stored_block_base[level], "stored_block_base");
    if (base < 0) throw FileCorruptException("stored_block_base");
    const int64_t span = CheckedSub(region.end_index[level], region.first_index[level], "end_index");
    const int64_t regionFirst = base / absRate;
    const int64_t last =
        CheckedAdd(base, CheckedMul(absRate, CheckedSub(span, 1, "end_index"), "end_index"), "end_index") / absRate;
    const int64_t from = std::max(regionFirst, previous + 1);
    previous = last;
    if (last < from) continue;
    const int64_t values = last - from + 1;
    const int64_t next = CheckedAdd(number, values, "end_index");
    if (next > first) {
      for (int64_t record = from + std::max<int64_t>(first - number, 0); record <= last; ++record) {
        const int64_t position = number + (record - from) - first;
        if (position >= count || record >= storedRecords) return;
        const double interval = static_cast<double>(region.first_index[level]) +
                                static_cast<double>(record - regionFirst);
        visit(record, position, interval * secondsPerValue);
      }
    }
    number = next;
  }
}

void CDataLoadEngine::ReadReducedWindow(const CKVChannel& channel, int level, const ReducedWindow& window) const {
  const ReducedSource source =
      HasOfflineData(&channel) ? OwnReducedSource(channel, level) : SharedReducedSource(channel, level);
  if (source.stream == nullptr) throw ChannelNotStored();
  uint8_t item[ReducedItemLayout::kLargestReadBytes];
  const int readBytes = ReducedReadBytes(channel);
  const ReducedItemDecoder decoder(channel);
  WalkReducedRecords(level, source.records, window.first, window.count,
                     [&](int64_t record, int64_t position, double timeStamp) {
                       const int64_t at = CheckedAdd(source.itemBase, CheckedMul(record, source.stride, "reduced item"),
                                                     "reduced item");
                       ReadAt(source.stream, at, item, readBytes, "reduced item");
                       window.outputs.Put(position, decoder.Decode(item), timeStamp);
                     });
}

// --- Queries ----------------------------------------------------------------

void CDataLoadEngine::GetReducedValuesCount(const CKVChannel* channel, int& count, double& blockDuration) const {
  const int level = ChannelLevel(channel);
  blockDuration = static_cast<double>(setup_->GetIBAbsRate(level)) / setup_->GetSampleRate();
  count = 0;
  if (!HasReducedItems(*channel)) return;
  if (storingKind_ == Mixed) {
    const ReducedSource source =
        HasOfflineData(channel) ? OwnReducedSource(*channel, level) : SharedReducedSource(*channel, level);
    count = ClampToInt(source.records);
    return;
  }
  int64_t total = 0;
  for (size_t i = 0; i < regions_.size(); ++i) {
    const Events::KVStartStopEvent& region = regions_[i];
    int64_t values = std::max<int64_t>(0, CheckedSub(region.end_index[level], region.first_index[level], "end_index"));
    // The interval in which one region stops and the next starts is stored once.
    if (i > 0 && values > 0 && region.first_index[level] == regions_[i - 1].end_index[level] - 1) --values;
    total = CheckedAdd(total, values, "end_index");
  }
  count = ClampToInt(total);
}

void CDataLoadEngine::GetReducedValues(const CKVChannel* channel, int first, int count, KVReducedValue* records,
                                       double* values, double* timeStamps, int selector, double* minima,
                                       double* averages, double* maxima, double* rmsValues) const {
  if (count <= 0) return;
  if (first < 0) throw InvalidIndexException();
  const ReducedOutputs outputs{records, values, timeStamps, selector, minima, averages, maxima, rmsValues};
  const ReducedWindow window{first, count, outputs};
  if (!window.outputs.HasForm() || !HasReducedItems(*channel)) return;
  ReadReducedWindow(*channel, ChannelLevel(channel), window);
}

void CDataLoadEngine::GetReducedValuesBlock(int* channels, int channelCount, int first, int count, int level,
                                            KVReducedValue* records, double* values, double* timeStamps,
                                            int selector, double* minima, double* averages, double* maxima,
                                            double* rmsValues) const {
  if (count <= 0 || channelCount <= 0) return;
  if (channels == nullptr) throw NoMemoryAllocException();
  if (first < 0) throw InvalidIndexException();
  if (level < 0 || level >= kIBLevelCount) throw InvalidIBLevelException();
  const auto& list = setup_->GetChannelList();
  struct Listed {
    int index;
    int64_t position;  // in the caller's list, which orders the outputs
  };
  std::vector<Listed> listed(static_cast<size_t>(channelCount));
  for (int i = 0; i < channelCount; ++i) {
    const int index = channels[i];
    if (index < 0 || static_cast<size_t>(index) >= list.size()) throw InvalidIndexException();
    if (list[static_cast<size_t>(index)]->StoredFirstAsyncIBLevel > level) throw InvalidIBLevelException();
    listed[static_cast<size_t>(i)] = {index, i};
  }
  std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.index < b.index; });
  for (int i = 0; i < channelCount; ++i) channels[i] = listed[static_cast<size_t>(i)].index;

  const ReducedOutputs outputs{records, values, timeStamps, selector, minima, averages, maxima, rmsValues};
  if (!outputs.HasForm()) return;
  struct SharedItem {
    ReducedItemDecoder decoder;
    int64_t offset;  // in the record
    ReducedOutputs outputs;
  };
  std::vector<SharedItem> shared;
  ReducedSource levelSource;
  for (const Listed& entry : listed) {
    const CKVChannel& channel = *list[static_cast<size_t>(entry.index)];
    if (!HasReducedItems(channel)) continue;
    const ReducedOutputs slice = outputs.Shifted(entry.position * count);
    if (HasOfflineData(&channel)) {
      ReadReducedWindow(channel, level, ReducedWindow{first, count, slice});
      continue;
    }
    levelSource = SharedReducedSource(channel, level);
    if (levelSource.stream == nullptr) throw ChannelNotStored();
    shared.push_back({ReducedItemDecoder(channel), levelSource.itemBase, slice});
  }
  if (shared.empty()) return;

  // Each record is read once, in runs of consecutive records, for every channel of
  // the shared stream.
  RecordRun run(levelSource.stream, levelSource.stride, levelSource.records);
  WalkReducedRecords(level, levelSource.records, first, count, [&](int64_t index, int64_t position, double time) {
    const uint8_t* record = run.Record(index, count - position);
    for (const SharedItem& item : shared) {
      item.outputs.Put(position, item.decoder.Decode(record + item.offset), time);
    }
  });
}

// --- One item ---------------------------------------------------------------

void CDataLoadEngine::GetScaledReducedValueFromBuf(const CKVChannel* channel, const uint8_t* item,
                                                   KVReducedValue* out) {
  ReducedOutputs{.records = out}.Put(0, DecodeReducedItem(*channel, item), out->time_stamp);
}

void CDataLoadEngine::GetScaledReducedValueFromBuf(const CKVChannel* channel, const uint8_t* item,
                                                   double& minimum, double& average, double& maximum,
                                                   double& rms) {
  ReducedOutputs{.selector = KVReducedAll, .minima = &minimum, .averages = &average, .maxima = &maximum,
                 .rmsValues = &rms}
      .Put(0, DecodeReducedItem(*channel, item), 0);
}

double CDataLoadEngine::GetScaledReducedValueFromBuf(const CKVChannel* channel, const uint8_t* item,
                                                     int selector) {
  return SelectReducedValue(DecodeReducedItem(*channel, item), selector);
}

void CDataLoadEngine::GetScaledReducedValueFromStream(const CKVChannel* channel, MultiStream::CStream* stream,
                                                      KVReducedValue* out) {
  uint8_t item[ReducedItemLayout::kLargestReadBytes];
  ReadItem(stream, *channel, item);
  GetScaledReducedValueFromBuf(channel, item, out);
}

void CDataLoadEngine::GetScaledReducedValueFromStream(const CKVChannel* channel, MultiStream::CStream* stream,
                                                      double& minimum, double& average, double& maximum,
                                                      double& rms) {
  uint8_t item[ReducedItemLayout::kLargestReadBytes];
  ReadItem(stream, *channel, item);
  GetScaledReducedValueFromBuf(channel, item, minimum, average, maximum, rms);
}

double CDataLoadEngine::GetScaledReducedValueFromStream(const CKVChannel* channel, MultiStream::CStream* stream,
                                                        int selector) {
  uint8_t item[ReducedItemLayout::kLargestReadBytes];
  ReadItem(stream, *channel, item);
  return GetScaledReducedValueFromBuf(channel, item, selector);
}

}  // namespace Korvane::DataReader

// MeasurementDataWriter: writes the measurement data streams of a recording from
// per-channel sample arrays: the data blocks "DBDATA" (each synchronous channel's
// slice at its offset, divided rates, only the blocks of the recorded regions),
// the streams of channels stored on their own, the reduced levels "IBDATA0" to
// "IBDATA5" (minimum, maximum, average and RMS items), and the single-value
// streams "SVINFO" and "SVDATA2". It knows the layouts from its own constants and
// never reads what it writes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Korvane::DataReader::TestKit {

inline constexpr int kWriterLevelCount = 6;

// One recorded region, in recording block numbers and in-block offsets; the stop
// is exclusive.
struct RecordedRegion {
  int32_t startBlock = 0;
  int32_t startOffset = 0;
  int32_t stopBlock = 0;
  int32_t stopOffset = 0;
};

// The block structure shared by every data stream of a recording.
struct DataLayout {
  int32_t blockSize = 100;  // full-rate samples per block
  int32_t ibRate = 20;      // reduced values of level L per value of level L + 1
  std::vector<RecordedRegion> regions;

  // Blocks of region r that reach the file: from its start block up to the block
  // holding its stop (the stop block itself only when the stop lies inside it:
  // a partly filled block is stored).
  int64_t StoredBlocks(size_t region) const;
  // Where region r's start block lies in the stored blocks: the stored blocks of
  // the regions before it, less one when it starts in the partly filled block the
  // region before it stopped in (that block is stored once, for both).
  int64_t StoredBlockBase(size_t region) const;
  // Stored blocks of all regions.
  int64_t StoredBlockCount() const;
  // Level-0 blocks per reduced value of level L: IBRate^L.
  int64_t MidRate(int level) const;
};

// A synchronous channel: its slice offset in a block, its value size, values per
// sample (array channels) and rate divider, and its raw little-endian samples over
// the whole recording time: sample i (arraySize values, value after value) belongs
// to full-rate position i x srDiv; missing samples are zeros. The divider must
// divide the block size.
struct SyncChannelSamples {
  int32_t dbOffset = 0;
  int32_t sampleBytes = 8;  // bytes of one value
  int32_t srDiv = 1;
  std::vector<uint8_t> samples;
  int32_t arraySize = 1;
};

// Raw sample images.
std::vector<uint8_t> EncodeDoubles(const std::vector<double>& values);
std::vector<uint8_t> EncodeFloats(const std::vector<double>& values);
std::vector<uint8_t> EncodeInt16(const std::vector<int16_t>& values);

// "DBDATA": StoredBlockCount() blocks of blockBytes. Stored block
// StoredBlockBase(r) + j holds recording block startBlock(r) + j; in it each
// channel's slice begins at its dbOffset and holds blockSize / srDiv samples of
// sampleBytes x arraySize bytes: slice element e of recording block b is sample
// b x blockSize / srDiv + e (full-rate position b x blockSize + e x srDiv). So
// sample k of region r in reading order, with s its start offset, is channel
// sample (startBlock x blockSize + s rounded up to a multiple of srDiv) / srDiv + k.
// Bytes of a block that no slice covers are zero.
std::vector<uint8_t> BuildDataBlocks(const DataLayout& layout, int32_t blockBytes,
                                     const std::vector<SyncChannelSamples>& channels);

// The stream of a synchronous channel stored on its own: `leadingBytes` of filler
// (its PosInDBStream), then the channel's slices of the stored blocks back to back,
// in stored-block order, with no other structure: element e (sampleBytes x
// arraySize bytes at leadingBytes + e x that) is the slice element e mod
// (blockSize / srDiv) of stored block e / (blockSize / srDiv). Region r's sample k
// is element (blockSize x StoredBlockBase(r) + s + srDiv x k) / srDiv, which holds
// channel sample (startBlock x blockSize + s) / srDiv + k (divisions truncating).
std::vector<uint8_t> BuildOwnDataStream(const DataLayout& layout, const SyncChannelSamples& channel,
                                        size_t leadingBytes = 0);

// The channel samples region after region hold, in reading order: the online
// numbering (samples whose full-rate position lies in [start, stop)) or, for a
// channel on its own stream, (stop - start) / srDiv samples from (start / srDiv).
std::vector<int64_t> RegionSampleIndexes(const DataLayout& layout, int32_t srDiv, bool ownStream = false);

// A channel's reduced data: full-rate values over the whole recording time and
// where its item lies in each level's record.
struct ReducedChannelValues {
  std::array<int32_t, kWriterLevelCount> itemOffsets{};
  bool doublePrecision = true;  // 8-byte items, otherwise 4-byte
  std::vector<double> values;   // index: full-rate position
};

// The stored records of one reduced level, and where each region's first record
// lies in them (the start events' stored-record offsets).
struct ReducedLevelStream {
  std::vector<uint8_t> bytes;
  std::vector<int32_t> regionFirstRecord;
};

// One stored record of a reduced level: its interval (index of the level's values
// over the recording time) and the recorded full-rate positions [first, second) it
// covers, one range per region that reaches into it.
struct StoredInterval {
  int64_t interval = 0;
  std::vector<std::pair<int64_t, int64_t>> ranges;
};

// The stored records of a level in stored order, and where each region's first
// record lies in them: per region the intervals it touches, an interval in which
// one region stops and the next starts stored once, as the next region's first.
struct StoredLevel {
  std::vector<StoredInterval> intervals;
  std::vector<int32_t> regionFirstRecord;
};
StoredLevel StoredIntervals(const DataLayout& layout, int level);

// "IBDATA<level>": one record per reduced interval the regions touch, in region
// order, each of recordBytes with every channel's item (minimum, maximum, average,
// RMS over the recorded samples of the interval) at its offset. An interval in
// which one region stops and the next starts is stored once, over the samples of
// both, and is the next region's first record.
ReducedLevelStream BuildReducedLevel(const DataLayout& layout, int level, int32_t recordBytes,
                                     const std::vector<ReducedChannelValues>& channels);

// The reduced stream of a channel stored on its own: `leadingBytes` of filler (its
// PosInIBStream), then its items back to back, each followed by `tailBytes` zeros
// (the per-record tail of asynchronous channels).
std::vector<uint8_t> BuildOwnReducedStream(const DataLayout& layout, int level, const ReducedChannelValues& channel,
                                           size_t leadingBytes = 0, size_t tailBytes = 0);

// Per region, the stored-record offsets a start event carries for the levels given.
std::vector<std::vector<int32_t>> RegionLevelOffsets(const std::vector<ReducedLevelStream>& levels,
                                                      size_t regionCount);

// An online single value: its "SVINFO" entry offset, the value bytes and the
// stored word (0: not stored; text: its length; numbers: any non-zero value).
struct SingleValueEntry {
  int32_t infoOffset = 0;
  std::vector<uint8_t> value;
  int32_t storedWord = 1;
};

struct SingleValueStreams {
  std::vector<uint8_t> info;  // "SVINFO"
  std::vector<uint8_t> data;  // "SVDATA2"
};

// "SVINFO" sized to hold every entry, and "SVDATA2" with the values in entry order.
SingleValueStreams BuildSingleValueStreams(const std::vector<SingleValueEntry>& entries);

// An offline single value at PosInDBStream: the stored flag, then the number bytes.
std::vector<uint8_t> OwnSingleValue(bool stored, const std::vector<uint8_t>& value, size_t leadingBytes = 0);
// An offline text value: the stored flag, the 4-byte length and the text.
std::vector<uint8_t> OwnSingleText(bool stored, const std::string& text, size_t leadingBytes = 0);

}  // namespace Korvane::DataReader::TestKit

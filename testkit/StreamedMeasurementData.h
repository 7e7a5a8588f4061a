// Producers of the measurement data streams for the streamed container writer:
// "DBDATA" block by block and a reduced level record by record, from per-channel
// sample generators instead of arrays, so recordings far larger than memory can be
// written. They lay out exactly what BuildDataBlocks and BuildReducedLevel build
// from the same samples; each keeps one block or record at a time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "testkit/MeasurementDataWriter.h"
#include "testkit/StreamedMultiStreamWriter.h"

namespace Korvane::DataReader::TestKit {

// A synchronous channel whose raw samples come from a generator: `samples` writes
// `count` little-endian samples (arraySize values of sampleBytes each) beginning
// with sample number `first` (sample k belongs to full-rate position k x srDiv)
// into `out`.
struct GeneratedSyncChannel {
  int32_t dbOffset = 0;
  int32_t sampleBytes = 8;  // bytes of one value
  int32_t srDiv = 1;
  std::function<void(int64_t first, int64_t count, uint8_t* out)> samples;
  int32_t arraySize = 1;
};

// The generator over an in-memory channel (zeros past its samples, as the
// in-memory writer stores them); the channel must outlive the generator.
GeneratedSyncChannel GeneratedFrom(const SyncChannelSamples& channel);

// "DBDATA" produced one block at a time, laid out as BuildDataBlocks lays it out
// (a partly filled block two regions share is stored once).
class DataBlockSource {
 public:
  DataBlockSource(DataLayout layout, int32_t blockBytes, std::vector<GeneratedSyncChannel> channels);

  int64_t size() const noexcept { return storedBlocks_ * blockBytes_; }
  void Fill(int64_t offset, uint8_t* out, size_t count);
  // A stream source over this producer, which must outlive it.
  StreamSource Source(const std::string& code, int32_t payloadSize);

 private:
  void BuildBlock(int64_t stored);

  DataLayout layout_;
  int64_t blockBytes_;
  std::vector<GeneratedSyncChannel> channels_;
  std::vector<int64_t> regionBase_;  // StoredBlockBase of each region
  int64_t storedBlocks_ = 0;
  std::vector<uint8_t> block_;
  int64_t blockNumber_ = -1;
};

// A channel's reduced data from a generator of its full-rate values: `values`
// writes the values of positions first to first + count - 1 into `out`.
struct GeneratedReducedChannel {
  std::array<int32_t, kWriterLevelCount> itemOffsets{};
  bool doublePrecision = true;
  std::function<void(int64_t first, int64_t count, double* out)> values;
};

// "IBDATA<level>" produced one record at a time, as BuildReducedLevel lays it out:
// per region one record per reduced interval it touches, each channel's item over
// the recorded positions of the interval; an interval in which one region stops
// and the next starts is stored once, over both. Regions out of order are
// refused (std::invalid_argument).
class ReducedLevelSource {
 public:
  ReducedLevelSource(DataLayout layout, int level, int32_t recordBytes, std::vector<GeneratedReducedChannel> channels);

  int64_t size() const noexcept { return recordCount_ * recordBytes_; }
  // Where each region's first record lies (the start events' stored-record offsets).
  const std::vector<int32_t>& regionFirstRecord() const noexcept { return regionFirstRecord_; }
  void Fill(int64_t offset, uint8_t* out, size_t count);
  StreamSource Source(const std::string& code, int32_t payloadSize);

 private:
  void BuildRecord(int64_t record);

  // The records of one region: from its first record on, one per interval
  // firstInterval to endInterval - 1.
  struct RegionRecords {
    int64_t firstRecord;
    int64_t firstInterval;
    int64_t endInterval;
    int64_t startPosition;
    int64_t stopPosition;
  };

  DataLayout layout_;
  std::vector<RegionRecords> regionRecords_;
  int level_;
  int64_t recordBytes_;
  std::vector<GeneratedReducedChannel> channels_;
  std::vector<int32_t> regionFirstRecord_;
  int64_t recordCount_ = 0;
  std::vector<uint8_t> record_;
  int64_t recordNumber_ = -1;
  std::vector<double> values_;
};

}  // namespace Korvane::DataReader::TestKit

// The recording the engine benchmarks read: 64 synchronous channels (int16, float
// and double, some at a half and a tenth of the rate) at 10 kHz over three regions,
// written piece by piece by the test kit into a temporary directory that goes away
// with the object. It also knows where each stream's bytes lie in the file, for
// the baselines that read them directly, and opens the file with an engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/CDataLoadEngine.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/StreamedMultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Bench {

inline constexpr int kBenchChannels = 64;
inline constexpr double kBenchSampleRate = 10000;
inline constexpr int32_t kBenchBlockSize = 1000;
// Full-rate samples per window of a windowed read.
inline constexpr int64_t kBenchWindow = 100000;

// Full-rate samples of the benchmark recording: KV_BENCH_SAMPLES, default 20,000,000.
int64_t BenchSamplesFromEnvironment();

struct BenchChannel {
  std::string index;  // "AI;<n>"
  int dataType = 7;   // 2 int16, 5 float, 7 double
  int32_t sampleBytes = 8;
  int32_t srDiv = 1;
  int32_t dbOffset = 0;
  int32_t levelOffset = 0;  // item offset in a level-0 record
  bool doublePrecision = true;
};

class BenchRecording {
 public:
  // Writes a recording of `fullRateSamples` stored full-rate samples.
  explicit BenchRecording(int64_t fullRateSamples);

  const std::string& path() const noexcept { return path_; }
  const std::vector<BenchChannel>& channels() const noexcept { return channels_; }
  const TestKit::DataLayout& layout() const noexcept { return layout_; }
  int32_t blockBytes() const noexcept { return blockBytes_; }
  int32_t recordBytes() const noexcept { return recordBytes_; }
  int64_t storedBlocks() const;
  int64_t fileBytes() const noexcept { return written_.fileBytes; }
  const TestKit::WrittenStream& dataStream() const { return Stream("DBDATA"); }
  const TestKit::WrittenStream& levelStream() const { return Stream("IBDATA0"); }
  int32_t pageHeaderBytes() const noexcept { return written_.pageHeaderBytes; }

  // Per region, the channel's first recording sample number and its sample count
  // (the multiples of its divider between the region's start and stop).
  std::vector<std::pair<int64_t, int64_t>> SampleRanges(int channel) const;
  // The channel's raw samples by recording sample number, as stored.
  void RawSamples(int channel, int64_t first, int64_t count, uint8_t* out) const;
  // Recording sample k of the channel as a number, before scaling.
  double StoredValue(int channel, int64_t k) const;
  // A path for a further file in the recording's directory.
  std::string File(const std::string& name) const { return dir_.File(name); }

 private:
  const TestKit::WrittenStream& Stream(const std::string& code) const;

  TestKit::TempDir dir_;
  std::string path_;
  std::vector<BenchChannel> channels_;
  TestKit::DataLayout layout_;
  int32_t blockBytes_ = 0;
  int32_t recordBytes_ = 0;
  TestKit::StreamedMultiStream written_;
};

// A recording opened the way a reader opens it: container, setup, events, engine.
class OpenedBenchRecording {
 public:
  explicit OpenedBenchRecording(const std::string& path);
  ~OpenedBenchRecording();
  OpenedBenchRecording(const OpenedBenchRecording&) = delete;
  OpenedBenchRecording& operator=(const OpenedBenchRecording&) = delete;

  CDataLoadEngine& engine() noexcept { return engine_; }
  const CKVChannel* Channel(const std::string& index) const;
  // The channel's position in the full channel list (the engine's channel number).
  int ListPosition(const std::string& index) const;

 private:
  MultiStream::CMultiStream container_;
  CKVXMLHelper setup_;
  Events::CKVEventHelper events_;
  CDataLoadEngine engine_{&setup_, &events_};
};

}  // namespace Korvane::DataReader::Bench

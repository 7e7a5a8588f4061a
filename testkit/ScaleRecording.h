// ScaleRecording: the recording of the large-file benchmarks, of any size up to
// many gigabytes: 64 synchronous channels (int16, float and double, some at a half
// and a tenth of the rate) in "DBDATA", 8 asynchronous double channels in the
// shared timestamp index (leaves of 512 and of 4096 samples, one sample per 2 to
// 24 positions), six reduced levels holding every channel's statistics, and three
// regions with gaps between them and trigger events inside them. Every sample,
// time stamp and statistic comes from a closed formula, so the kit writes the file
// with bounded buffers and still says what any of it must read back as.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/MeasurementDataWriter.h"
#include "testkit/OnlineLayout.h"
#include "testkit/StreamedMultiStreamWriter.h"

namespace Korvane::DataReader::TestKit {

struct ScaleSyncChannel {
  std::string name;   // "Sync <c>"
  int32_t dataType = 7;  // 2 int16, 5 float, 7 double
  int32_t sampleBytes = 8;
  int32_t srDiv = 1;
};

struct ScaleAsyncChannel {
  std::string name;  // "Async <a>"
  int32_t step = 2;  // positions per sample, on average
  uint32_t leafCapacity = 4096;
};

class ScaleRecording {
 public:
  static constexpr int kSyncChannels = 64;
  static constexpr int kAsyncChannels = 8;
  static constexpr int kLevels = kWriterLevelCount;
  static constexpr int64_t kMinimumPositions = 20'000;

  // A recording of `positions` recorded full-rate positions (at least
  // kMinimumPositions) over its three regions.
  explicit ScaleRecording(int64_t positions);
  // The positions that make a file of about `fileBytes` bytes.
  static int64_t PositionsForFileBytes(int64_t fileBytes);

  // Writes the file page by page; throws std::runtime_error when it cannot.
  StreamedMultiStream Write(const std::string& path) const;

  double sampleRate() const noexcept;
  const DataLayout& layout() const noexcept { return layout_; }
  int64_t positions() const noexcept { return positions_; }
  // Synchronous channels come first in the channel list, the asynchronous after them.
  const std::vector<ScaleSyncChannel>& syncChannels() const noexcept { return sync_; }
  const std::vector<ScaleAsyncChannel>& asyncChannels() const noexcept { return async_; }
  // The setup's scale and offset of channel i of the list (physical = stored x
  // scale + offset).
  static double Scale(int channel) noexcept;
  static double Offset(int channel) noexcept;

  // Samples of synchronous channel c over all regions, and the stored number of the
  // k-th of them in reading order.
  int64_t SyncSampleCount(int c) const;
  double SyncValue(int c, int64_t k) const;
  // Samples of asynchronous channel a (all inside the regions), and the stored
  // number and time stamp in seconds of the j-th.
  int64_t AsyncSampleCount(int a) const;
  double AsyncValue(int a, int64_t j) const;
  double AsyncTime(int a, int64_t j) const;
  // The full-rate signal whose statistics the reduced levels hold for channel i of
  // the list, at position p: a synchronous channel's sample in force there, the
  // signal an asynchronous channel's samples are taken from.
  double FullRateValue(int channel, int64_t p) const;
  // Records stored at reduced level L (the values a block read of that level numbers).
  int64_t ReducedRecordCount(int level) const;
  // Trigger events the event stream holds besides the starts and stops.
  int64_t TriggerCount() const;

 private:
  int64_t RecordingPosition(int64_t recorded) const;
  int64_t AsyncPosition(int a, int64_t j) const;
  std::string SetupText() const;
  std::vector<uint8_t> EventStream(const std::vector<std::vector<int32_t>>& levelOffsets) const;

  int64_t positions_ = 0;
  DataLayout layout_;
  std::vector<ScaleSyncChannel> sync_;
  std::vector<ScaleAsyncChannel> async_;
  std::vector<LayoutChannel> layoutChannels_;
  OnlineLayout online_;
};

}  // namespace Korvane::DataReader::TestKit

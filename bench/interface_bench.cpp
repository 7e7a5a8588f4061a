// Samples through the C interface, on the engine benchmark's recording of 64
// channels (KV_BENCH_SAMPLES full-rate samples), against the plain pread loops of
// the same block slices in the same run: scaled samples window by window against
// pread and convert, raw int16 samples against pread straight into the host's
// buffer. The call frame and the argument checks must not show.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include "KVDataReaderLib.h"
#include "bench/BenchBaselines.h"
#include "bench/BenchRatio.h"
#include "bench/BenchRecording.h"
#include "setup/CKVChannel.h"

namespace {

using namespace Korvane::DataReader;
using Bench::BenchRecording;

BenchRecording& MainRecording() {
  static std::unique_ptr<BenchRecording> recording;
  if (!recording) recording = std::make_unique<BenchRecording>(Bench::BenchSamplesFromEnvironment());
  return *recording;
}

// A reader of the C interface with the recording open.
class InterfaceReader {
 public:
  explicit InterfaceReader(const std::string& path) {
    KVFileInfo info{};
    if (KVICreateReader(&reader_) != KVOk || KVIOpenDataFile(reader_, path.c_str(), &info) != KVOk) std::abort();
  }
  ~InterfaceReader() { KVIDestroyReader(reader_); }
  InterfaceReader(const InterfaceReader&) = delete;
  InterfaceReader& operator=(const InterfaceReader&) = delete;
  KVReaderHandle handle() const noexcept { return reader_; }

 private:
  KVReaderHandle reader_ = nullptr;
};

// The channel's interface index, scaling and sample count.
struct InterfaceChannel {
  int32_t index = 0;
  double scale = 1;
  double offset = 0;
  int64_t samples = 0;
};

InterfaceChannel ChannelOf(const BenchRecording& recording, const InterfaceReader& reader, int c) {
  Bench::OpenedBenchRecording opened(recording.path());
  InterfaceChannel channel;
  channel.index = opened.ListPosition(recording.channels()[static_cast<size_t>(c)].index);
  if (KVIGetChannelFactors(reader.handle(), channel.index, &channel.scale, &channel.offset) != KVOk ||
      KVIGetScaledSamplesCount(reader.handle(), channel.index, &channel.samples) != KVOk) {
    std::abort();
  }
  return channel;
}

// The first window read through the interface holds the stored values, scaled.
bool InterfaceReadsTheRecording(const BenchRecording& recording, const InterfaceReader& reader, int c,
                                const InterfaceChannel& channel) {
  std::vector<double> window(100);
  if (KVIGetScaledSamples(reader.handle(), channel.index, 0, 100, window.data(), nullptr) != KVOk) return false;
  const int64_t first = recording.SampleRanges(c)[0].first;
  for (int64_t i = 0; i < 100; ++i) {
    const double expected = recording.StoredValue(c, first + i) * channel.scale + channel.offset;
    if (std::abs(window[static_cast<size_t>(i)] - expected) > 1e-9 * std::max(1.0, std::abs(expected))) return false;
  }
  return true;
}

void BM_InterfaceScaledSamples(benchmark::State& state) {
  const int c = static_cast<int>(state.range(0));
  BenchRecording& recording = MainRecording();
  const InterfaceReader reader(recording.path());
  const InterfaceChannel channel = ChannelOf(recording, reader, c);
  if (!InterfaceReadsTheRecording(recording, reader, c, channel)) {
    state.SkipWithError("the interface's samples differ from the recording");
    return;
  }
  const Bench::File file(recording.path());
  std::vector<uint8_t> slice;
  std::vector<double> window(static_cast<size_t>(Bench::kBenchWindow));
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        Bench::Evict(recording.path());
        Bench::PreadChannel(recording, file, c, channel.scale, channel.offset, slice, window);
      },
      [&] {
        Bench::Evict(recording.path());
        for (int64_t first = 0; first < channel.samples; first += Bench::kBenchWindow) {
          const auto count = static_cast<int32_t>(std::min<int64_t>(Bench::kBenchWindow, channel.samples - first));
          if (KVIGetScaledSamples(reader.handle(), channel.index, first, count, window.data(), nullptr) != KVOk) {
            std::abort();
          }
          benchmark::DoNotOptimize(window.data());
        }
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * channel.samples *
                          recording.channels()[static_cast<size_t>(c)].sampleBytes);
}
// An int16 and a double channel at the full rate, a double at half and a float at a tenth.
BENCHMARK(BM_InterfaceScaledSamples)->Arg(0)->Arg(2)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond);

void BM_InterfaceRawInt16(benchmark::State& state) {
  constexpr int kInt16Channel = 0;
  BenchRecording& recording = MainRecording();
  if (recording.channels()[kInt16Channel].dataType != 2) {
    state.SkipWithError("channel 0 is not an int16 channel");
    return;
  }
  const InterfaceReader reader(recording.path());
  const InterfaceChannel channel = ChannelOf(recording, reader, kInt16Channel);
  const Bench::File file(recording.path());
  std::vector<uint8_t> window(static_cast<size_t>(Bench::kBenchWindow) * 2);
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        Bench::Evict(recording.path());
        Bench::PreadRawChannel(recording, file, kInt16Channel, window);
      },
      [&] {
        Bench::Evict(recording.path());
        for (int64_t first = 0; first < channel.samples; first += Bench::kBenchWindow) {
          const auto count = static_cast<int32_t>(std::min<int64_t>(Bench::kBenchWindow, channel.samples - first));
          if (KVIGetRawSamples(reader.handle(), channel.index, first, count, window.data(), nullptr) != KVOk) {
            std::abort();
          }
          benchmark::DoNotOptimize(window.data());
        }
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * channel.samples * 2);
}
BENCHMARK(BM_InterfaceRawInt16)->Unit(benchmark::kMillisecond);

}  // namespace

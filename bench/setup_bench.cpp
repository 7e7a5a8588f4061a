// Interpreting setup documents of 1,000, 10,000 and 36,424 mixed channels. Reports, in
// the same run: the time per channel with the XML parse excluded and included,
// the 10,000-channel case against the 1,000-channel case (linear opening gives
// about 10), and the interpretation against the XML parse of the same text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/BenchPhases.h"
#include "multistream/CStream.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/SetupBuilder.h"
#include "xml/XML.h"

namespace Korvane::DataReader::Bench {
namespace {

constexpr int kFileVersion = 7305;

// The setup stream of a data file, held in memory.
class MemoryStream : public MultiStream::CStream {
 public:
  explicit MemoryStream(const std::string& text) : text_(text) {}
  int64_t Seek(int64_t offset, MultiStream::EnumSeekOrigin origin) override {
    const int64_t base = origin == MultiStream::kSeekBegin ? 0 : origin == MultiStream::kSeekCurrent ? position_ : Size();
    position_ = std::clamp<int64_t>(base + offset, 0, Size());
    return position_;
  }
  int32_t Write(const void*, int32_t) override { return -1; }
  int32_t Read(void* buffer, int32_t length) override {
    const int64_t count = std::min<int64_t>(length, Size() - position_);
    std::memcpy(buffer, text_.data() + position_, static_cast<size_t>(count));
    position_ += count;
    return static_cast<int32_t>(count);
  }
  int64_t Size() override { return static_cast<int64_t>(text_.size()); }

 private:
  const std::string& text_;
  int64_t position_ = 0;
};

// Times of one setup text: its XML parse, its interpretation of the parsed
// document, and the whole open from the stream.
struct SetupTimes {
  PhaseTime parse;
  PhaseTime interpret;
  PhaseTime open;
};

// Keeps freed memory in the process, so that the large and the small case both
// reuse it rather than the large one alone paying for fresh pages each round.
void KeepFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
#endif
}

void MeasureOnce(const std::string& text, SetupTimes& times) {
  CKVXMLHelper helper;
  const Instant start = Instant::Now();
  auto document = std::make_unique<XML>();
  document->LoadText(std::string_view(text));
  const Instant parsed = Instant::Now();
  helper.InterpretDocument(std::move(document), kFileVersion);
  const Instant interpreted = Instant::Now();
  helper.CloseFile();
  MemoryStream stream(text);
  const Instant openStart = Instant::Now();
  helper.OpenAndParseFile(&stream, nullptr, kFileVersion);
  const Instant opened = Instant::Now();
  benchmark::DoNotOptimize(helper.GetChannelCount());
  times.parse.Add(start, parsed);
  times.interpret.Add(parsed, interpreted);
  times.open.Add(openStart, opened);
}

// One channel count: per-channel times and interpretation against parse.
void BM_InterpretSetup(benchmark::State& state) {
  const auto channels = static_cast<size_t>(state.range(0));
  KeepFreedMemory();
  const std::string text = TestKit::GenerateMixedSetup(channels);
  SetupTimes times;
  for (auto _ : state) MeasureOnce(text, times);
  const double runs = static_cast<double>(state.iterations());
  const double perChannel = runs * static_cast<double>(channels);
  state.counters["parse_ns_per_channel"] = Nanoseconds(times.parse.total) / perChannel;
  state.counters["interpret_ns_per_channel"] = Nanoseconds(times.interpret.total) / perChannel;
  state.counters["open_ns_per_channel"] = Nanoseconds(times.open.total) / perChannel;
  state.counters["interpret_to_parse"] = Nanoseconds(times.interpret.total) / Nanoseconds(times.parse.total);
  // The same in CPU time of the thread, which time spent waiting for a core on a
  // shared machine does not inflate.
  state.counters["parse_cpu_ns_per_channel"] = times.parse.cpuTotalNs / perChannel;
  state.counters["interpret_cpu_ns_per_channel"] = times.interpret.cpuTotalNs / perChannel;
  state.counters["open_cpu_ns_per_channel"] = times.open.cpuTotalNs / perChannel;
  state.counters["interpret_to_parse_cpu"] = times.interpret.cpuTotalNs / times.parse.cpuTotalNs;
  // The least CPU time a round took, which other work on the machine disturbs least.
  const double channelCount = static_cast<double>(channels);
  state.counters["parse_best_cpu_ns_per_channel"] = times.parse.cpuBestNs / channelCount;
  state.counters["interpret_best_cpu_ns_per_channel"] = times.interpret.cpuBestNs / channelCount;
  state.counters["open_best_cpu_ns_per_channel"] = times.open.cpuBestNs / channelCount;
  state.counters["interpret_to_parse_best_cpu"] = times.interpret.cpuBestNs / times.parse.cpuBestNs;
  state.counters["text_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_InterpretSetup)->Arg(1000)->Arg(10000)->Arg(36424)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Both channel counts in one loop: the 10,000-channel times against the
// 1,000-channel times, parse excluded and included. The ratios compare the
// fastest round of each case on the wall clock, which on a shared machine is the
// one least disturbed by other work; the means and the CPU-time ratios are
// reported as well.
void BM_InterpretScaling(benchmark::State& state) {
  KeepFreedMemory();
  const std::string small = TestKit::GenerateMixedSetup(1000);
  const std::string large = TestKit::GenerateMixedSetup(10000);
  SetupTimes smallTimes, largeTimes;
  for (auto _ : state) {
    MeasureOnce(small, smallTimes);
    MeasureOnce(large, largeTimes);
  }
  auto ratio = [](const PhaseTime& numerator, const PhaseTime& denominator) {
    return Nanoseconds(numerator.best) / Nanoseconds(denominator.best);
  };
  state.counters["ratio_parse_excluded"] = ratio(largeTimes.interpret, smallTimes.interpret);
  state.counters["ratio_parse_included"] = ratio(largeTimes.open, smallTimes.open);
  // The XML parse alone, for comparison: the memory the larger tree needs
  // slows every pass over it alike.
  state.counters["ratio_parse_only"] = ratio(largeTimes.parse, smallTimes.parse);
  state.counters["mean_ratio_parse_excluded"] =
      Nanoseconds(largeTimes.interpret.total) / Nanoseconds(smallTimes.interpret.total);
  state.counters["mean_ratio_parse_included"] = Nanoseconds(largeTimes.open.total) / Nanoseconds(smallTimes.open.total);
  state.counters["interpret_to_parse_10000"] = ratio(largeTimes.interpret, largeTimes.parse);
  auto cpuRatio = [](const PhaseTime& numerator, const PhaseTime& denominator) {
    return numerator.cpuTotalNs / denominator.cpuTotalNs;
  };
  state.counters["cpu_ratio_parse_excluded"] = cpuRatio(largeTimes.interpret, smallTimes.interpret);
  state.counters["cpu_ratio_parse_included"] = cpuRatio(largeTimes.open, smallTimes.open);
  state.counters["cpu_ratio_parse_only"] = cpuRatio(largeTimes.parse, smallTimes.parse);
  state.counters["cpu_interpret_to_parse_10000"] = cpuRatio(largeTimes.interpret, largeTimes.parse);
}
BENCHMARK(BM_InterpretScaling)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
}  // namespace Korvane::DataReader::Bench

// Asynchronous samples through the engine, from a recording of KV_BENCH_ASYNC_SAMPLES
// samples per channel (default 10 million; see AsyncBenchRecording.h), each timing
// against a baseline measured in the same loop (BenchRatio.h):
// - index, leaves of 512 and 4096: 1000 consecutive windows against one window of
//   everything (the per-channel cache makes the walk one pass; target 1.1), and one
//   window of everything against a plain read of the leaves' bytes (target 1.5);
// - legacy blocks: 1000 windows against a plain read of every block's tail, values
//   and times (target 1.3), and against one window of everything;
// - two channels in interleaved windows against each read alone (target about 1).
// Fairness: every side writes into buffers of the same size that are touched before
// timing, the file is read once untimed before each benchmark so both sides read
// from the page cache, and a plain read covers exactly the stream bytes the engine
// must read for the samples (page headers aside). Each benchmark also checks the
// samples it got; a wrong one shows in "wrong_samples".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "bench/AsyncBenchRecording.h"
#include "bench/BenchRatio.h"
#include "bench/BenchRecording.h"
#include "setup/CKVChannel.h"

namespace {

using namespace Korvane::DataReader;
using Bench::AsyncBenchRecording;
using Bench::StreamRange;

constexpr int64_t kWindows = 1000;
// Timed iterations per benchmark: KV_BENCH_ASYNC_ITERATIONS (default 5; more to
// give a profiler something to see).
int Iterations() {
  const char* text = std::getenv("KV_BENCH_ASYNC_ITERATIONS");
  const long n = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return n > 0 ? static_cast<int>(n) : 5;
}
const int kIterations = Iterations();
// Samples checked per benchmark, spread over the channel.
constexpr int64_t kChecks = 4096;

// One result of the closing summary.
struct SummaryLine {
  std::string name;
  double ratio;
  double target;
  bool about;  // the target is "about target", not "at most target"
};

// Prints every ratio against its target when the process ends (to stderr, so that
// a machine-readable benchmark output on stdout stays clean).
class Summary {
 public:
  ~Summary() {
    if (lines_.empty()) return;
    std::fprintf(stderr, "\nAsynchronous samples, %lld per channel (ratio = subject / baseline):\n",
                 static_cast<long long>(samples_));
    for (const SummaryLine& line : lines_) {
      // "About 1" allows the same 10 % as the windowed reads.
      const bool met = line.about ? std::fabs(line.ratio - line.target) <= 0.1 : line.ratio <= line.target;
      std::fprintf(stderr, "  %-46s %6.3f  target %s %.2f  %s\n", line.name.c_str(), line.ratio,
                   line.about ? "~ " : "<=", line.target, met ? "met" : "MISSED");
    }
  }
  void Add(std::string name, double ratio, double target, bool about) {
    lines_.push_back({std::move(name), ratio, target, about});
  }
  void SetSamples(int64_t samples) { samples_ = samples; }

 private:
  std::vector<SummaryLine> lines_;
  int64_t samples_ = 0;
};
Summary summary;

// The recording, the engine over it and the output buffers, made once per process
// on first use and removed at exit.
struct Fixture {
  AsyncBenchRecording recording{Bench::AsyncBenchSamplesFromEnvironment()};
  Bench::OpenedBenchRecording opened{recording.path()};
  int lastRegion = opened.engine().GetRegionCount() - 1;
  // Per channel of a pair: values and time stamps of every sample.
  std::vector<double> values[2];
  std::vector<double> stamps[2];
  std::vector<uint8_t> plain;

  Fixture() {
    summary.SetSamples(recording.samples());
    for (int i = 0; i < 2; ++i) {
      values[i].assign(static_cast<size_t>(recording.samples()), 0.0);
      stamps[i].assign(static_cast<size_t>(recording.samples()), 0.0);
    }
    const int64_t legacyBytes = recording.LegacyDataBytes().bytes + recording.LegacyRecordBytes().bytes;
    plain.assign(static_cast<size_t>(std::max(legacyBytes, recording.IndexBytes(Bench::kIndex512Channel).bytes)), 1);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

const char* ChannelOf(int64_t arg) {
  switch (arg) {
    case 512: return Bench::kIndex512Channel;
    case 4096: return Bench::kIndex4096Channel;
    default: return Bench::kLegacyChannel;
  }
}

ScaleType ScaleOf(const benchmark::State& state, int arg) { return static_cast<ScaleType>(state.range(arg)); }

const char* ScaleName(ScaleType scale) { return scale == ScaleType::Raw ? "raw" : "scaled"; }

// The channel's samples in `windows` consecutive windows, each into its own place
// of the buffers (so that every form of the read fills the same memory).
struct WindowedRead {
  CDataLoadEngine& engine;
  const CKVChannel* channel;
  int lastRegion;
  ScaleType scale;
  double* values;
  double* stamps;
  int64_t total;
  int64_t windows;

  int64_t Size() const { return (total + windows - 1) / windows; }
  void Window(int64_t w) const {
    const int64_t first = w * Size();
    if (first >= total) return;
    const int count = static_cast<int>(std::min(Size(), total - first));
    engine.GetAsyncSamples(channel, first, count, values + first, stamps + first, 0, lastRegion, false, nullptr,
                           scale);
  }
  void operator()() const {
    for (int64_t w = 0; w < windows; ++w) Window(w);
    benchmark::DoNotOptimize(values);
    benchmark::DoNotOptimize(stamps);
  }
};

WindowedRead Read(Fixture& f, const char* channel, ScaleType scale, int buffer, int64_t windows) {
  return {f.opened.engine(), f.opened.Channel(channel), f.lastRegion, scale, f.values[buffer].data(),
          f.stamps[buffer].data(), f.recording.samples(), windows};
}

// Checks the channel's count and that a first small window reads; false (with the
// reason given to the benchmark) when the engine cannot read the channel yet.
bool Readable(benchmark::State& state, Fixture& f, const char* channel) {
  try {
    const int64_t count = f.opened.engine().GetAsyncSamplesCount(f.opened.Channel(channel), 0, f.lastRegion);
    if (count != f.recording.samples()) {
      const std::string message = std::string(channel) + ": count " + std::to_string(count) + ", expected " +
                                  std::to_string(f.recording.samples());
      state.SkipWithError(message.c_str());
      return false;
    }
    double value = 0;
    double stamp = 0;
    f.opened.engine().GetAsyncSamples(f.opened.Channel(channel), 0, 1, &value, &stamp, 0, f.lastRegion, false,
                                      nullptr, ScaleType::Raw);
    return true;
  } catch (const std::exception& e) {
    const std::string message = std::string(channel) + ": " + e.what();
    state.SkipWithError(message.c_str());
    return false;
  }
}

// Samples among kChecks spread over the channel whose value or time stamp differs
// from what was written (legacy time stamps are floats after the block time).
double WrongSamples(const Fixture& f, const char* channel, ScaleType scale, int buffer) {
  const CKVChannel* ch = f.opened.Channel(channel);
  const bool legacy = std::string(channel) == Bench::kLegacyChannel;
  const int64_t total = f.recording.samples();
  int64_t wrong = 0;
  for (int64_t i = 0; i < kChecks; ++i) {
    const int64_t k = i == kChecks - 1 ? total - 1 : i * (total / kChecks) + i % 7;
    const double raw = AsyncBenchRecording::Value(k);
    const double expected = scale == ScaleType::Raw ? raw : ch->GetScaledValue(raw);
    const double value = f.values[buffer][static_cast<size_t>(k)];
    const double stamp = f.stamps[buffer][static_cast<size_t>(k)];
    const double stampError = std::fabs(stamp - AsyncBenchRecording::Timestamp(k));
    if (!(std::fabs(value - expected) <= 1e-12 * std::fabs(expected)) || !(stampError <= (legacy ? 1e-6 : 0.0))) {
      ++wrong;
    }
  }
  return static_cast<double>(wrong);
}

// Before each benchmark: the outputs hold NaN, so a read that writes nothing shows
// as wrong, and both sides run once untimed (page cache and buffers warm).
template <class Baseline, class Subject>
bool Warm(benchmark::State& state, Fixture& f, Baseline& baseline, Subject& subject) {
  for (int i = 0; i < 2; ++i) {
    std::fill(f.values[i].begin(), f.values[i].end(), std::numeric_limits<double>::quiet_NaN());
    std::fill(f.stamps[i].begin(), f.stamps[i].end(), std::numeric_limits<double>::quiet_NaN());
  }
  try {
    baseline();
    subject();
    return true;
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return false;
  }
}

template <class Baseline, class Subject>
void Measure(benchmark::State& state, Fixture& f, Baseline&& baseline, Subject&& subject, const std::string& name,
             double target, bool about = false) {
  if (!Warm(state, f, baseline, subject)) return;
  try {
    Bench::MeasureAgainstBaseline(state, baseline, subject);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  state.counters["samples"] = static_cast<double>(f.recording.samples());
  summary.Add(name, state.counters["ratio"], target, about);
}

// 1a. Index: 1000 consecutive windows against one window of everything.
void BM_IndexWindowsVsOneWindow(benchmark::State& state) {
  Fixture& f = Shared();
  const char* channel = ChannelOf(state.range(0));
  const ScaleType scale = ScaleOf(state, 1);
  if (!Readable(state, f, channel)) return;
  const WindowedRead one = Read(f, channel, scale, 0, 1);
  const WindowedRead windows = Read(f, channel, scale, 0, kWindows);
  Measure(state, f, one, windows,
          "index " + std::to_string(state.range(0)) + " " + ScaleName(scale) + ": 1000 windows / 1 window", 1.1);
  state.counters["wrong_samples"] = WrongSamples(f, channel, scale, 0);
}
BENCHMARK(BM_IndexWindowsVsOneWindow)
    ->ArgsProduct({{512, 4096}, {static_cast<int>(ScaleType::Raw), static_cast<int>(ScaleType::Scaled)}})
    ->ArgNames({"leaf", "scale"})
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);

// 1b. Index: one window of everything against a plain read of the channel's leaf
// bytes (values and time stamps, exactly the bytes the copy must read).
void BM_IndexOneWindowVsPlainRead(benchmark::State& state) {
  Fixture& f = Shared();
  const char* channel = ChannelOf(state.range(0));
  const ScaleType scale = ScaleOf(state, 1);
  if (!Readable(state, f, channel)) return;
  const StreamRange bytes = f.recording.IndexBytes(channel);
  auto plain = [&] {
    f.recording.ReadPlain(bytes, f.plain.data());
    benchmark::DoNotOptimize(f.plain.data());
  };
  Measure(state, f, plain, Read(f, channel, scale, 0, 1),
          "index " + std::to_string(state.range(0)) + " " + ScaleName(scale) + ": 1 window / plain read", 1.5);
  state.counters["plain_bytes"] = static_cast<double>(bytes.bytes);
  state.counters["wrong_samples"] = WrongSamples(f, channel, scale, 0);
}
BENCHMARK(BM_IndexOneWindowVsPlainRead)
    ->ArgsProduct({{512, 4096}, {static_cast<int>(ScaleType::Raw), static_cast<int>(ScaleType::Scaled)}})
    ->ArgNames({"leaf", "scale"})
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);

// 2. Legacy blocks: 1000 windows against a plain read of the blocks' bytes: the
// level-0 records holding the tails (whole, as one chunked read would fetch them)
// and the values and float times of "DBASDAT0".
void BM_LegacyWindowsVsPlainRead(benchmark::State& state) {
  Fixture& f = Shared();
  const char* channel = Bench::kLegacyChannel;
  const ScaleType scale = ScaleOf(state, 0);
  if (!Readable(state, f, channel)) return;
  const StreamRange records = f.recording.LegacyRecordBytes();
  const StreamRange data = f.recording.LegacyDataBytes();
  auto plain = [&] {
    f.recording.ReadPlain(records, f.plain.data());
    f.recording.ReadPlain(data, f.plain.data() + records.bytes);
    benchmark::DoNotOptimize(f.plain.data());
  };
  Measure(state, f, plain, Read(f, channel, scale, 0, kWindows),
          std::string("legacy ") + ScaleName(scale) + ": 1000 windows / plain read", 1.3);
  state.counters["blocks"] = static_cast<double>(f.recording.legacyBlocks());
  state.counters["plain_bytes"] = static_cast<double>(records.bytes + data.bytes);
  state.counters["wrong_samples"] = WrongSamples(f, channel, scale, 0);
}
BENCHMARK(BM_LegacyWindowsVsPlainRead)
    ->ArgsProduct({{static_cast<int>(ScaleType::Raw), static_cast<int>(ScaleType::Scaled)}})
    ->ArgNames({"scale"})
    ->Iterations(kIterations)
    ->Unit(benchmark::kMillisecond);

// 2b. Legacy blocks: 1000 windows against one window of everything (the cache's
// share of the cost above).
void BM_LegacyWindowsVsOneWindow(benchmark::State& state) {
  Fixture& f = Shared();
  const char* channel = Bench::kLegacyChannel;
  if (!Readable(state, f, channel)) return;
  Measure(state, f, Read(f, channel, ScaleType::Raw, 0, 1), Read(f, channel, ScaleType::Raw, 0, kWindows),
          "legacy raw: 1000 windows / 1 window", 1.1);
  state.counters["wrong_samples"] = WrongSamples(f, channel, ScaleType::Raw, 0);
}
BENCHMARK(BM_LegacyWindowsVsOneWindow)->Iterations(kIterations)->Unit(benchmark::kMillisecond);

// 3. Two channels in interleaved windows (window w of the first, then window w of
// the second) against the same windows channel by channel. Pair 0: the two index
// channels; pair 1: the legacy channel and the index channel with leaves of 512.
void BM_InterleavedVsAlone(benchmark::State& state) {
  Fixture& f = Shared();
  const bool mixed = state.range(0) == 1;
  const char* first = mixed ? Bench::kLegacyChannel : Bench::kIndex512Channel;
  const char* second = mixed ? Bench::kIndex512Channel : Bench::kIndex4096Channel;
  if (!Readable(state, f, first) || !Readable(state, f, second)) return;
  const WindowedRead a = Read(f, first, ScaleType::Raw, 0, kWindows);
  const WindowedRead b = Read(f, second, ScaleType::Raw, 1, kWindows);
  auto alone = [&] {
    a();
    b();
  };
  auto interleaved = [&] {
    for (int64_t w = 0; w < kWindows; ++w) {
      a.Window(w);
      b.Window(w);
    }
    benchmark::DoNotOptimize(f.values[0].data());
    benchmark::DoNotOptimize(f.values[1].data());
  };
  Measure(state, f, alone, interleaved,
          std::string(mixed ? "legacy + index 512" : "index 512 + index 4096") + ": interleaved / alone", 1.0, true);
  state.counters["wrong_samples"] =
      WrongSamples(f, first, ScaleType::Raw, 0) + WrongSamples(f, second, ScaleType::Raw, 1);
}
BENCHMARK(BM_InterleavedVsAlone)->Arg(0)->Arg(1)->ArgName("pair")->Iterations(kIterations)->Unit(benchmark::kMillisecond);

}  // namespace

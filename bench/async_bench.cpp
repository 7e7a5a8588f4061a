// Asynchronous samples through the engine, from a recording of KV_BENCH_ASYNC_SAMPLES
// samples per channel (default 10 million; see AsyncBenchRecording.h), each timing
// against a baseline measured in the same loop (as BenchRatio.h, plus CPU time):
// - index, leaves of 512 and 4096: 1000 consecutive windows against one window of
//   everything (the per-channel cache makes the walk one pass; target 1.1), and one
//   window of everything against a plain read of the leaves' bytes (target 1.5);
// - legacy blocks: 1000 windows against a plain read of every block's tail, values
//   and times (target 1.3), and against one window of everything; for reference,
//   the least any reader of the blocks does (no engine) against the same plain read;
// - two channels in interleaved windows against each read alone (target about 1).
// Fairness: every side writes into buffers touched before timing, both sides run
// once untimed before each benchmark so that both read from the page cache, and a
// plain read (pread of the file's pieces, 64 KB page payloads) covers exactly the
// stream bytes the engine must read for the samples; for legacy blocks it reads the
// whole level-0 records (1 % more than the tails alone). Each benchmark checks the
// samples it got; a wrong one shows in "wrong_samples".
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
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
#include "bench/BenchRecording.h"
#include "setup/CKVChannel.h"

namespace {

using namespace Korvane::DataReader;
using Bench::AsyncBenchRecording;
using Bench::StreamRange;

constexpr int64_t kWindows = 1000;
// Timed iterations per benchmark: KV_BENCH_ASYNC_ITERATIONS (default 10; more to
// give a profiler something to see).
int Iterations() {
  const char* text = std::getenv("KV_BENCH_ASYNC_ITERATIONS");
  const long n = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return n > 0 ? static_cast<int>(n) : 10;
}
const int kIterations = Iterations();
// Samples checked per benchmark, spread over the channel.
constexpr int64_t kChecks = 4096;

// One result of the closing summary.
struct SummaryLine {
  std::string name;
  double ratio;
  double cpuRatio;
  double target;
  bool about;  // the target is "about target", not "at most target"
};

// Prints every ratio against its target when the process ends (to stderr, so that
// a machine-readable benchmark output on stdout stays clean).
class Summary {
 public:
  ~Summary() {
    if (lines_.empty()) return;
    std::fprintf(stderr,
                 "\nAsynchronous samples, %lld per channel (ratio = subject / baseline in elapsed time; in\n"
                 "brackets the same in thread CPU time, steadier when other processes share the cores):\n",
                 static_cast<long long>(samples_));
    for (const SummaryLine& line : lines_) {
      if (line.target <= 0) {
        std::fprintf(stderr, "  %-46s %6.3f (%6.3f)  for reference\n", line.name.c_str(), line.ratio, line.cpuRatio);
        continue;
      }
      // "About 1" allows the same 10 % as the windowed reads.
      const bool met = line.about ? std::fabs(line.ratio - line.target) <= 0.1 : line.ratio <= line.target;
      std::fprintf(stderr, "  %-46s %6.3f (%6.3f)  target %s %.2f  %s\n", line.name.c_str(), line.ratio,
                   line.cpuRatio, line.about ? "~ " : "<=", line.target, met ? "met" : "MISSED");
    }
  }
  void Add(std::string name, double ratio, double cpuRatio, double target, bool about) {
    lines_.push_back({std::move(name), ratio, cpuRatio, target, about});
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

double ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// BenchRatio.h's measurement, with the thread CPU time of both sides as well: the
// reads come from the page cache, so CPU time holds all their cost, and it does not
// grow when other processes take the cores in turn.
template <class Baseline, class Subject>
void MeasureAgainstBaseline(benchmark::State& state, Baseline& baseline, Subject& subject) {
  using Clock = std::chrono::steady_clock;
  Clock::duration baselineTime{}, subjectTime{};
  double baselineCpu = 0;
  double subjectCpu = 0;
  for (auto _ : state) {
    const double cpuStart = ThreadCpuNs();
    const auto start = Clock::now();
    baseline();
    const auto middle = Clock::now();
    const double cpuMiddle = ThreadCpuNs();
    subject();
    const auto end = Clock::now();
    const double cpuEnd = ThreadCpuNs();
    baselineTime += middle - start;
    subjectTime += end - middle;
    baselineCpu += cpuMiddle - cpuStart;
    subjectCpu += cpuEnd - cpuMiddle;
  }
  const double baselineNs = std::chrono::duration<double, std::nano>(baselineTime).count();
  const double subjectNs = std::chrono::duration<double, std::nano>(subjectTime).count();
  const double iterations = static_cast<double>(state.iterations());
  state.counters["baseline_ns"] = baselineNs / iterations;
  state.counters["subject_ns"] = subjectNs / iterations;
  state.counters["ratio"] = baselineNs > 0 ? subjectNs / baselineNs : 0.0;
  state.counters["cpu_ratio"] = baselineCpu > 0 ? subjectCpu / baselineCpu : 0.0;
}

template <class Baseline, class Subject>
void Measure(benchmark::State& state, Fixture& f, Baseline&& baseline, Subject&& subject, const std::string& name,
             double target, bool about = false) {
  if (!Warm(state, f, baseline, subject)) return;
  try {
    MeasureAgainstBaseline(state, baseline, subject);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  state.counters["samples"] = static_cast<double>(f.recording.samples());
  summary.Add(name, state.counters["ratio"], state.counters["cpu_ratio"], target, about);
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

// The least a reader of legacy blocks has to do, without the engine: every tail in
// one read, the block data through a 1 MB window read as the plain read reads
// (page payload by page payload), each block's values copied and its float times
// turned into seconds in the output buffers.
class LegacyFloor {
 public:
  explicit LegacyFloor(Fixture& f) : f_(f), records_(static_cast<size_t>(f.recording.LegacyRecordBytes().bytes)) {}

  void operator()() {
    f_.recording.ReadPlain(f_.recording.LegacyRecordBytes(), records_.data());
    const int64_t blocks = static_cast<int64_t>(records_.size()) / AsyncBenchRecording::LegacyRecordStride();
    double* values = f_.values[0].data();
    double* stamps = f_.stamps[0].data();
    windowStart_ = 0;
    windowBytes_ = 0;
    for (int64_t b = 0; b < blocks; ++b) {
      const uint8_t* tail =
          records_.data() + b * AsyncBenchRecording::LegacyRecordStride() + AsyncBenchRecording::LegacyTailOffset();
      int32_t count = 0;
      int64_t position = 0;
      std::memcpy(&count, tail, sizeof count);
      std::memcpy(&position, tail + 16, sizeof position);
      const uint8_t* data = Block(position, count * int64_t{12});
      std::memcpy(values, data, static_cast<size_t>(count) * 8);
      const double time = AsyncBenchRecording::LegacyBlockTime(b);
      for (int32_t i = 0; i < count; ++i) {
        float offset = 0;
        std::memcpy(&offset, data + count * int64_t{8} + i * int64_t{4}, sizeof offset);
        stamps[i] = static_cast<double>(offset) + time;
      }
      values += count;
      stamps += count;
    }
    benchmark::DoNotOptimize(f_.values[0].data());
    benchmark::DoNotOptimize(f_.stamps[0].data());
  }

 private:
  static constexpr int64_t kWindowBytes = 1 << 20;

  // The block's bytes, from the window, refilled from the block's start when needed.
  const uint8_t* Block(int64_t position, int64_t bytes) {
    if (position < windowStart_ || position + bytes > windowStart_ + windowBytes_) {
      const StreamRange data = f_.recording.LegacyDataBytes();
      windowStart_ = position;
      windowBytes_ = std::min(std::max(kWindowBytes, bytes), data.bytes - position);
      window_.resize(static_cast<size_t>(windowBytes_));
      f_.recording.ReadPlain({data.code, position, windowBytes_}, window_.data());
    }
    return window_.data() + (position - windowStart_);
  }

  Fixture& f_;
  std::vector<uint8_t> records_;
  std::vector<uint8_t> window_;
  int64_t windowStart_ = 0;
  int64_t windowBytes_ = 0;
};

// 2c. For reference, with no target: the floor above against the plain read, what
// the legacy read could come down to on this machine.
void BM_LegacyFloorVsPlainRead(benchmark::State& state) {
  Fixture& f = Shared();
  const StreamRange records = f.recording.LegacyRecordBytes();
  const StreamRange data = f.recording.LegacyDataBytes();
  auto plain = [&] {
    f.recording.ReadPlain(records, f.plain.data());
    f.recording.ReadPlain(data, f.plain.data() + records.bytes);
    benchmark::DoNotOptimize(f.plain.data());
  };
  LegacyFloor floor(f);
  Measure(state, f, plain, floor, "legacy floor (no engine) / plain read", 0);
  state.counters["wrong_samples"] = WrongSamples(f, Bench::kLegacyChannel, ScaleType::Raw, 0);
}
BENCHMARK(BM_LegacyFloorVsPlainRead)->Iterations(kIterations)->Unit(benchmark::kMillisecond);

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

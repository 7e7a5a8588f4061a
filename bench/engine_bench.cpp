// Reading samples and reduced values through the engine from a recording of 64
// channels at 10 kHz (KV_BENCH_SAMPLES full-rate samples, default 20 million),
// each against a baseline in the same run: one channel against a plain pread of its
// block slices, all channels against one sequential pass over the file and against
// the same data read from HDF5, the reduced block read against a sequential read of
// its level stream. A last benchmark reports the peak memory of a windowed read for
// a recording and one four times its size. By default the files stay in the page
// cache; KV_BENCH_COLD=1 evicts them before every timed read, so that both sides
// read from the disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchBaselines.h"
#include "bench/BenchRatio.h"
#include "bench/BenchRecording.h"
#include "setup/CKVChannel.h"
#if defined(KV_BENCH_HAVE_HDF5)
#include "bench/BenchHdf5.h"
#endif
#if defined(__unix__) || defined(__APPLE__)
#include <sys/resource.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

using namespace Korvane::DataReader;
using Bench::BenchRecording;
using Bench::Decode;
using Bench::Evict;
using Bench::File;
using Bench::PreadChannel;
using Bench::SequentialPass;
using Bench::kBenchWindow;

constexpr size_t kSequentialChunk = 4 << 20;
// Reduced records per GetReducedValuesBlock call.
constexpr int kReducedWindow = 1000;

// The recordings are written once per process, on first use, and removed at exit.
BenchRecording& Recording(int64_t samples) {
  static std::map<int64_t, std::unique_ptr<BenchRecording>> recordings;
  std::unique_ptr<BenchRecording>& recording = recordings[samples];
  if (!recording) recording = std::make_unique<BenchRecording>(samples);
  return *recording;
}

BenchRecording& MainRecording() { return Recording(Bench::BenchSamplesFromEnvironment()); }

// The engine's view of the recording's channels, with their scale factors.
struct EngineChannels {
  std::vector<const CKVChannel*> channels;
  std::vector<double> scale, offset;
  std::vector<int64_t> samples;

  EngineChannels(Bench::OpenedBenchRecording& opened, const BenchRecording& recording) {
    for (const Bench::BenchChannel& channel : recording.channels()) {
      channels.push_back(opened.Channel(channel.index));
      double s = 0, o = 0;
      channels.back()->GetFactors(s, o);
      scale.push_back(s);
      offset.push_back(o);
      samples.push_back(opened.engine().GetSamplesCount(channels.back()));
    }
  }
};

// Nanoseconds to convert every channel's slice of every stored block to scaled
// doubles, from one block held in memory.
double ConvertAllBlocksNs(const BenchRecording& recording, const EngineChannels& view, std::vector<double>& window) {
  std::vector<uint8_t> block(static_cast<size_t>(recording.blockBytes()));
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 31);
  const auto start = std::chrono::steady_clock::now();
  for (int64_t b = 0; b < recording.storedBlocks(); ++b) {
    for (size_t c = 0; c < recording.channels().size(); ++c) {
      const Bench::BenchChannel& channel = recording.channels()[c];
      const int64_t perBlock = Bench::kBenchBlockSize / channel.srDiv;
      const uint8_t* slice = block.data() + channel.dbOffset;
      for (int64_t i = 0; i < perBlock; ++i) {
        window[static_cast<size_t>(i)] = Decode(slice + i * channel.sampleBytes, channel.dataType) * view.scale[c] + view.offset[c];
      }
      benchmark::DoNotOptimize(window.data());
    }
  }
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

// Samples of a channel in the window of full-rate span kBenchWindow numbered w.
bool WindowOf(const BenchRecording& recording, int c, int64_t total, int64_t w, int64_t& first, int& count) {
  const int64_t perWindow = kBenchWindow / recording.channels()[static_cast<size_t>(c)].srDiv;
  first = w * perWindow;
  if (first >= total) return false;
  count = static_cast<int>(std::min(perWindow, total - first));
  return true;
}

int64_t WindowCount(const std::vector<int64_t>& samples) {
  return (*std::max_element(samples.begin(), samples.end()) + kBenchWindow - 1) / kBenchWindow;
}

void EngineWindow(CDataLoadEngine& engine, const CKVChannel* channel, int64_t first, int count, double* out) {
  engine.GetSamples(channel, first, count, out, nullptr, ScaleType::Scaled);
}

// One channel window by window through the engine.
void EngineChannel(CDataLoadEngine& engine, const CKVChannel* channel, int64_t total, std::vector<double>& window) {
  for (int64_t first = 0; first < total; first += kBenchWindow) {
    EngineWindow(engine, channel, first, static_cast<int>(std::min<int64_t>(kBenchWindow, total - first)),
                 window.data());
    benchmark::DoNotOptimize(window.data());
  }
}

// Every channel window by window: for each window of time, each channel's samples in it.
void EngineAllChannels(const BenchRecording& recording, CDataLoadEngine& engine, const EngineChannels& view,
                       std::vector<double>& window) {
  for (int64_t w = 0; w < WindowCount(view.samples); ++w) {
    for (int c = 0; c < Bench::kBenchChannels; ++c) {
      int64_t first = 0;
      int count = 0;
      if (!WindowOf(recording, c, view.samples[static_cast<size_t>(c)], w, first, count)) continue;
      EngineWindow(engine, view.channels[static_cast<size_t>(c)], first, count, window.data());
      benchmark::DoNotOptimize(window.data());
    }
  }
}

// Spot checks of what the engine delivers, so that no figure is taken from a wrong read.
bool EngineReadsTheRecording(const BenchRecording& recording, CDataLoadEngine& engine, const EngineChannels& view) {
  std::vector<double> window(static_cast<size_t>(kBenchWindow));
  for (int c = 0; c < Bench::kBenchChannels; ++c) {
    const auto ranges = recording.SampleRanges(c);
    int64_t total = 0;
    for (const auto& range : ranges) total += range.second;
    if (total != view.samples[static_cast<size_t>(c)]) return false;
    // The last window of the first region runs into the second.
    const int64_t first = ranges[0].second - 10;
    EngineWindow(engine, view.channels[static_cast<size_t>(c)], first, 20, window.data());
    for (int i = 0; i < 20; ++i) {
      const int64_t k = i < 10 ? ranges[0].first + first + i : ranges[1].first + (i - 10);
      const double expected = recording.StoredValue(c, k) * view.scale[static_cast<size_t>(c)] + view.offset[static_cast<size_t>(c)];
      if (std::abs(window[static_cast<size_t>(i)] - expected) > 1e-9 * std::max(1.0, std::abs(expected))) return false;
    }
  }
  return true;
}

// Skips the benchmark when the engine reads the samples wrongly.
bool ReadyToRead(benchmark::State& state, const BenchRecording& recording, Bench::OpenedBenchRecording& opened,
                 const EngineChannels& view) {
  if (!EngineReadsTheRecording(recording, opened.engine(), view)) {
    state.SkipWithError("the engine's samples differ from the recording");
    return false;
  }
  return true;
}

void BM_OneChannelWindows(benchmark::State& state) {
  const int c = static_cast<int>(state.range(0));
  BenchRecording& recording = MainRecording();
  Bench::OpenedBenchRecording opened(recording.path());
  const EngineChannels view(opened, recording);
  if (!ReadyToRead(state, recording, opened, view)) return;
  const File file(recording.path());
  std::vector<uint8_t> slice;
  std::vector<double> window(static_cast<size_t>(kBenchWindow));
  const auto u = static_cast<size_t>(c);
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        Evict(recording.path());
        PreadChannel(recording, file, c, view.scale[u], view.offset[u], slice, window);
      },
      [&] {
        Evict(recording.path());
        EngineChannel(opened.engine(), view.channels[u], view.samples[u], window);
      });
  const Bench::BenchChannel& channel = recording.channels()[u];
  state.SetLabel("type " + std::to_string(channel.dataType) + ", SRDiv " + std::to_string(channel.srDiv));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * view.samples[u] * channel.sampleBytes);
}
// An int16 and a double channel at the full rate, a double at half and a float at a tenth.
BENCHMARK(BM_OneChannelWindows)->Arg(0)->Arg(2)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond);

void BM_AllChannelsWindows(benchmark::State& state) {
  BenchRecording& recording = MainRecording();
  Bench::OpenedBenchRecording opened(recording.path());
  const EngineChannels view(opened, recording);
  if (!ReadyToRead(state, recording, opened, view)) return;
  std::vector<char> buffer(kSequentialChunk);
  std::vector<double> window(static_cast<size_t>(kBenchWindow));
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        Evict(recording.path());
        SequentialPass(recording.path(), buffer);
      },
      [&] {
        Evict(recording.path());
        EngineAllChannels(recording, opened.engine(), view, window);
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * recording.fileBytes());
  // The least any reader spends beyond the pass: converting every sample of blocks
  // already in memory to scaled doubles.
  const double convertNs = ConvertAllBlocksNs(recording, view, window);
  state.counters["convert_ns"] = convertNs;
  state.counters["floor_ratio"] = (state.counters["baseline_ns"] + convertNs) / state.counters["baseline_ns"];
}
BENCHMARK(BM_AllChannelsWindows)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_AllChannelsAgainstHdf5(benchmark::State& state) {
#if defined(KV_BENCH_HAVE_HDF5)
  BenchRecording& recording = MainRecording();
  const std::string peerPath = recording.File("peer.h5");
  static Bench::Hdf5Peer peer(recording, peerPath);
  Bench::OpenedBenchRecording opened(recording.path());
  const EngineChannels view(opened, recording);
  if (!ReadyToRead(state, recording, opened, view)) return;
  std::vector<double> window(static_cast<size_t>(kBenchWindow));
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        Evict(peerPath);
        for (int64_t w = 0; w < WindowCount(view.samples); ++w) {
          for (int c = 0; c < Bench::kBenchChannels; ++c) {
            const auto u = static_cast<size_t>(c);
            int64_t first = 0;
            int count = 0;
            if (!WindowOf(recording, c, peer.Samples(c), w, first, count)) continue;
            peer.Read(c, first, count, window.data());
            for (int i = 0; i < count; ++i) window[static_cast<size_t>(i)] = window[static_cast<size_t>(i)] * view.scale[u] + view.offset[u];
            benchmark::DoNotOptimize(window.data());
          }
        }
      },
      [&] {
        Evict(recording.path());
        EngineAllChannels(recording, opened.engine(), view, window);
      });
#else
  state.SkipWithError("HDF5 is not installed: the peer comparison is left out");
#endif
}
BENCHMARK(BM_AllChannelsAgainstHdf5)->Iterations(3)->Unit(benchmark::kMillisecond);

void EngineReducedBlock(const CDataLoadEngine& engine, const std::vector<int>& indexes, int first, int count,
                        std::vector<KVReducedValue>& records) {
  std::vector<int> list = indexes;  // the engine sorts the caller's list in place
  engine.GetReducedValuesBlock(list.data(), static_cast<int>(list.size()), first, count, 0, records.data(), nullptr,
                               nullptr, -1, nullptr, nullptr, nullptr, nullptr);
}

// The first record's averages of a few channels against the recording's values.
bool ReducedBlockReadsTheRecording(const BenchRecording& recording, const CDataLoadEngine& engine,
                                   const EngineChannels& view, const std::vector<int>& indexes) {
  constexpr int kChecked = 3;
  std::vector<KVReducedValue> records(kChecked);
  EngineReducedBlock(engine, std::vector<int>(indexes.begin(), indexes.begin() + kChecked), 0, 1, records);
  for (int c = 0; c < kChecked; ++c) {
    double sum = 0;
    for (int64_t p = 0; p < Bench::kBenchBlockSize; ++p) {
      sum += recording.StoredValue(c, p / recording.channels()[static_cast<size_t>(c)].srDiv);
    }
    const auto u = static_cast<size_t>(c);
    const double expected = sum / Bench::kBenchBlockSize * view.scale[u] + view.offset[u];
    if (std::abs(records[u].ave - expected) > 1e-5 * std::max(1.0, std::abs(expected))) return false;
  }
  return true;
}

void BM_ReducedBlockLevel0(benchmark::State& state) {
  BenchRecording& recording = MainRecording();
  Bench::OpenedBenchRecording opened(recording.path());
  const CDataLoadEngine& engine = opened.engine();
  const EngineChannels view(opened, recording);
  std::vector<int> indexes;
  for (const Bench::BenchChannel& channel : recording.channels()) indexes.push_back(opened.ListPosition(channel.index));
  const int64_t records = engine.GetAllBlocksInStream(0);
  if (records != recording.storedBlocks() || !ReducedBlockReadsTheRecording(recording, engine, view, indexes)) {
    state.SkipWithError("the engine's reduced values differ from the recording");
    return;
  }
  std::vector<KVReducedValue> values(static_cast<size_t>(kReducedWindow) * Bench::kBenchChannels);
  const File file(recording.path());
  std::vector<uint8_t> buffer(kSequentialChunk);
  const TestKit::WrittenStream& level = recording.levelStream();
  const int64_t levelBytes = records * recording.recordBytes();
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        Evict(recording.path());
        for (int64_t at = 0; at < levelBytes; at += static_cast<int64_t>(buffer.size())) {
          uint8_t* to = buffer.data();
          TestKit::ForEachFilePiece(level, recording.pageHeaderBytes(), at,
                                    std::min<int64_t>(static_cast<int64_t>(buffer.size()), levelBytes - at),
                                    [&](int64_t position, int64_t n) {
                                      if (::pread(file.fd(), to, static_cast<size_t>(n), position) != n) std::abort();
                                      to += n;
                                    });
          benchmark::DoNotOptimize(buffer.data());
        }
      },
      [&] {
        Evict(recording.path());
        for (int64_t first = 0; first < records; first += kReducedWindow) {
          const auto count = static_cast<int>(std::min<int64_t>(kReducedWindow, records - first));
          EngineReducedBlock(engine, indexes, static_cast<int>(first), count, values);
          benchmark::DoNotOptimize(values.data());
        }
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * levelBytes);
}
BENCHMARK(BM_ReducedBlockLevel0)->Unit(benchmark::kMillisecond);

// --- Peak memory of a windowed read ---------------------------------------------

// Resident and peak resident kilobytes of this process; the peak can be reset to the
// current value on Linux, elsewhere it is the process's peak so far.
struct Resident {
  int64_t current = -1;
  int64_t peak = -1;
};

Resident ReadResident() {
  Resident r;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) r.current = std::stoll(line.substr(6));
    if (line.rfind("VmHWM:", 0) == 0) r.peak = std::stoll(line.substr(6));
  }
#if defined(__unix__) || defined(__APPLE__)
  if (r.peak < 0) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
#if defined(__APPLE__)
    r.peak = usage.ru_maxrss / 1024;
#else
    r.peak = usage.ru_maxrss;
#endif
  }
#endif
  return r;
}

// Hands the memory freed by earlier benchmarks back to the system first, so that the
// peak shows what the read itself allocates.
void ResetPeak() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  std::ofstream clear("/proc/self/clear_refs");
  if (clear) clear << "5";
}

// Reads every channel window by window from a recording of arg x (KV_BENCH_SAMPLES
// / 4) samples and reports the resident memory after opening and the peak while
// reading; the peak above the open state stays the same for 1x and 4x.
void BM_WindowPeakMemory(benchmark::State& state) {
  const int64_t base = std::max<int64_t>(Bench::BenchSamplesFromEnvironment() / 4, 100'000);
  BenchRecording& recording = Recording(base * state.range(0));
  std::vector<double> window(static_cast<size_t>(kBenchWindow));
  Resident open, reading;
  for (auto _ : state) {
    Bench::OpenedBenchRecording opened(recording.path());
    const EngineChannels view(opened, recording);
    ResetPeak();
    open = ReadResident();
    EngineAllChannels(recording, opened.engine(), view, window);
    reading = ReadResident();
  }
  state.counters["file_MiB"] = static_cast<double>(recording.fileBytes()) / (1 << 20);
  state.counters["rss_open_KiB"] = static_cast<double>(open.current);
  state.counters["rss_peak_KiB"] = static_cast<double>(reading.peak);
  state.counters["peak_over_open_KiB"] = static_cast<double>(reading.peak - open.current);
}
BENCHMARK(BM_WindowPeakMemory)->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

// Large recordings read whole through the C interface: every synchronous and
// asynchronous channel end to end in windows, and every channel's reduced values
// at every level, against one sequential read() of the file's bytes in the same
// run (both warm in the page cache, or both cold with KV_BENCH_COLD=1), with the
// peak resident memory of the read (VmHWM after resetting it, where the system
// allows). Two orders of the synchronous channels: window by window across the
// channels (BM_ScaleRead) and channel by channel (BM_ScaleReadChannelByChannel);
// window by window, the samples also as stored rather than scaled
// (BM_ScaleReadStored).
// One benchmark per recording size (KV_SCALE_BYTES: file sizes in bytes,
// comma-separated; default 256 MiB, 1 GiB and 4 GiB), windows of KV_SCALE_WINDOW
// full-rate positions (default 100,000). The test kit writes each
// recording once, in a child process, into KV_SCALE_DIR (default
// build/bench/scale-recordings) and later runs reuse it. Counters carry the
// figures into --benchmark_format=json: elapsed and processor-time ratios, bytes
// per second overall and by channel kind, peak and starting resident memory, the
// write time, and the load average.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/ScaleRecording.h"

namespace {

using Korvane::DataReader::TestKit::ScaleRecording;
using Clock = std::chrono::steady_clock;

constexpr char kDefaultSizes[] = "268435456,1073741824,4294967296";
// Full-rate positions per window of a sample read (KV_SCALE_WINDOW), records per
// window of a reduced read.
constexpr int32_t kDefaultWindow = 100'000;
constexpr int32_t kReducedWindow = 1'000;
constexpr size_t kBaselineChunk = size_t{1} << 20;
// Bumped whenever ScaleRecording writes other bytes, so that stale files are not reused.
constexpr int kRecordingVersion = 1;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int32_t WindowFromEnvironment() {
  const char* text = std::getenv("KV_SCALE_WINDOW");
  const long window = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return window >= 10 && window <= 10'000'000 ? static_cast<int32_t>(window) : kDefaultWindow;
}
const int32_t kWindow = WindowFromEnvironment();

std::vector<int64_t> SizesFromEnvironment() {
  const char* text = std::getenv("KV_SCALE_BYTES");
  std::stringstream list(text != nullptr && *text != '\0' ? text : kDefaultSizes);
  std::vector<int64_t> sizes;
  for (std::string item; std::getline(list, item, ',');) {
    if (!item.empty()) sizes.push_back(std::strtoll(item.c_str(), nullptr, 10));
  }
  return sizes;
}

bool Cold() {
  const char* text = std::getenv("KV_BENCH_COLD");
  return text != nullptr && std::strcmp(text, "1") == 0;
}

// Drops the file's pages from the page cache (cold runs only).
void Evict(const std::string& path) {
#if defined(POSIX_FADV_DONTNEED)
  if (!Cold()) return;
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::close(fd);
#else
  (void)path;
#endif
}

// --- Resident memory ------------------------------------------------------------

#if defined(__linux__)
int64_t StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field, 0) == 0) return std::strtoll(line.c_str() + std::strlen(field), nullptr, 10);
  }
  return -1;
}
#endif

// Starts a new peak at the present resident size; false where the system keeps
// only the process's lifetime peak.
bool ResetPeakRss() {
#if defined(__linux__)
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
#else
  return false;
#endif
}

int64_t PeakRssBytes() {
#if defined(__linux__)
  const int64_t kb = StatusKilobytes("VmHWM:");
  if (kb >= 0) return kb * 1024;
#endif
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
#if defined(__APPLE__)
  return usage.ru_maxrss;  // bytes
#else
  return usage.ru_maxrss * int64_t{1024};
#endif
}

int64_t CurrentRssBytes() {
#if defined(__linux__)
  const int64_t kb = StatusKilobytes("VmRSS:");
  if (kb >= 0) return kb * 1024;
#endif
  return -1;
}

// --- The recordings ---------------------------------------------------------------

std::string CacheDirectory() {
  const char* text = std::getenv("KV_SCALE_DIR");
  return text != nullptr && *text != '\0' ? text : KV_SCALE_DEFAULT_DIR;
}

struct CachedRecording {
  std::string path;
  int64_t fileBytes = 0;
  double writeSeconds = 0;  // when the kit wrote it
};

// The recording of `positions` positions: reused when its marker (written after
// the file was complete: the file size and the write time) matches the file,
// written otherwise.
CachedRecording EnsureRecording(const ScaleRecording& plan) {
  std::filesystem::create_directories(CacheDirectory());
  CachedRecording cached;
  cached.path = CacheDirectory() + "/scale-v" + std::to_string(kRecordingVersion) + "-" +
                std::to_string(plan.positions()) + ".kvd";
  const std::string marker = cached.path + ".done";
  std::error_code error;
  const auto size = static_cast<int64_t>(std::filesystem::file_size(cached.path, error));
  std::ifstream in(marker);
  if (!error && in >> cached.fileBytes >> cached.writeSeconds && cached.fileBytes == size) return cached;

  std::filesystem::remove(marker);
  // A child process writes, so that the reader's process starts its measurements
  // without the writer's memory.
  const pid_t child = ::fork();
  if (child < 0) std::abort();
  if (child == 0) {
    const auto start = Clock::now();
    const int64_t fileBytes = plan.Write(cached.path).fileBytes;
    const int fd = ::open(cached.path.c_str(), O_RDONLY);
    if (fd >= 0) {
      ::fsync(fd);  // the write is done when the bytes are on the disk
      ::close(fd);
    }
    std::ofstream(marker) << fileBytes << ' ' << Seconds(Clock::now() - start) << '\n';
    std::_Exit(0);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  std::ifstream written(marker);
  if (!(written >> cached.fileBytes >> cached.writeSeconds)) std::abort();
  return cached;
}

// The baseline: the file's bytes once, front to back, with read() in large chunks
// into a buffer made ready beforehand.
void SequentialRead(const std::string& path, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  while (::read(fd, buffer.data(), buffer.size()) > 0) benchmark::DoNotOptimize(buffer.data());
  ::close(fd);
}

// --- The read through the interface -----------------------------------------------

class Reader {
 public:
  explicit Reader(const std::string& path) {
    KVFileInfo info{};
    if (KVICreateReader(&reader_) != KVOk || KVIOpenDataFile(reader_, path.c_str(), &info) != KVOk) std::abort();
    int32_t count = 0;
    if (KVIGetChannelListCount(reader_, &count) != KVOk) std::abort();
    std::vector<KVChannel> channels(static_cast<size_t>(count));
    if (KVIGetChannelList(reader_, channels.data()) != KVOk) std::abort();
    for (const KVChannel& channel : channels) indexes_[channel.name] = channel.index;
  }
  ~Reader() { KVIDestroyReader(reader_); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  KVReaderHandle handle() const noexcept { return reader_; }
  int32_t Index(const std::string& name) const {
    const auto found = indexes_.find(name);
    if (found == indexes_.end()) std::abort();
    return found->second;
  }

 private:
  KVReaderHandle reader_ = nullptr;
  std::map<std::string, int32_t> indexes_;
};

// Channel i of the kit's list: its name, and whether it is asynchronous.
std::string NameOf(const ScaleRecording& plan, int i) {
  return i < ScaleRecording::kSyncChannels
             ? plan.syncChannels()[static_cast<size_t>(i)].name
             : plan.asyncChannels()[static_cast<size_t>(i - ScaleRecording::kSyncChannels)].name;
}

struct ReadTotals {
  int64_t samples = 0;
  int64_t reducedValues = 0;
  // Stored bytes of the synchronous and asynchronous samples (values and time
  // stamps) read, and the time each kind took.
  int64_t syncBytes = 0;
  int64_t asyncBytes = 0;
  Clock::duration syncTime{}, asyncTime{}, reducedTime{};
};

// How the synchronous channels are read: window by window across the channels
// (every channel's samples of one stretch of kWindow full-rate positions before
// the next stretch: how a host builds a table of all channels), or channel by
// channel (each channel end to end before the next).
enum class Order { kWindowByWindow, kChannelByChannel };

// What the samples are read as: scaled doubles, or the stored numbers as they are
// (a host that keeps int16 samples as int16 and scales them later).
enum class Form { kScaled, kStored };

// The asynchronous channels store doubles; their time stamps are doubles too.
constexpr int64_t kAsyncValueBytes = 8;
constexpr int64_t kTimeStampBytes = 8;

// Bytes of the largest stored sample of the recording's channels.
size_t LargestStoredSample(const ScaleRecording& plan) {
  int64_t largest = kAsyncValueBytes;
  for (const auto& channel : plan.syncChannels()) largest = std::max<int64_t>(largest, channel.sampleBytes);
  return static_cast<size_t>(largest);
}

// Opens the file and reads everything: every synchronous channel end to end in
// windows of kWindow full-rate positions (kWindow / SRDiv samples), in the order
// given; every asynchronous channel end to end in windows of kWindow samples with
// their stored time stamps; each reduced level for all channels at once in windows
// of kReducedWindow records.
ReadTotals ReadEverything(const std::string& path, const ScaleRecording& plan, Order order, Form form) {
  const Reader reader(path);
  ReadTotals totals;
  std::vector<double> values(kWindow), times(kWindow);
  std::vector<uint8_t> stored(form == Form::kStored ? kWindow * LargestStoredSample(plan) : 0);
  constexpr int kChannels = ScaleRecording::kSyncChannels + ScaleRecording::kAsyncChannels;
  std::vector<int32_t> indexes;
  std::vector<int64_t> counts;
  for (int i = 0; i < kChannels; ++i) {
    indexes.push_back(reader.Index(NameOf(plan, i)));
    int64_t count = 0;
    if (KVIGetScaledSamplesCount(reader.handle(), indexes.back(), &count) != KVOk) std::abort();
    counts.push_back(count);
    totals.samples += count;
    if (i < ScaleRecording::kSyncChannels) {
      totals.syncBytes += count * plan.syncChannels()[static_cast<size_t>(i)].sampleBytes;
    } else {
      totals.asyncBytes += count * (kAsyncValueBytes + kTimeStampBytes);
    }
  }
  auto start = Clock::now();
  auto lap = [&start](Clock::duration& time) {
    const auto now = Clock::now();
    time += now - start;
    start = now;
  };
  auto read = [&](int i, int64_t first, int64_t window, double* stamps) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(window, counts[static_cast<size_t>(i)] - first));
    if (n <= 0) return false;
    const int32_t index = indexes[static_cast<size_t>(i)];
    const KVStatus status = form == Form::kStored
                                ? KVIGetRawSamples(reader.handle(), index, first, n, stored.data(), stamps)
                                : KVIGetScaledSamples(reader.handle(), index, first, n, values.data(), stamps);
    if (status != KVOk) std::abort();
    benchmark::DoNotOptimize(values.data());
    benchmark::DoNotOptimize(stored.data());
    return true;
  };
  auto windowOf = [&](int c) { return int64_t{kWindow} / plan.syncChannels()[static_cast<size_t>(c)].srDiv; };
  if (order == Order::kWindowByWindow) {
    for (int64_t w = 0;; ++w) {
      bool any = false;
      for (int c = 0; c < ScaleRecording::kSyncChannels; ++c) any = read(c, w * windowOf(c), windowOf(c), nullptr) || any;
      if (!any) break;
    }
  } else {
    for (int c = 0; c < ScaleRecording::kSyncChannels; ++c) {
      for (int64_t first = 0; read(c, first, windowOf(c), nullptr); first += windowOf(c)) {
      }
    }
  }
  lap(totals.syncTime);
  for (int i = ScaleRecording::kSyncChannels; i < kChannels; ++i) {
    for (int64_t first = 0; read(i, first, kWindow, times.data()); first += kWindow) {
    }
  }
  lap(totals.asyncTime);
  std::vector<KVReducedValue> records(static_cast<size_t>(kChannels) * kReducedWindow);
  for (int level = 0; level < ScaleRecording::kLevels; ++level) {
    const int64_t count = plan.ReducedRecordCount(level);
    for (int64_t first = 0; first < count; first += kReducedWindow) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(kReducedWindow, count - first));
      if (KVIGetReducedValuesBlock(reader.handle(), indexes.data(), kChannels, static_cast<int32_t>(first), n, level,
                                   records.data()) != KVOk) {
        std::abort();
      }
      benchmark::DoNotOptimize(records.data());
      totals.reducedValues += int64_t{n} * kChannels;
    }
  }
  lap(totals.reducedTime);
  return totals;
}

// The interface gives what the kit wrote: the first and the last window of every
// channel, and the samples the kit counts.
bool ReadsTheRecording(const std::string& path, const ScaleRecording& plan) {
  const Reader reader(path);
  std::vector<double> values(1000), times(1000);
  for (int i = 0; i < ScaleRecording::kSyncChannels + ScaleRecording::kAsyncChannels; ++i) {
    const bool async = i >= ScaleRecording::kSyncChannels;
    const int a = i - ScaleRecording::kSyncChannels;
    const int32_t index = reader.Index(NameOf(plan, i));
    int64_t count = 0;
    if (KVIGetScaledSamplesCount(reader.handle(), index, &count) != KVOk) return false;
    if (count != (async ? plan.AsyncSampleCount(a) : plan.SyncSampleCount(i))) return false;
    for (const int64_t first : {int64_t{0}, count - 1000}) {
      if (KVIGetScaledSamples(reader.handle(), index, first, 1000, values.data(), times.data()) != KVOk) return false;
      for (int64_t k = 0; k < 1000; ++k) {
        const double stored = async ? plan.AsyncValue(a, first + k) : plan.SyncValue(i, first + k);
        const double expected = stored * ScaleRecording::Scale(i) + ScaleRecording::Offset(i);
        if (std::abs(values[static_cast<size_t>(k)] - expected) > 1e-9 * std::max(1.0, std::abs(expected))) return false;
        if (async && times[static_cast<size_t>(k)] != plan.AsyncTime(a, first + k)) return false;
      }
    }
  }
  return true;
}

// Processor time of this process so far (user and system), in seconds: unlike the
// elapsed time it leaves out the waits for a processor that other work causes.
double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double LoadAverage() {
  double load[1] = {-1};
  return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

void BM_ScaleRead(benchmark::State& state, int64_t requestedBytes, Order order, Form form) {
  const ScaleRecording plan(ScaleRecording::PositionsForFileBytes(requestedBytes));
  const CachedRecording recording = EnsureRecording(plan);
  if (!ReadsTheRecording(recording.path, plan)) {
    state.SkipWithError("the interface's samples differ from the recording");
    return;
  }
  std::vector<char> buffer(kBaselineChunk);
  SequentialRead(recording.path, buffer);  // warm (or, cold, evicted before each pass)
  const double loadBefore = LoadAverage();

  Clock::duration baseline{}, subject{};
  int64_t peakRss = 0, rssBefore = 0;
  bool peakReset = true;
  ReadTotals totals;
  Clock::duration syncTime{}, asyncTime{}, reducedTime{};
  double baselineCpu = 0, subjectCpu = 0;
  // The baseline and the read take turns going first: what the disk under a
  // virtual machine caches behind the evicted page cache favours neither.
  bool baselineFirst = true;
  auto runBaseline = [&] {
    Evict(recording.path);
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    SequentialRead(recording.path, buffer);
    baseline += Clock::now() - start;
    baselineCpu += CpuSeconds() - cpuStart;
  };
  auto runRead = [&] {
    Evict(recording.path);
    peakReset = ResetPeakRss() && peakReset;
    rssBefore = std::max(rssBefore, CurrentRssBytes());
    const double cpuBegin = CpuSeconds();
    const auto begin = Clock::now();
    totals = ReadEverything(recording.path, plan, order, form);
    subject += Clock::now() - begin;
    subjectCpu += CpuSeconds() - cpuBegin;
    peakRss = std::max(peakRss, PeakRssBytes());
    syncTime += totals.syncTime;
    asyncTime += totals.asyncTime;
    reducedTime += totals.reducedTime;
  };
  for (auto _ : state) {
    if (baselineFirst) {
      runBaseline();
      runRead();
    } else {
      runRead();
      runBaseline();
    }
    baselineFirst = !baselineFirst;
  }
  const double iterations = static_cast<double>(state.iterations());
  const double baselineSeconds = Seconds(baseline) / iterations;
  const double readSeconds = Seconds(subject) / iterations;
  const auto fileBytes = static_cast<double>(recording.fileBytes);
  state.counters["file_bytes"] = fileBytes;
  state.counters["baseline_s"] = baselineSeconds;
  state.counters["read_s"] = readSeconds;
  state.counters["ratio"] = readSeconds / baselineSeconds;
  state.counters["baseline_cpu_s"] = baselineCpu / iterations;
  state.counters["read_cpu_s"] = subjectCpu / iterations;
  state.counters["cpu_ratio"] = baselineCpu > 0 ? subjectCpu / baselineCpu : 0.0;
  state.counters["read_bytes_per_s"] = fileBytes / readSeconds;
  state.counters["baseline_bytes_per_s"] = fileBytes / baselineSeconds;
  state.counters["peak_rss_bytes"] = static_cast<double>(peakRss);
  state.counters["rss_before_bytes"] = static_cast<double>(rssBefore);
  // 0: the peak is the process's lifetime peak (no reset where the system lacks one).
  state.counters["peak_rss_of_read"] = peakReset ? 1 : 0;
  state.counters["write_s"] = recording.writeSeconds;
  state.counters["samples"] = static_cast<double>(totals.samples);
  // By channel kind: stored bytes per second of the synchronous and asynchronous
  // samples, and the time of the reduced values of every level.
  state.counters["sync_bytes_per_s"] = static_cast<double>(totals.syncBytes) / (Seconds(syncTime) / iterations);
  state.counters["async_bytes_per_s"] = static_cast<double>(totals.asyncBytes) / (Seconds(asyncTime) / iterations);
  state.counters["sync_s"] = Seconds(syncTime) / iterations;
  state.counters["async_s"] = Seconds(asyncTime) / iterations;
  state.counters["reduced_s"] = Seconds(reducedTime) / iterations;
  // The open and the sample counts of every channel, before the first sample.
  state.counters["open_s"] = readSeconds - Seconds(syncTime + asyncTime + reducedTime) / iterations;
  state.counters["reduced_values"] = static_cast<double>(totals.reducedValues);
  state.counters["load_avg_before"] = loadBefore;
  state.counters["load_avg_after"] = LoadAverage();
  state.counters["cold"] = Cold() ? 1 : 0;
}

const bool kRegistered = [] {
  struct Variant {
    const char* name;
    Order order;
    Form form;
  };
  for (const auto& [name, order, form] : {Variant{"BM_ScaleRead", Order::kWindowByWindow, Form::kScaled},
                                          Variant{"BM_ScaleReadStored", Order::kWindowByWindow, Form::kStored},
                                          Variant{"BM_ScaleReadChannelByChannel", Order::kChannelByChannel,
                                                  Form::kScaled}}) {
    for (const int64_t bytes : SizesFromEnvironment()) {
      benchmark::RegisterBenchmark(
          (std::string(name) + "/" + std::to_string(bytes)).c_str(),
          [bytes, order, form](benchmark::State& state) { BM_ScaleRead(state, bytes, order, form); })
          ->Unit(benchmark::kSecond)
          ->UseRealTime();
    }
  }
  return true;
}();

}  // namespace

// Reading an event stream of many events and deriving its regions, and opening a
// recording with that many events through the C interface, against reading the
// same bytes in large chunks (the cost of getting the bytes at all). Per-event
// times at 100,000 and 1,000,000 events show whether the work is linear.
//
// Besides wall time, each run reports the CPU time, the minor page faults and
// the load average, since the machines these run on are shared: the ratios of
// one run are what compare. A read of many events puts them in memory the
// process may have to get from the system first; on a virtual machine each new
// page can cost tens of microseconds, more than the reading itself. So the
// steady-state runs keep freed memory in the process between iterations (what a
// host that opens recording after recording gets), and the FreshMemory run hands
// it back after every iteration, so that each read pays for new pages.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "KVDataReaderLib.h"
#include "bench/BenchRatio.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Events {
namespace {

// Start, keyboard mark and stop, over and over: a third of the events are regions.
// Each start's stored-record offsets are 0 (its data first in the stored streams),
// so a recording with a few stored blocks holds every region and the open's
// region repair keeps them all.
std::vector<uint8_t> ManyEvents(int64_t count) {
  TestKit::EventStreamWriter writer(2, false);
  for (int64_t i = 0; i + 3 <= count; i += 3) {
    const int32_t block = static_cast<int32_t>(i);
    writer.AddStart(block, 0, {0, 0, 0, 0, 0, 0});
    TestKit::EventRecord mark;
    mark.type = 20;
    mark.block = block + 1;
    mark.recordVersion = 2;
    mark.text = "mark";
    writer.Add(mark);
    writer.AddStop(block + 2, 0);
  }
  return writer.Finish();
}

// Freed memory stays in the process (glibc gives large freed areas back to the
// system unless told otherwise; other allocators keep them).
void KeepFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

void HandBackFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

struct Meter {
  std::chrono::steady_clock::time_point wall;
  std::clock_t cpu;
  long minorFaults;

  static Meter Now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return {std::chrono::steady_clock::now(), std::clock(), usage.ru_minflt};
  }
};

struct Totals {
  double wallNs = 0;
  double cpuNs = 0;
  double faults = 0;

  void Add(const Meter& from, const Meter& to) {
    wallNs += std::chrono::duration<double, std::nano>(to.wall - from.wall).count();
    cpuNs += 1e9 * static_cast<double>(to.cpu - from.cpu) / CLOCKS_PER_SEC;
    faults += static_cast<double>(to.minorFaults - from.minorFaults);
  }
};

// Times `baseline` and `subject` in turn, each iteration, and `between` untimed
// after both. Reports per iteration the wall and CPU times of both, per event
// the subject's wall time, CPU time and page faults, their ratios to the
// baseline, and the load average at the end.
template <class Baseline, class Subject, class Between>
void MeasurePerEvent(benchmark::State& state, int64_t events, Baseline&& baseline, Subject&& subject,
                     Between&& between) {
  Totals base, work;
  for (auto _ : state) {
    const Meter start = Meter::Now();
    baseline();
    const Meter middle = Meter::Now();
    subject();
    const Meter end = Meter::Now();
    base.Add(start, middle);
    work.Add(middle, end);
    between();
  }
  const auto iterations = static_cast<double>(state.iterations());
  const auto perEvent = iterations * static_cast<double>(events);
  state.counters["baseline_ns"] = base.wallNs / iterations;
  state.counters["subject_ns"] = work.wallNs / iterations;
  state.counters["ratio"] = base.wallNs > 0 ? work.wallNs / base.wallNs : 0.0;
  state.counters["ns_per_event"] = work.wallNs / perEvent;
  state.counters["cpu_ns_per_event"] = work.cpuNs / perEvent;
  state.counters["cpu_ratio"] = base.cpuNs > 0 ? work.cpuNs / base.cpuNs : 0.0;
  state.counters["faults_per_1000_events"] = 1000 * work.faults / perEvent;
  double load[1] = {0};
  state.counters["load_average"] = getloadavg(load, 1) == 1 ? load[0] : -1.0;
}

void ReadEventsAndRegions(benchmark::State& state, bool freshMemory) {
  const int64_t count = state.range(0);
  TestKit::TempDir directory;
  const std::string path = directory.File("events.kvd");
  TestKit::WriteMultiStreamFile(path, {}, {{.code = "EVENTS__", .data = ManyEvents(count), .payloadSize = 65536}});
  MultiStream::CMultiStream container;
  container.OpenFile(path.c_str());
  MultiStream::CBaseStream* stream = container.StreamByCode("EVENTS__");
  std::vector<uint8_t> chunk(1 << 16);
  std::vector<KVStartStopEvent> regions;
  if (!freshMemory) KeepFreedMemory();

  auto readBytes = [&] {
    stream->Seek(0, MultiStream::kSeekBegin);
    const int64_t size = stream->Size();
    for (int64_t done = 0; done < size; done += static_cast<int64_t>(chunk.size())) {
      stream->Read(chunk.data(), static_cast<int32_t>(chunk.size()));
    }
    benchmark::DoNotOptimize(chunk.data());
  };
  auto readEvents = [&] {
    CKVEventHelper helper;
    helper.SetBlockSize(100);
    helper.SetSampleRate(1000);
    helper.SetIBRates({100, 20, 20, 20, 20, 20});
    stream->Seek(0, MultiStream::kSeekBegin);
    helper.ReadFromStream(stream);
    regions.resize(static_cast<size_t>(helper.GetStartStopEventListCnt()));
    helper.GetStartStopEventList(regions.data());
    benchmark::DoNotOptimize(regions.data());
  };
  // Once untimed: the timed reads then find the memory in the process (for fresh
  // memory only the regions buffer, which is the caller's).
  auto between = [&] {
    if (freshMemory) HandBackFreedMemory();
  };
  readEvents();
  between();
  MeasurePerEvent(state, count, readBytes, readEvents, between);
}

void BM_ReadEventsAndRegions(benchmark::State& state) { ReadEventsAndRegions(state, false); }
BENCHMARK(BM_ReadEventsAndRegions)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ReadEventsAndRegionsFreshMemory(benchmark::State& state) { ReadEventsAndRegions(state, true); }
BENCHMARK(BM_ReadEventsAndRegionsFreshMemory)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The whole open through the C interface (setup, events, region repair, the
// engine's copy of the regions) of a recording of ten channels and `count`
// events, against reading the file's bytes in large chunks.
void BM_OpenRecordingWithEvents(benchmark::State& state) {
  const int64_t count = state.range(0);
  TestKit::TempDir directory;
  const std::string path = directory.File("open.kvd");
  const std::string setup = TestKit::GenerateMixedSetup(10);
  TestKit::WriteMultiStreamFile(path, {},
                                {{.code = "SETUP___", .data = {setup.begin(), setup.end()}, .payloadSize = 65536},
                                 {.code = "EVENTS__", .data = ManyEvents(count), .payloadSize = 65536},
                                 {.code = "IBDATA0", .data = std::vector<uint8_t>(4096, 1)}});
  KVReaderHandle reader = nullptr;
  KVICreateReader(&reader);
  std::vector<char> chunk(1 << 16);
  KVStatus status = KVOk;
  int listed = 0;
  KeepFreedMemory();
  auto readBytes = [&] {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    while (file != nullptr && std::fread(chunk.data(), 1, chunk.size(), file) == chunk.size()) {
    }
    if (file != nullptr) std::fclose(file);
  };
  auto open = [&] {
    KVFileInfo info;
    status = KVIOpenDataFile(reader, path.c_str(), &info);
    KVIGetEventListCount(reader, &listed);
    KVICloseDataFile(reader);
  };
  open();  // once untimed, as for the steady reads above
  MeasurePerEvent(state, count, readBytes, open, [] {});
  KVIDestroyReader(reader);
  if (status != KVOk || listed != count / 3 * 3) state.SkipWithError("the recording did not open with every event");
}
BENCHMARK(BM_OpenRecordingWithEvents)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Every position of the event list asked for one by one (as a host calling
// KVGetEventTypeF for each does) against the whole list filled at once: the item
// reads index the list once, so the ratio stays near 1 at any size.
void BM_EveryEventItemAgainstTheList(benchmark::State& state) {
  const int64_t count = state.range(0);
  TestKit::TempDir directory;
  const std::string path = directory.File("events.kvd");
  TestKit::WriteMultiStreamFile(path, {}, {{.code = "EVENTS__", .data = ManyEvents(count), .payloadSize = 65536}});
  MultiStream::CMultiStream container;
  container.OpenFile(path.c_str());
  CKVEventHelper helper;
  helper.SetBlockSize(100);
  helper.SetSampleRate(1000);
  helper.ReadFromStream(container.StreamByCode("EVENTS__"));
  const int listed = helper.GetEventListCnt();
  std::vector<KVEvent> list(static_cast<size_t>(listed));
  KVEvent item{};
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        helper.GetEventList(list.data());
        benchmark::DoNotOptimize(list.data());
      },
      [&] {
        for (int position = 0; position < listed; ++position) {
          helper.GetEventListItem(position, &item);
          benchmark::DoNotOptimize(item);
        }
      });
  state.counters["ns_per_item"] = state.counters["subject_ns"] / static_cast<double>(listed);
}
BENCHMARK(BM_EveryEventItemAgainstTheList)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace Korvane::DataReader::Events

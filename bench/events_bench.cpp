// Reading an event stream of many events and deriving its regions, against reading
// the same stream's bytes in large chunks (the cost of getting the bytes at all).
// Per-event times at 100,000 and 1,000,000 events show whether the work is linear.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/BenchRatio.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Events {
namespace {

// Start, keyboard mark and stop, over and over: a third of the events are regions.
std::vector<uint8_t> ManyEvents(int64_t count) {
  TestKit::EventStreamWriter writer(2, false);
  for (int64_t i = 0; i + 3 <= count; i += 3) {
    const int32_t block = static_cast<int32_t>(i);
    writer.AddStart(block, 0, {block, block, block, block, block, block});
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

void BM_ReadEventsAndRegions(benchmark::State& state) {
  const int64_t count = state.range(0);
  TestKit::TempDir directory;
  const std::string path = directory.File("events.kvd");
  TestKit::WriteMultiStreamFile(path, {}, {{.code = "EVENTS__", .data = ManyEvents(count), .payloadSize = 65536}});
  MultiStream::CMultiStream container;
  container.OpenFile(path.c_str());
  MultiStream::CBaseStream* stream = container.StreamByCode("EVENTS__");
  std::vector<uint8_t> chunk(1 << 16);
  std::vector<KVStartStopEvent> regions;

  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        stream->Seek(0, MultiStream::kSeekBegin);
        const int64_t size = stream->Size();
        for (int64_t done = 0; done < size; done += static_cast<int64_t>(chunk.size())) {
          stream->Read(chunk.data(), static_cast<int32_t>(chunk.size()));
        }
        benchmark::DoNotOptimize(chunk.data());
      },
      [&] {
        CKVEventHelper helper;
        helper.SetBlockSize(100);
        helper.SetSampleRate(1000);
        helper.SetIBRates({100, 20, 20, 20, 20, 20});
        stream->Seek(0, MultiStream::kSeekBegin);
        helper.ReadFromStream(stream);
        regions.resize(static_cast<size_t>(helper.GetStartStopEventListCnt()));
        helper.GetStartStopEventList(regions.data());
        benchmark::DoNotOptimize(regions.data());
      });
  state.counters["ns_per_event"] = state.counters["subject_ns"] / static_cast<double>(count);
}
BENCHMARK(BM_ReadEventsAndRegions)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

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

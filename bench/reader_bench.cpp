// Opening whole recordings through the C interface, with 1,000 and 10,000 channels
// and with 10,000 and 100,000 events, against reading the same file's bytes from
// disk in the same run. Opening is linear when the per-channel and per-event
// times stay flat from the small to the large case.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "bench/BenchRatio.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

namespace {

using namespace Korvane::DataReader;

// A recording of `channels` mixed channels and `events` events, half of them
// start/stop pairs, over enough stored data that no region needs repair.
std::string WriteRecording(const TestKit::TempDir& directory, size_t channels, int64_t events) {
  const std::string setup = TestKit::GenerateMixedSetup(channels);
  TestKit::EventStreamWriter writer(2, false);
  for (int64_t i = 0; i + 2 <= events; i += 2) {
    writer.AddStart(static_cast<int32_t>(i), 0, {0, 0, 0, 0, 0, 0}).AddStop(static_cast<int32_t>(i + 1), 0);
  }
  const std::string path = directory.File("c" + std::to_string(channels) + "e" + std::to_string(events) + ".kvd");
  TestKit::WriteMultiStreamFile(path, {},
                                {{.code = "SETUP___", .data = {setup.begin(), setup.end()}, .payloadSize = 65536},
                                 {.code = "EVENTS__", .data = writer.Finish(), .payloadSize = 65536},
                                 {.code = "IBDATA0", .data = std::vector<uint8_t>(4096, 1)}});
  return path;
}

void ReadWholeFile(const std::string& path, std::vector<char>& buffer) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  while (file != nullptr && std::fread(buffer.data(), 1, buffer.size(), file) == buffer.size()) {
  }
  if (file != nullptr) std::fclose(file);
}

void BM_OpenRecording(benchmark::State& state) {
  const auto channels = static_cast<size_t>(state.range(0));
  const int64_t events = state.range(1);
  TestKit::TempDir directory;
  const std::string path = WriteRecording(directory, channels, events);
  KVReaderHandle reader = nullptr;
  KVICreateReader(&reader);
  std::vector<char> buffer(1 << 16);
  KVStatus status = KVOk;
  Bench::MeasureAgainstBaseline(
      state, [&] { ReadWholeFile(path, buffer); },
      [&] {
        KVFileInfo info;
        status = KVIOpenDataFile(reader, path.c_str(), &info);
        KVICloseDataFile(reader);
      });
  KVIDestroyReader(reader);
  if (status != KVOk) state.SkipWithError("the recording did not open");
  state.counters["us_per_channel"] = state.counters["subject_ns"] / 1000.0 / static_cast<double>(channels);
  state.counters["ns_per_event"] = state.counters["subject_ns"] / static_cast<double>(events);
}
BENCHMARK(BM_OpenRecording)
    ->Args({1000, 10000})
    ->Args({10000, 10000})
    ->Args({1000, 100000})
    ->Unit(benchmark::kMillisecond);

}  // namespace

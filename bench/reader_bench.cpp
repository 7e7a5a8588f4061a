// Opening whole recordings of 1,000, 10,000 and 36,424 channels through the C
// interface, with the time of each step of the open (container, setup read, XML
// parse, setup interpretation, events, engine, channel lists) taken by the same
// classes in the same order the reader uses, and reading the file's bytes from
// disk as the baseline of the same run. Opening is linear when the per-channel
// times stay flat from the small to the large case.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "bench/BenchPhases.h"
#include "bench/BenchRatio.h"
#include "engine/CDataLoadEngine.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "reader/ChannelLists.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"
#include "xml/XML.h"

namespace {

using namespace Korvane::DataReader;

using Bench::PhaseTime;

// The recordings of the channel series carry few events, so that their fixed
// cost does not hide how the open grows with the channels.
constexpr int64_t kSeriesEvents = 1000;
// Files written before this version store event texts as 8-bit characters.
constexpr int32_t kFirstWideEventTextVersion = 7100;

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

// The steps of one open, in the order the reader takes them.
enum Step { kContainer, kSetupRead, kXmlParse, kInterpret, kEvents, kEngine, kChannelLists, kStepCount };
constexpr std::array<const char*, kStepCount> kStepNames = {
    "container", "setup_read", "xml_parse", "interpret", "events", "engine_initiate", "channel_lists"};

struct OpenTimes {
  std::array<PhaseTime, kStepCount> steps;
  PhaseTime whole;  // KVIOpenDataFile
  PhaseTime close;  // KVICloseDataFile
};

std::string ReadStream(MultiStream::CBaseStream& stream) {
  std::string text(static_cast<size_t>(stream.Size()), '\0');
  stream.Seek(0, MultiStream::kSeekBegin);
  if (stream.ReadBytes(text.data(), static_cast<int32_t>(text.size())) != static_cast<int32_t>(text.size())) {
    text.clear();
  }
  return text;
}

// One open taken apart: the reader's open sequence on the same classes, each step
// timed. False when a step failed.
bool OpenInSteps(const std::string& path, OpenTimes& times) {
  using Bench::Instant;
  std::array<Instant, kStepCount + 1> at;
  at[0] = Instant::Now();
  MultiStream::CMultiStream container;
  container.OpenFile(path.c_str());
  at[1] = Instant::Now();
  MultiStream::CBaseStream* setupStream = container.StreamByCode("SETUP___");
  if (setupStream == nullptr) return false;
  const std::string text = ReadStream(*setupStream);
  at[2] = Instant::Now();
  auto document = std::make_unique<XML>();
  document->LoadText(std::string_view(text));
  if (document->ParseStatus() == XML_PARSE_ERROR || !document->IntegrityTest()) return false;
  at[3] = Instant::Now();
  CKVXMLHelper setup;
  const int32_t version = container.GetFileVersionInt();
  setup.InterpretDocument(std::move(document), version);
  at[4] = Instant::Now();
  Events::CKVEventHelper events;
  events.SetOldFormat(version < kFirstWideEventTextVersion);
  if (MultiStream::CBaseStream* eventStream = container.StreamByCode("EVENTS__")) events.ReadFromStream(eventStream);
  events.SetBlockSize(setup.GetBlockSize());
  events.SetSampleRate(setup.GetSampleRate());
  std::array<int32_t, Events::kReducedLevelCount> rates{};
  for (int level = 0; level < Events::kReducedLevelCount; ++level) {
    rates[static_cast<size_t>(level)] = static_cast<int32_t>(setup.GetIBRates()[static_cast<size_t>(level)]);
  }
  events.SetIBRates(rates);
  events.Initiate();
  at[5] = Instant::Now();
  CDataLoadEngine engine(&setup, &events);
  engine.SetContainer(&container);
  engine.Initiate();
  events.SetStartStoreOffset(engine.GetOffsetStartStoreTimeUTC());
  at[6] = Instant::Now();
  ChannelListIndex lists;
  lists.Build(setup);
  at[7] = Instant::Now();
  benchmark::DoNotOptimize(lists.Count());
  for (size_t step = 0; step < kStepCount; ++step) times.steps[step].Add(at[step], at[step + 1]);
  // The engine lets go of the container's streams before the container closes.
  engine.Clear();
  return true;
}

// The whole open and close through the C interface. False when the open failed.
bool OpenThroughInterface(KVReaderHandle reader, const std::string& path, OpenTimes& times) {
  using Bench::Instant;
  KVFileInfo info;
  const Instant start = Instant::Now();
  const KVStatus status = KVIOpenDataFile(reader, path.c_str(), &info);
  const Instant opened = Instant::Now();
  KVICloseDataFile(reader);
  const Instant closed = Instant::Now();
  times.whole.Add(start, opened);
  times.close.Add(opened, closed);
  return status == KVOk;
}

// Per-channel figures in microseconds: the whole open on the wall clock (mean and
// fastest round) and in CPU time, the close, and each step in CPU time. The ratios
// are of CPU times, the steadier measure on a shared machine.
void ReportOpen(benchmark::State& state, const OpenTimes& times, size_t channels) {
  const double perChannel = 1000.0 * static_cast<double>(channels);  // ns to microseconds per channel
  state.counters["open_us_per_channel"] = times.whole.MeanNs() / perChannel;
  state.counters["open_best_us_per_channel"] = times.whole.BestNs() / perChannel;
  state.counters["open_cpu_us_per_channel"] = times.whole.CpuMeanNs() / perChannel;
  state.counters["open_best_cpu_us_per_channel"] = times.whole.cpuBestNs / perChannel;
  state.counters["close_cpu_us_per_channel"] = times.close.CpuMeanNs() / perChannel;
  double stepsNs = 0;
  double largestOther = 0;
  const double parse = times.steps[kXmlParse].CpuMeanNs();
  for (size_t step = 0; step < kStepCount; ++step) {
    const double ns = times.steps[step].CpuMeanNs();
    state.counters[std::string(kStepNames[step]) + "_cpu_us_per_channel"] = ns / perChannel;
    stepsNs += ns;
    if (step != kXmlParse) largestOther = std::max(largestOther, ns);
  }
  // The sum of the steps taken apart against the whole open: near 1 when the
  // breakdown accounts for the open.
  state.counters["steps_to_open_cpu"] = times.whole.CpuMeanNs() > 0 ? stepsNs / times.whole.CpuMeanNs() : 0.0;
  state.counters["interpret_to_parse_cpu"] = parse > 0 ? times.steps[kInterpret].CpuMeanNs() / parse : 0.0;
  state.counters["largest_other_step_to_parse_cpu"] = parse > 0 ? largestOther / parse : 0.0;
}

// One recording: the whole open through the interface and the same open in steps,
// against reading the file's bytes.
void BM_OpenRecording(benchmark::State& state) {
  const auto channels = static_cast<size_t>(state.range(0));
  const int64_t events = state.range(1);
  TestKit::TempDir directory;
  const std::string path = WriteRecording(directory, channels, events);
  KVReaderHandle reader = nullptr;
  KVICreateReader(&reader);
  std::vector<char> buffer(1 << 16);
  OpenTimes times;
  bool ok = true;
  Bench::MeasureAgainstBaseline(
      state, [&] { ReadWholeFile(path, buffer); },
      [&] {
        ok = OpenThroughInterface(reader, path, times) && ok;
        ok = OpenInSteps(path, times) && ok;
      });
  KVIDestroyReader(reader);
  if (!ok) state.SkipWithError("the recording did not open");
  ReportOpen(state, times, channels);
  // The open against reading the file's bytes, both on the wall clock.
  state.counters["ratio"] = times.whole.MeanNs() / state.counters["baseline_ns"];
  state.counters["ns_per_event"] = times.whole.CpuMeanNs() / static_cast<double>(events);
  state.counters["channels"] = static_cast<double>(channels);
}
BENCHMARK(BM_OpenRecording)
    ->ArgNames({"channels", "events"})
    ->Args({1000, kSeriesEvents})
    ->Args({10000, kSeriesEvents})
    ->Args({36424, kSeriesEvents})
    ->Args({1000, 10000})
    ->Args({1000, 100000})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(4.0);

// The channel series in one loop: the per-channel open time of 10,000 and 36,424
// channels against 1,000 channels (1 is linear), in CPU time and from the fastest
// round of each on the wall clock.
void BM_OpenScaling(benchmark::State& state) {
  constexpr std::array<size_t, 3> kChannels = {1000, 10000, 36424};
  TestKit::TempDir directory;
  std::array<std::string, kChannels.size()> paths;
  for (size_t i = 0; i < kChannels.size(); ++i) paths[i] = WriteRecording(directory, kChannels[i], kSeriesEvents);
  KVReaderHandle reader = nullptr;
  KVICreateReader(&reader);
  std::array<OpenTimes, kChannels.size()> times;
  bool ok = true;
  for (auto _ : state) {
    for (size_t i = 0; i < kChannels.size(); ++i) ok = OpenThroughInterface(reader, paths[i], times[i]) && ok;
  }
  KVIDestroyReader(reader);
  if (!ok) state.SkipWithError("a recording did not open");
  auto perChannelCpu = [&](size_t i) { return times[i].whole.CpuMeanNs() / static_cast<double>(kChannels[i]); };
  auto perChannelBest = [&](size_t i) { return times[i].whole.BestNs() / static_cast<double>(kChannels[i]); };
  state.counters["per_channel_cpu_10000_to_1000"] = perChannelCpu(1) / perChannelCpu(0);
  state.counters["per_channel_cpu_36424_to_1000"] = perChannelCpu(2) / perChannelCpu(0);
  state.counters["per_channel_best_10000_to_1000"] = perChannelBest(1) / perChannelBest(0);
  state.counters["per_channel_best_36424_to_1000"] = perChannelBest(2) / perChannelBest(0);
  auto perChannelBestCpu = [&](size_t i) { return times[i].whole.cpuBestNs / static_cast<double>(kChannels[i]); };
  state.counters["per_channel_best_cpu_10000_to_1000"] = perChannelBestCpu(1) / perChannelBestCpu(0);
  state.counters["per_channel_best_cpu_36424_to_1000"] = perChannelBestCpu(2) / perChannelBestCpu(0);
  for (size_t i = 0; i < kChannels.size(); ++i) {
    const std::string suffix = "_us_per_channel_" + std::to_string(kChannels[i]);
    state.counters["open_cpu" + suffix] = perChannelCpu(i) / 1000.0;
    state.counters["open_best" + suffix] = perChannelBest(i) / 1000.0;
    state.counters["open_best_cpu" + suffix] = times[i].whole.cpuBestNs / static_cast<double>(kChannels[i]) / 1000.0;
  }
}
BENCHMARK(BM_OpenScaling)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The setup's interpretation of 10,000 channels against that of 1,000, per channel,
// timed in the same rounds (each opens both recordings step by step), so that both
// see the same load.
void BM_InterpretScaling(benchmark::State& state) {
  constexpr std::array<size_t, 2> kChannels = {1000, 10000};
  TestKit::TempDir directory;
  std::array<std::string, kChannels.size()> paths;
  for (size_t i = 0; i < kChannels.size(); ++i) paths[i] = WriteRecording(directory, kChannels[i], kSeriesEvents);
  std::array<OpenTimes, kChannels.size()> times;
  bool ok = true;
  for (auto _ : state) {
    for (size_t i = 0; i < kChannels.size(); ++i) ok = OpenInSteps(paths[i], times[i]) && ok;
  }
  if (!ok) state.SkipWithError("a recording did not open");
  auto perChannel = [&](size_t i, double ns) { return ns / static_cast<double>(kChannels[i]); };
  const PhaseTime& small = times[0].steps[kInterpret];
  const PhaseTime& large = times[1].steps[kInterpret];
  state.counters["interpret_cpu_10000_to_1000"] = perChannel(1, large.CpuMeanNs()) / perChannel(0, small.CpuMeanNs());
  state.counters["interpret_best_cpu_10000_to_1000"] = perChannel(1, large.cpuBestNs) / perChannel(0, small.cpuBestNs);
  state.counters["interpret_cpu_us_per_channel_1000"] = perChannel(0, small.CpuMeanNs()) / 1000.0;
  state.counters["interpret_cpu_us_per_channel_10000"] = perChannel(1, large.CpuMeanNs()) / 1000.0;
}
BENCHMARK(BM_InterpretScaling)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

// The timestamp index over a channel of 10,000,000 samples (4-byte values, leaves
// of 512 or 4096 samples, written by the test kit and held in memory streams):
// - random time searches against a binary search over the same time stamps in
//   memory, with the nodes each search reads;
// - copying all samples between the first and the past-the-end iterator against
//   one plain read of the same value and time-stamp bytes, and against two plain
//   reads per leaf into the same two buffers (the copy without the index);
// - walking the channel in windows of 10,000 samples (move, then copy) against the
//   one plain read, with the leaves still alive after the walk.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "asyncindex/AsyncManager.h"
#include "asyncindex/MemoryStream.h"
#include "bench/BenchRatio.h"
#include "testkit/AsyncIndexWriter.h"

namespace {

using Manager = AsyncIndexManager;
using IterPtr = Manager::IterPtr;
using Korvane::DataReader::Bench::MeasureAgainstBaseline;

constexpr uint64_t kSamples = 10'000'000;
constexpr uint32_t kValueSize = 4;
constexpr uint32_t kChannel = 1;
constexpr int kSearchesPerIteration = 1000;
constexpr uint64_t kWindow = 10'000;

struct LongChannel {
  uint32_t leafCapacity;
  std::vector<double> timestamps;
  uint32_t treeHeight = 0;
  kit::local_shared_ptr<MemoryStream> values;
  kit::local_shared_ptr<MemoryStream> nodes;
  Manager manager;

  explicit LongChannel(uint32_t capacity) : leafCapacity(capacity) {
    // Irregular but increasing times: 1 ms apart with up to 0.9 ms of jitter.
    Korvane::DataReader::TestKit::AsyncIndexChannelContents contents;
    contents.channelIndex = kChannel;
    contents.valueSize = kValueSize;
    contents.leafCapacity = capacity;
    contents.timestamps.resize(kSamples);
    uint64_t state = 12345;
    for (uint64_t k = 0; k < kSamples; ++k) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      contents.timestamps[k] = static_cast<double>(k) * 1e-3 + static_cast<double>(state >> 54) * 1e-6 * 0.9;
    }
    Korvane::DataReader::TestKit::AsyncIndexWriter writer(true);
    treeHeight = writer.AddChannel(contents).treeHeight;
    timestamps = std::move(contents.timestamps);
    auto streams = writer.Streams();
    values = kit::make_local_shared<MemoryStream>(std::move(streams.valueStream));
    nodes = kit::make_local_shared<MemoryStream>(std::move(streams.nodeStream));
    manager.setValueAndTimestampStream(values);
    manager.setNodeStream(nodes);
    manager.setRootNodeStream(kit::make_local_shared<MemoryStream>(std::move(streams.rootNodeStream)));
    manager.addChannel(kChannel, kValueSize);
    manager.initializeLoading();
  }
};

// One channel per leaf capacity, written on first use.
LongChannel& Channel(const benchmark::State& state) {
  static std::map<int64_t, std::unique_ptr<LongChannel>> channels;
  auto& channel = channels[state.range(0)];
  if (!channel) channel = std::make_unique<LongChannel>(static_cast<uint32_t>(state.range(0)));
  return *channel;
}

std::vector<double> RandomTimes(const std::vector<double>& stamps, int count) {
  std::vector<double> times(count);
  uint64_t state = 99;
  for (double& t : times) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    t = stamps.back() * static_cast<double>(state >> 11) / static_cast<double>(1ull << 53);
  }
  return times;
}

// A read of every value and time-stamp byte into one buffer, in one read.
void PlainRead(MemoryStream& values, std::vector<uint8_t>& into) {
  values.seek(SeekOrigin::Begin, 0);
  values.read(into.data(), into.size());
  benchmark::DoNotOptimize(into.data());
}

void BM_RandomTimeSearch(benchmark::State& state) {
  LongChannel& c = Channel(state);
  const std::vector<double> times = RandomTimes(c.timestamps, kSearchesPerIteration);
  const uint64_t nodeReadsBefore = c.nodes->readCount();
  const uint64_t valueReadsBefore = c.values->readCount();
  uint64_t searches = 0;
  uint64_t mismatches = 0;
  MeasureAgainstBaseline(
      state,
      [&] {
        for (double t : times) {
          auto found = std::lower_bound(c.timestamps.begin(), c.timestamps.end(), t);
          benchmark::DoNotOptimize(found);
        }
      },
      [&] {
        for (double t : times) {
          IterPtr it = c.manager.searchTimestamp(kChannel, t, DuplFoundStrategy::First, NotFoundStrategy::Next);
          it->resolve();
          benchmark::DoNotOptimize(it->getCurrentTimestamp());
          mismatches += it->getCurrentTimestamp() < t;
        }
        searches += times.size();
      });
  state.counters["node_reads_per_search"] =
      static_cast<double>(c.nodes->readCount() - nodeReadsBefore) / static_cast<double>(searches);
  state.counters["value_reads_per_search"] =
      static_cast<double>(c.values->readCount() - valueReadsBefore) / static_cast<double>(searches);
  state.counters["tree_height"] = c.treeHeight;
  state.counters["wrong_results"] = static_cast<double>(mismatches);
}
BENCHMARK(BM_RandomTimeSearch)->Arg(512)->Arg(4096)->Unit(benchmark::kMicrosecond);

void BM_CopyAllSamples(benchmark::State& state) {
  LongChannel& c = Channel(state);
  std::vector<uint8_t> plain(c.values->getSize(), 1);
  std::vector<uint8_t> values(kSamples * kValueSize, 1);
  std::vector<double> stamps(kSamples, 1.0);
  IterPtr first = c.manager.getFirstPos(kChannel);
  IterPtr last = c.manager.getLastPos(kChannel);
  uint64_t copied = 0;
  MeasureAgainstBaseline(
      state, [&] { PlainRead(*c.values, plain); },
      [&] {
        copied = kSamples;
        c.manager.getSamples(kChannel, first, last, values.data(), stamps.data(), copied);
        benchmark::DoNotOptimize(stamps.data());
      });
  state.counters["samples"] = static_cast<double>(copied);
  state.counters["bytes"] = static_cast<double>(plain.size());
}
BENCHMARK(BM_CopyAllSamples)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(8);

// The same copy against what it cannot avoid: per leaf one read of its values and
// one of its time stamps into the two buffers, the leaves' places known in advance.
void BM_CopyAllSamplesAgainstLeafReads(benchmark::State& state) {
  LongChannel& c = Channel(state);
  std::vector<uint8_t> values(kSamples * kValueSize, 1);
  std::vector<double> stamps(kSamples, 1.0);
  IterPtr first = c.manager.getFirstPos(kChannel);
  IterPtr last = c.manager.getLastPos(kChannel);
  MeasureAgainstBaseline(
      state,
      [&] {
        uint64_t position = 0;
        for (uint64_t k = 0; k < kSamples; k += c.leafCapacity) {
          const uint64_t n = std::min<uint64_t>(c.leafCapacity, kSamples - k);
          c.values->seek(SeekOrigin::Begin, static_cast<int64_t>(position));
          c.values->read(values.data() + k * kValueSize, n * kValueSize);
          c.values->read(stamps.data() + k, n * sizeof(double));
          position += n * (kValueSize + sizeof(double));
        }
        benchmark::DoNotOptimize(stamps.data());
      },
      [&] {
        uint64_t copied = kSamples;
        c.manager.getSamples(kChannel, first, last, values.data(), stamps.data(), copied);
        benchmark::DoNotOptimize(stamps.data());
      });
}
BENCHMARK(BM_CopyAllSamplesAgainstLeafReads)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(8);

// Walks the channel in windows; reports how many of the leaves it passed are still
// alive afterwards (the memory a walk keeps).
void BM_WalkInWindows(benchmark::State& state) {
  LongChannel& c = Channel(state);
  std::vector<uint8_t> plain(c.values->getSize(), 1);
  std::vector<uint8_t> values(kWindow * kValueSize, 1);
  std::vector<double> stamps(kWindow, 1.0);
  std::vector<kit::local_weak_ptr<Manager::ChannelType::Leaf>> passed;
  auto walk = [&](bool remember) {
    uint64_t total = 0;
    IterPtr it = c.manager.getFirstPos(kChannel);
    while (total < kSamples) {
      IterPtr next = c.manager.moveIterator(kChannel, it, kWindow, MoveFailStrategy::StopAtEnd);
      uint64_t count = kWindow;
      c.manager.getSamples(kChannel, it, next, values.data(), stamps.data(), count);
      total += count;
      if (remember) passed.emplace_back(it->getLeaf());
      it = std::move(next);
    }
    return total;
  };
  const uint64_t nodeReadsBefore = c.nodes->readCount();
  const uint64_t walked = walk(true);
  const uint64_t nodeReads = c.nodes->readCount() - nodeReadsBefore;
  size_t alive = 0;
  for (const auto& leaf : passed) alive += !leaf.expired();
  MeasureAgainstBaseline(state, [&] { PlainRead(*c.values, plain); }, [&] { benchmark::DoNotOptimize(walk(false)); });
  state.counters["samples"] = static_cast<double>(walked);
  state.counters["leaves"] = static_cast<double>((kSamples + c.leafCapacity - 1) / c.leafCapacity);
  state.counters["node_reads_per_walk"] = static_cast<double>(nodeReads);
  state.counters["leaves_alive_after_walk"] = static_cast<double>(alive);
}
BENCHMARK(BM_WalkInWindows)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

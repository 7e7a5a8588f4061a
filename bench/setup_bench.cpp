// Interpreting setup documents of 1,000 and 10,000 mixed channels. Reports, in
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

#include "multistream/CStream.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/SetupBuilder.h"
#include "xml/XML.h"

namespace Korvane::DataReader::Bench {
namespace {

using Clock = std::chrono::steady_clock;

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

double Nanoseconds(Clock::duration duration) { return std::chrono::duration<double, std::nano>(duration).count(); }

// Times of one setup text: its XML parse, its interpretation of the parsed
// document, and the whole open from the stream.
struct SetupTimes {
  Clock::duration parse{};
  Clock::duration interpret{};
  Clock::duration open{};
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
  const auto start = Clock::now();
  auto document = std::make_unique<XML>();
  document->LoadText(std::string_view(text));
  const auto parsed = Clock::now();
  helper.InterpretDocument(std::move(document), kFileVersion);
  const auto interpreted = Clock::now();
  helper.CloseFile();
  MemoryStream stream(text);
  const auto openStart = Clock::now();
  helper.OpenAndParseFile(&stream, nullptr, kFileVersion);
  const auto opened = Clock::now();
  benchmark::DoNotOptimize(helper.GetChannelCount());
  times.parse += parsed - start;
  times.interpret += interpreted - parsed;
  times.open += opened - openStart;
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
  state.counters["parse_ns_per_channel"] = Nanoseconds(times.parse) / perChannel;
  state.counters["interpret_ns_per_channel"] = Nanoseconds(times.interpret) / perChannel;
  state.counters["open_ns_per_channel"] = Nanoseconds(times.open) / perChannel;
  state.counters["interpret_to_parse"] = Nanoseconds(times.interpret) / Nanoseconds(times.parse);
  state.counters["text_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_InterpretSetup)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Both channel counts in one loop: the 10,000-channel times against the
// 1,000-channel times, parse excluded and included.
void BM_InterpretScaling(benchmark::State& state) {
  KeepFreedMemory();
  const std::string small = TestKit::GenerateMixedSetup(1000);
  const std::string large = TestKit::GenerateMixedSetup(10000);
  SetupTimes smallTimes, largeTimes;
  for (auto _ : state) {
    MeasureOnce(small, smallTimes);
    MeasureOnce(large, largeTimes);
  }
  state.counters["ratio_parse_excluded"] = Nanoseconds(largeTimes.interpret) / Nanoseconds(smallTimes.interpret);
  state.counters["ratio_parse_included"] = Nanoseconds(largeTimes.open) / Nanoseconds(smallTimes.open);
  state.counters["interpret_to_parse_10000"] = Nanoseconds(largeTimes.interpret) / Nanoseconds(largeTimes.parse);
}
BENCHMARK(BM_InterpretScaling)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace Korvane::DataReader::Bench

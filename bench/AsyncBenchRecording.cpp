// The asynchronous benchmark recording: its time stamps and values, the legacy
// blocks and index streams the test kit builds from them, the setup that
// describes the three channels, and the write with large pages.
#include "bench/AsyncBenchRecording.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/LegacyAsyncWriter.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/StreamedRecording.h"

namespace Korvane::DataReader::Bench {
namespace {

constexpr int64_t kDefaultSamples = 10'000'000;
constexpr int64_t kMinimumSamples = 100'000;
constexpr double kSampleRate = 100'000;
constexpr int32_t kBlockSize = 1000;
constexpr int32_t kPagePayload = 64 << 10;
constexpr int32_t kValueBytes = 8;
// Level-0 record: the legacy channel's double item and its 24-byte tail, then the
// two index channels' items with their one-byte tails.
constexpr int32_t kItemBytes = 32;
constexpr int32_t kLegacyTailOffset = kItemBytes;
constexpr int32_t kIndexItemOffsets[] = {kItemBytes + 24, kItemBytes + 24 + kItemBytes + 1};
constexpr int32_t kRecordBytes = kIndexItemOffsets[1] + kItemBytes + 1;

uint64_t Mix(uint64_t x) noexcept {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::string Setup() {
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", kSampleRate).Property("BlockSize", kBlockSize).Property("IBRate", 20);
  setup.Property("StartStoreTime", 46000.25).Property("StartingIBLevel", 0);
  // No "DBDATA": the recording holds asynchronous channels only.
  setup.MeasurementOnlineInfo(kBlockSize * kValueBytes, {kRecordBytes});
  auto channel = [&](const char* index, const char* name) -> TestKit::XmlNode& {
    return setup.AddChannel(index, name, 7).Set("Async", true).Set("BitCount", 64).Set("Scale", 0.5).Set("Offset", 2.0);
  };
  channel(kLegacyChannel, "Legacy events").With(TestKit::OnlineInfoRecord(0, {0}));
  channel(kIndex512Channel, "Indexed events 512").With(TestKit::OnlineInfoRecord(0, {kIndexItemOffsets[0]}, 0));
  channel(kIndex4096Channel, "Indexed events 4096").With(TestKit::OnlineInfoRecord(0, {kIndexItemOffsets[1]}, 1));
  return setup.Text();
}

}  // namespace

int64_t AsyncBenchSamplesFromEnvironment() {
  const char* text = std::getenv("KV_BENCH_ASYNC_SAMPLES");
  if (text == nullptr || *text == '\0') return kDefaultSamples;
  const int64_t samples = std::strtoll(text, nullptr, 10);
  if (samples < kMinimumSamples) throw std::invalid_argument("KV_BENCH_ASYNC_SAMPLES must be at least 100000");
  return samples;
}

int64_t AsyncBenchRecording::LegacyTailOffset() noexcept { return kLegacyTailOffset; }
int64_t AsyncBenchRecording::LegacyRecordStride() noexcept { return kRecordBytes; }
double AsyncBenchRecording::LegacyBlockTime(int64_t block) noexcept {
  return static_cast<double>(block * kBlockSize) / kSampleRate;
}

double AsyncBenchRecording::Value(int64_t k) noexcept { return static_cast<double>(k) * 0.25 - 1000.0; }

// Sample k lies in position k's interval, up to 0.9 of it late: increasing,
// irregular, about one sample per position.
double AsyncBenchRecording::Timestamp(int64_t k) noexcept {
  const double jitter = static_cast<double>(Mix(static_cast<uint64_t>(k)) >> 11) / static_cast<double>(1ull << 53);
  return (static_cast<double>(k) + 0.9 * jitter) / kSampleRate;
}

AsyncBenchRecording::AsyncBenchRecording(int64_t samples) : samples_(samples) {
  if (samples < kMinimumSamples) throw std::invalid_argument("recording too small");
  const auto n = static_cast<size_t>(samples);
  std::vector<double> times(n);
  std::vector<double> values(n);
  for (size_t k = 0; k < n; ++k) {
    times[k] = Timestamp(static_cast<int64_t>(k));
    values[k] = Value(static_cast<int64_t>(k));
  }
  const std::vector<uint8_t> valueBytes = TestKit::EncodeDoubles(values);

  // One region, stopping half-way into the block after the last sample's.
  TestKit::DataLayout layout;
  layout.blockSize = kBlockSize;
  layout.ibRate = 20;
  const int64_t stop = samples + kBlockSize / 2;
  layout.regions = {{0, 0, static_cast<int32_t>(stop / kBlockSize), static_cast<int32_t>(stop % kBlockSize)}};

  TestKit::LegacyAsyncChannel legacy;
  legacy.timestamps = times;
  legacy.values = valueBytes;
  legacy.sampleBytes = kValueBytes;
  legacy.level = 0;
  legacy.sampleRate = kSampleRate;
  const TestKit::LegacyAsyncBlocks blocks = TestKit::BuildLegacyAsyncBlocks(layout, legacy);
  TestKit::ReducedChannelValues item;
  item.itemOffsets.fill(0);
  item.values = std::move(values);  // about one sample per position: statistics near enough
  TestKit::ReducedLevelStream level0 = TestKit::BuildReducedLevel(layout, 0, kRecordBytes, {item});
  TestKit::PatchLegacyTails(level0.bytes, kRecordBytes, kLegacyTailOffset, blocks);
  legacyBlocks_ = static_cast<int64_t>(blocks.blocks.size());
  legacyDataBytes_ = static_cast<int64_t>(blocks.data.size());
  legacyRecordBytes_ = static_cast<int64_t>(level0.bytes.size());

  TestKit::AsyncIndexWriter writer(true);
  for (uint32_t channel : {0u, 1u}) {
    TestKit::AsyncIndexChannelContents contents;
    contents.channelIndex = channel;
    contents.valueSize = kValueBytes;
    contents.timestamps = times;
    contents.values = valueBytes;
    contents.leafCapacity = channel == 0 ? 512 : 4096;
    writer.AddChannel(contents);
  }
  writer.EndRecords();
  const TestKit::AsyncIndexStreams index = writer.Streams();

  TestKit::StreamedRecording recording;
  recording.setupText = Setup();
  recording.events = TestKit::RegionEventStream(layout, {{level0.regionFirstRecord.at(0)}});
  recording.streams = {TestKit::BytesSource("IBDATA0", level0.bytes, kPagePayload),
                       TestKit::BytesSource("DBASDAT0", blocks.data, kPagePayload),
                       TestKit::BytesSource("DBASDATX", index.valueStream, kPagePayload),
                       TestKit::BytesSource("NDASDATX", index.nodeStream, kPagePayload),
                       TestKit::BytesSource("RNASDATX", index.rootNodeStream, kPagePayload)};
  path_ = dir_.File("async-bench.kvd");
  written_ = TestKit::WriteRecordingStreamed(path_, recording);
  fd_ = ::open(path_.c_str(), O_RDONLY);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path_);
}

AsyncBenchRecording::~AsyncBenchRecording() {
  if (fd_ >= 0) ::close(fd_);
}

void AsyncBenchRecording::ReadPlain(const StreamRange& range, uint8_t* out) const {
  for (const TestKit::WrittenStream& stream : written_.streams) {
    if (stream.code != range.code) continue;
    TestKit::ForEachFilePiece(stream, written_.pageHeaderBytes, range.offset, range.bytes,
                              [&](int64_t at, int64_t n) {
                                if (::pread(fd_, out, static_cast<size_t>(n), at) != n) {
                                  throw std::runtime_error("short read of " + range.code);
                                }
                                out += n;
                              });
    return;
  }
  throw std::invalid_argument("no stream " + range.code);
}

// The index writer stores channel 0's leaves, then channel 1's, each leaf its
// values then its time stamps, nothing between them.
StreamRange AsyncBenchRecording::IndexBytes(const std::string& channel) const {
  const int64_t bytes = samples_ * (kValueBytes + 8);
  if (channel == kIndex512Channel) return {"DBASDATX", 0, bytes};
  if (channel == kIndex4096Channel) return {"DBASDATX", bytes, bytes};
  throw std::invalid_argument("no index channel " + channel);
}

}  // namespace Korvane::DataReader::Bench

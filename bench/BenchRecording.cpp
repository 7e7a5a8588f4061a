// The benchmark recording: its channel plan, regions, sample generators and the
// streamed write, and the engine set-up over the written file.
#include "bench/BenchRecording.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "testkit/RecordingWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/StreamedMeasurementData.h"
#include "testkit/StreamedRecording.h"

namespace Korvane::DataReader::Bench {
namespace {

constexpr int64_t kDefaultSamples = 20'000'000;
constexpr int64_t kMinimumSamples = 100'000;
constexpr int32_t kBenchPagePayload = 64 << 10;
// Whole blocks left out between two regions.
constexpr int32_t kGapBlocks = 5;

// Stored value of sample k of channel c before it takes the channel's type: a
// sawtooth with a period and phase of its own per channel.
int64_t Pattern(int c, int64_t k) { return (k * (c + 3) + c * 977) % 4001 - 2000; }

double DecodedValue(const BenchChannel& channel, int c, int64_t k) {
  switch (channel.dataType) {
    case 2: return static_cast<double>(Pattern(c, k));
    case 5: return static_cast<double>(static_cast<float>(Pattern(c, k)) * 0.25f);
    default: return static_cast<double>(Pattern(c, k)) * 0.125 + c;
  }
}

// Little-endian stores (the hosts this runs on are little-endian; the bytes are
// placed one by one all the same).
template <class T>
void Store(uint8_t* out, T value) {
  std::array<uint8_t, sizeof(T)> bytes;
  std::memcpy(bytes.data(), &value, sizeof(T));
  std::copy(bytes.begin(), bytes.end(), out);
}

std::vector<BenchChannel> ChannelPlan(int32_t& blockBytes, int32_t& recordBytes) {
  std::vector<BenchChannel> channels;
  blockBytes = 0;
  recordBytes = 0;
  for (int c = 0; c < kBenchChannels; ++c) {
    BenchChannel channel;
    channel.index = "AI;" + std::to_string(c);
    channel.dataType = c % 3 == 0 ? 2 : c % 3 == 1 ? 5 : 7;
    channel.sampleBytes = channel.dataType == 2 ? 2 : channel.dataType == 5 ? 4 : 8;
    channel.srDiv = c % 8 == 5 ? 2 : c % 8 == 7 ? 10 : 1;
    channel.doublePrecision = channel.dataType == 7;
    channel.dbOffset = blockBytes;
    blockBytes += kBenchBlockSize / channel.srDiv * channel.sampleBytes;
    channel.levelOffset = recordBytes;
    recordBytes += channel.doublePrecision ? 32 : 16;
    channels.push_back(channel);
  }
  return channels;
}

// Three regions of a half, a quarter and a quarter of the samples; the second and
// third start and the second stops inside a block.
TestKit::DataLayout Regions(int64_t samples) {
  TestKit::DataLayout layout;
  layout.blockSize = kBenchBlockSize;
  const int64_t lengths[] = {samples / 2, samples / 4, samples - samples / 2 - samples / 4};
  const int64_t startOffsets[] = {0, 250, 500};
  int64_t nextFreeBlock = 0;
  for (int r = 0; r < 3; ++r) {
    const int64_t start = (nextFreeBlock + (r == 0 ? 0 : kGapBlocks)) * kBenchBlockSize + startOffsets[r];
    const int64_t stop = start + lengths[r];
    layout.regions.push_back({static_cast<int32_t>(start / kBenchBlockSize), static_cast<int32_t>(start % kBenchBlockSize),
                              static_cast<int32_t>(stop / kBenchBlockSize), static_cast<int32_t>(stop % kBenchBlockSize)});
    nextFreeBlock = (stop + kBenchBlockSize - 1) / kBenchBlockSize;
  }
  return layout;
}

std::string BenchSetup(const std::vector<BenchChannel>& channels, int32_t blockBytes, int32_t recordBytes) {
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", kBenchSampleRate).Property("BlockSize", kBenchBlockSize).Property("IBRate", 20);
  setup.Property("StartStoreTime", 46000.25).Property("StartingIBLevel", 0);
  setup.MeasurementOnlineInfo(blockBytes, {recordBytes});
  for (size_t c = 0; c < channels.size(); ++c) {
    const BenchChannel& channel = channels[c];
    setup.AddChannel(channel.index, "Channel " + std::to_string(c), channel.dataType)
        .Set("SRDiv", channel.srDiv)
        .Set("BitCount", channel.sampleBytes * 8)  // doubles keep double-precision statistics
        .Set("Scale", 1.0 + 0.01 * static_cast<double>(c))
        .Set("Offset", -0.5 * static_cast<double>(c))
        .With(TestKit::OnlineInfoRecord(channel.dbOffset, {channel.levelOffset}));
  }
  return setup.Text();
}

}  // namespace

int64_t BenchSamplesFromEnvironment() {
  const char* text = std::getenv("KV_BENCH_SAMPLES");
  if (text == nullptr || *text == '\0') return kDefaultSamples;
  const int64_t samples = std::strtoll(text, nullptr, 10);
  if (samples < kMinimumSamples) throw std::invalid_argument("KV_BENCH_SAMPLES must be at least 100000");
  return samples;
}

BenchRecording::BenchRecording(int64_t fullRateSamples) {
  if (fullRateSamples < kMinimumSamples) throw std::invalid_argument("recording too small");
  channels_ = ChannelPlan(blockBytes_, recordBytes_);
  layout_ = Regions(fullRateSamples);

  std::vector<TestKit::GeneratedSyncChannel> generated;
  std::vector<TestKit::GeneratedReducedChannel> reduced;
  for (int c = 0; c < kBenchChannels; ++c) {
    const BenchChannel& channel = channels_[static_cast<size_t>(c)];
    generated.push_back({channel.dbOffset, channel.sampleBytes, channel.srDiv,
                         [this, c](int64_t first, int64_t count, uint8_t* out) { RawSamples(c, first, count, out); }});
    TestKit::GeneratedReducedChannel item;
    item.itemOffsets[0] = channel.levelOffset;
    item.doublePrecision = channel.doublePrecision;
    item.values = [channel, c](int64_t first, int64_t count, double* out) {
      for (int64_t i = 0; i < count; ++i) out[i] = DecodedValue(channel, c, (first + i) / channel.srDiv);
    };
    reduced.push_back(std::move(item));
  }
  TestKit::DataBlockSource blocks(layout_, blockBytes_, std::move(generated));
  TestKit::ReducedLevelSource level0(layout_, 0, recordBytes_, std::move(reduced));

  std::vector<std::vector<int32_t>> levelOffsets;
  for (int32_t first : level0.regionFirstRecord()) levelOffsets.push_back({first});
  TestKit::StreamedRecording recording;
  recording.setupText = BenchSetup(channels_, blockBytes_, recordBytes_);
  recording.events = TestKit::RegionEventStream(layout_, levelOffsets);
  recording.streams = {blocks.Source("DBDATA", kBenchPagePayload), level0.Source("IBDATA0", kBenchPagePayload)};
  path_ = dir_.File("bench.kvd");
  written_ = TestKit::WriteRecordingStreamed(path_, recording);
}

int64_t BenchRecording::storedBlocks() const {
  int64_t blocks = 0;
  for (size_t r = 0; r < layout_.regions.size(); ++r) blocks += layout_.StoredBlocks(r);
  return blocks;
}

std::vector<std::pair<int64_t, int64_t>> BenchRecording::SampleRanges(int channel) const {
  const int64_t div = channels_.at(static_cast<size_t>(channel)).srDiv;
  std::vector<std::pair<int64_t, int64_t>> ranges;
  for (const TestKit::RecordedRegion& r : layout_.regions) {
    const int64_t start = static_cast<int64_t>(r.startBlock) * kBenchBlockSize + r.startOffset;
    const int64_t stop = static_cast<int64_t>(r.stopBlock) * kBenchBlockSize + r.stopOffset;
    const int64_t first = (start + div - 1) / div;
    ranges.emplace_back(first, (stop + div - 1) / div - first);
  }
  return ranges;
}

void BenchRecording::RawSamples(int c, int64_t first, int64_t count, uint8_t* out) const {
  const BenchChannel& channel = channels_[static_cast<size_t>(c)];
  for (int64_t i = 0; i < count; ++i, out += channel.sampleBytes) {
    const int64_t k = first + i;
    switch (channel.dataType) {
      case 2: Store(out, static_cast<int16_t>(Pattern(c, k))); break;
      case 5: Store(out, static_cast<float>(DecodedValue(channel, c, k))); break;
      default: Store(out, DecodedValue(channel, c, k)); break;
    }
  }
}

double BenchRecording::StoredValue(int c, int64_t k) const {
  return DecodedValue(channels_.at(static_cast<size_t>(c)), c, k);
}

const TestKit::WrittenStream& BenchRecording::Stream(const std::string& code) const {
  for (const TestKit::WrittenStream& stream : written_.streams) {
    if (stream.code == code) return stream;
  }
  throw std::out_of_range("no stream " + code);
}

OpenedBenchRecording::OpenedBenchRecording(const std::string& path) {
  container_.OpenFile(path.c_str());
  const int version = container_.GetFileVersionInt();
  setup_.OpenAndParseFile(container_.StreamByCode("SETUP___"), container_.StreamByCode("MEASINFO"), version);
  events_.SetOldFormat(version < 7100);
  events_.ReadFromStream(container_.StreamByCode("EVENTS__"));
  events_.SetBlockSize(setup_.GetBlockSize());
  events_.SetSampleRate(setup_.GetSampleRate());
  std::array<int32_t, Events::kReducedLevelCount> rates{};
  for (int i = 0; i < Events::kReducedLevelCount; ++i) rates[i] = static_cast<int32_t>(setup_.GetIBRates()[i]);
  events_.SetIBRates(rates);
  engine_.SetContainer(&container_);
  engine_.Initiate();
}

OpenedBenchRecording::~OpenedBenchRecording() {
  engine_.Clear();
  setup_.CloseFile();
  container_.CloseFile();
}

const CKVChannel* OpenedBenchRecording::Channel(const std::string& index) const {
  const CKVChannel* channel = setup_.FindChannelByKVIndex(index.c_str());
  if (channel == nullptr) throw std::runtime_error("no channel " + index);
  return channel;
}

}  // namespace Korvane::DataReader::Bench

namespace Korvane::DataReader::Bench {

int OpenedBenchRecording::ListPosition(const std::string& index) const {
  const CKVChannel* channel = Channel(index);
  const auto& list = setup_.GetChannelList();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].get() == channel) return static_cast<int>(i);
  }
  throw std::runtime_error("channel " + index + " not listed");
}

}  // namespace Korvane::DataReader::Bench

// The sample functions through the C interface: the demo recording reads back every
// value it wrote (scaled, raw, in windows, its text single value); a recording of
// asynchronous binary samples gives its payloads, packed and in a ring; a CAN
// message channel is read and refused; and the argument checks give their
// statuses.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/AsyncIndexWriter.h"
#include "testkit/BinaryChannelsRecording.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader {
namespace {

class SampleReads : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KVICreateReader(&reader_), KVOk); }
  void TearDown() override { KVIDestroyReader(reader_); }

  void Open(const TestKit::Recording& recording) {
    const std::string path = directory_.File("rec" + std::to_string(files_++) + ".kvd");
    TestKit::WriteRecording(path, recording);
    KVFileInfo info{};
    ASSERT_EQ(KVIOpenDataFile(reader_, path.c_str(), &info), KVOk);
  }

  // Channel index by name, over the channel, binary and complex channel lists.
  std::map<std::string, int32_t> Indexes() {
    std::map<std::string, int32_t> indexes;
    using Count = KVStatus (*)(KVReaderHandle, int32_t*);
    using List = KVStatus (*)(KVReaderHandle, KVChannel*);
    for (const auto& [count, list] : {std::pair<Count, List>{KVIGetChannelListCount, KVIGetChannelList},
                                      {KVIGetBinChannelListCount, KVIGetBinChannelList},
                                      {KVIGetComplexChannelListCount, KVIGetComplexChannelList}}) {
      int32_t n = 0;
      EXPECT_EQ(count(reader_, &n), KVOk);
      std::vector<KVChannel> channels(static_cast<size_t>(n));
      if (n > 0) {
        EXPECT_EQ(list(reader_, channels.data()), KVOk);
      }
      for (const KVChannel& channel : channels) indexes[channel.name] = channel.index;
    }
    return indexes;
  }

  TestKit::TempDir directory_;
  KVReaderHandle reader_ = nullptr;
  int files_ = 0;
};

TEST_F(SampleReads, DemoRecordingReadsBackEveryValue) {
  const TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
  Open(contents.recording);
  const std::map<std::string, int32_t> indexes = Indexes();
  for (const TestKit::SampleChannel& written : contents.channels) {
    SCOPED_TRACE(written.name);
    ASSERT_EQ(indexes.count(written.name), 1u);
    const int32_t index = indexes.at(written.name);
    const std::vector<int64_t> stored = TestKit::RegionSampleIndexes(contents.layout, written.srDiv);
    const auto samples = static_cast<int64_t>(stored.size());
    int64_t count = 0;
    ASSERT_EQ(KVIGetScaledSamplesCount(reader_, index, &count), KVOk);
    ASSERT_EQ(count, samples);
    const auto values = static_cast<size_t>(samples * written.arraySize);
    // Windows of an odd size start and end inside blocks and regions.
    std::vector<double> scaled(values), times(static_cast<size_t>(samples));
    constexpr int32_t kWindow = 211;
    for (int64_t first = 0; first < samples; first += kWindow) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(kWindow, samples - first));
      ASSERT_EQ(KVIGetScaledSamples(reader_, index, first, n, scaled.data() + first * written.arraySize,
                                    times.data() + first),
                KVOk);
    }
    for (int64_t k = 0; k < samples; ++k) {
      const int64_t sample = stored[static_cast<size_t>(k)];
      ASSERT_DOUBLE_EQ(times[static_cast<size_t>(k)],
                       static_cast<double>(sample * written.srDiv) / contents.sampleRate) << k;
      for (int32_t e = 0; e < written.arraySize; ++e) {
        ASSERT_EQ(scaled[static_cast<size_t>(k * written.arraySize + e)],
                  written.values[static_cast<size_t>(sample * written.arraySize + e)]) << k;
      }
    }
    // The raw form: the stored numbers (the demo scales by 1 and offsets by 0).
    std::vector<uint8_t> raw(values * 8);
    ASSERT_EQ(KVIGetRawSamples(reader_, index, 0, static_cast<int32_t>(samples), raw.data(), nullptr), KVOk);
    for (size_t v = 0; v < values; ++v) {
      double number = 0;
      if (written.dataType == 8) {
        uint32_t stored32 = 0;
        std::memcpy(&stored32, raw.data() + v * 4, 4);
        number = stored32;
      } else {
        std::memcpy(&number, raw.data() + v * 8, 8);
      }
      ASSERT_EQ(number, scaled[v]) << v;
    }
  }
  // The asynchronous channel, through the timestamp index: every sample as written.
  const TestKit::SampleAsyncChannel& pressure = contents.asyncChannel;
  const int32_t pressureIndex = indexes.at(pressure.name);
  int64_t pressureCount = 0;
  ASSERT_EQ(KVIGetScaledSamplesCount(reader_, pressureIndex, &pressureCount), KVOk);
  ASSERT_EQ(pressureCount, static_cast<int64_t>(pressure.times.size()));
  std::vector<double> pressureValues(pressure.times.size()), pressureTimes(pressure.times.size());
  ASSERT_EQ(KVIGetScaledSamples(reader_, pressureIndex, 0, static_cast<int32_t>(pressureCount), pressureValues.data(),
                                pressureTimes.data()),
            KVOk);
  EXPECT_EQ(pressureValues, pressure.values);
  EXPECT_EQ(pressureTimes, pressure.times);
  // The text single value, through the functions on the active reader.
  ASSERT_EQ(KVInit(), KVOk);
  KVFileInfo info{};
  const std::string path = directory_.File("demo.kvd");
  TestKit::WriteRecording(path, contents.recording);
  ASSERT_EQ(KVOpenDataFile(path.c_str(), &info), KVOk);
  int32_t textCount = KVGetTextChannelListCount();
  ASSERT_EQ(textCount, 1);
  KVChannel text{};
  ASSERT_EQ(KVGetTextChannelList(&text), KVOk);
  EXPECT_EQ(KVGetTextValuesCount(text.index), 1);
  std::vector<char> chars(static_cast<size_t>(text.array_size), 'x');
  double stamp = -1;
  ASSERT_EQ(KVGetTextValues(text.index, 0, 1, chars.data(), &stamp), KVOk);
  EXPECT_STREQ(chars.data(), contents.operatorName.c_str());
  EXPECT_EQ(stamp, 0);
  EXPECT_EQ(KVGetTextValuesCount(-1), -1);
  EXPECT_EQ(KVDeInit(), KVOk);
}

TEST_F(SampleReads, BinaryPayloadsLocatorsAndRing) {
  const TestKit::BinaryChannelsContents binary = TestKit::BinaryChannelsRecording();
  const std::vector<TestKit::BinaryLocator>& locators = binary.locators;
  const std::vector<uint8_t>& payloads = binary.payloads;
  Open(binary.recording);
  const int32_t pictures = Indexes().at("Pictures");
  int64_t count = 0;
  ASSERT_EQ(KVIGetBinarySamplesCount(reader_, pictures, &count), KVOk);
  ASSERT_EQ(count, 4);

  std::vector<KVBinarySample> records(4);
  std::vector<double> times(4);
  ASSERT_EQ(KVIGetBinRecSamples(reader_, pictures, 0, 4, records.data(), times.data()), KVOk);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(records[i].position, locators[i].position) << i;
    EXPECT_EQ(records[i].size, locators[i].size) << i;
    EXPECT_DOUBLE_EQ(times[i], 0.1 * static_cast<double>(i + 1)) << i;
  }
  auto payload = [&](size_t i) {
    const auto begin = payloads.begin() + locators[i].position;
    return std::vector<uint8_t>(begin, begin + locators[i].size);
  };

  // One payload: exactly at capacity, and one byte short of it.
  std::vector<uint8_t> buffer(64, 0);
  int32_t size = 30;
  double stamp = 0;
  ASSERT_EQ(KVIGetBinarySamples(reader_, pictures, 3, reinterpret_cast<char*>(buffer.data()), &stamp, &size), KVOk);
  EXPECT_EQ(size, 30);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 30), payload(3));
  size = 29;
  EXPECT_EQ(KVIGetBinarySamples(reader_, pictures, 3, reinterpret_cast<char*>(buffer.data()), &stamp, &size),
            KVNoMemoryAlloc);

  // Packed: every payload behind its length fits exactly; one byte less fails on the last.
  const int32_t packedBytes = 25 + 10 + 0 + 30 + 4 * 4;
  for (const int32_t capacity : {packedBytes, packedBytes - 1}) {
    SCOPED_TRACE(capacity);
    std::vector<uint8_t> packed(static_cast<size_t>(packedBytes), 0);
    size = capacity;
    const KVStatus status = KVIGetBinarySamplesEx(reader_, pictures, 0, 4, reinterpret_cast<char*>(packed.data()),
                                                  times.data(), &size);
    EXPECT_EQ(status, capacity == packedBytes ? KVOk : KVNoMemoryAlloc);
    EXPECT_EQ(size, capacity == packedBytes ? packedBytes : packedBytes - 34);
    size_t at = 0;
    for (size_t i = 0; i < (capacity == packedBytes ? 4u : 3u); ++i) {
      int32_t length = -1;
      std::memcpy(&length, packed.data() + at, 4);
      ASSERT_EQ(length, locators[i].size);
      EXPECT_EQ(std::vector<uint8_t>(packed.begin() + static_cast<int64_t>(at) + 4,
                                     packed.begin() + static_cast<int64_t>(at) + 4 + length),
                payload(i));
      at += 4 + static_cast<size_t>(length);
    }
  }

  // The ring: 10 bytes at its end, 15 at its start; a payload larger than the ring
  // writes nothing.
  const KVBinarySample firstLocator{locators[0].position, locators[0].size};
  const KVBinarySample lastLocator{locators[3].position, locators[3].size};
  std::vector<uint8_t> ring(100, 0);
  int64_t position = 90;
  ASSERT_EQ(KVIGetBinData(reader_, pictures, &firstLocator, reinterpret_cast<char*>(ring.data()), &position, 100), KVOk);
  EXPECT_EQ(position, 15);
  const std::vector<uint8_t> first = payload(0);
  EXPECT_TRUE(std::equal(first.begin(), first.begin() + 10, ring.begin() + 90));
  EXPECT_TRUE(std::equal(first.begin() + 10, first.end(), ring.begin()));
  std::vector<uint8_t> small(20, 0x55);
  position = 0;
  EXPECT_EQ(KVIGetBinData(reader_, pictures, &lastLocator, reinterpret_cast<char*>(small.data()), &position, 20),
            KVNoMemoryAlloc);
  EXPECT_EQ(small, std::vector<uint8_t>(20, 0x55));
  EXPECT_EQ(position, 0);
}

TEST_F(SampleReads, CanMessagesAreReadThenRefused) {
  Open(TestKit::BinaryChannelsRecording().recording);
  // A CAN message is in no list: found by its long name among all channels.
  int32_t frames = -1;
  for (int32_t i = 0; i < 8 && frames < 0; ++i) {
    char name[100] = {};
    int32_t size = sizeof name;
    if (KVIGetChannelProps(reader_, i, KVChLongName, name, &size) == KVOk && std::string(name) == "Frames") frames = i;
  }
  ASSERT_GE(frames, 0);
  std::vector<double> data(4, -1), times(4, -1);
  EXPECT_EQ(KVIGetScaledSamples(reader_, frames, 0, 4, data.data(), times.data()), KVCANNotSupported);
  EXPECT_EQ(times, (std::vector<double>{0, 0.001, 0.002, 0.003}));
}

TEST_F(SampleReads, ComplexSamplesScaledAndRaw) {
  Open(TestKit::BinaryChannelsRecording().recording);
  const int32_t phase = Indexes().at("Phase");
  double scale = 0;
  double offset = 0;
  ASSERT_EQ(KVIGetChannelFactors(reader_, phase, &scale, &offset), KVOk);
  using Read = KVStatus (*)(KVReaderHandle, int32_t, int64_t, int32_t, KVComplex*, double*);
  for (const auto& [read, scaled] : {std::pair{Read{KVIGetComplexScaledSamples}, true},
                                     std::pair{Read{KVIGetComplexRawSamples}, false}}) {
    SCOPED_TRACE(scaled ? "scaled" : "raw");
    std::vector<KVComplex> values(3);
    ASSERT_EQ(read(reader_, phase, 98, 3, values.data(), nullptr), KVOk);
    for (int i = 0; i < 3; ++i) {
      const double k = 98 + i;
      EXPECT_DOUBLE_EQ(values[static_cast<size_t>(i)].re, scaled ? k * scale + offset : k);
      EXPECT_DOUBLE_EQ(values[static_cast<size_t>(i)].im, scaled ? -k * scale + offset : -k);
    }
  }
  // The plain functions promise one double (or one stored value) per value: a complex
  // channel's 16-byte records would overrun a buffer sized by that.
  std::vector<double> plain(4, -1);
  EXPECT_EQ(KVIGetScaledSamples(reader_, phase, 0, 2, plain.data(), nullptr), KVError);
  EXPECT_EQ(KVIGetRawSamples(reader_, phase, 0, 2, plain.data(), nullptr), KVError);
  EXPECT_EQ(plain, std::vector<double>(4, -1));
}

// Argument checks of every sample function, on the demo recording.
TEST_F(SampleReads, ArgumentChecksGiveTheirStatuses) {
  const TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
  Open(contents.recording);
  const int32_t voltage = Indexes().at("Voltage");
  int64_t count = 0;
  EXPECT_EQ(KVIGetScaledSamplesCount(reader_, -1, &count), KVOk);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(KVIGetRawSamplesCount(reader_, 1000, &count), KVOk);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(KVIGetComplexRawSamplesCount(reader_, voltage, nullptr), KVNoMemoryAlloc);
  double value = 0;
  KVComplex complex{};
  char byte = 0;
  int32_t size = 0;
  int64_t position = 0;
  KVBinarySample sample{};
  const std::vector<std::pair<std::string, KVStatus>> cases = {
      {"scaled, null data", KVIGetScaledSamples(reader_, voltage, 0, 1, nullptr, nullptr)},
      {"scaled, count 0 with null data", KVIGetScaledSamples(reader_, voltage, 0, 0, nullptr, nullptr)},
      {"scaled, index out of range", KVIGetScaledSamples(reader_, -1, 0, 1, &value, nullptr)},
      {"raw, null data", KVIGetRawSamples(reader_, voltage, 0, 1, nullptr, nullptr)},
      {"complex, index out of range", KVIGetComplexScaledSamples(reader_, 999, 0, 1, &complex, nullptr)},
      {"binary, zero size", KVIGetBinarySamples(reader_, voltage, 0, &byte, nullptr, &size)},
      {"binary ex, null buffer", KVIGetBinarySamplesEx(reader_, voltage, 0, 1, nullptr, nullptr, &size)},
      {"records, null records", KVIGetBinRecSamples(reader_, voltage, 0, 1, nullptr, nullptr)},
      {"records, index out of range", KVIGetBinRecSamples(reader_, -5, 0, 1, &sample, nullptr)},
      {"ring, null sample", KVIGetBinData(reader_, voltage, nullptr, &byte, &position, 1)},
      {"ring, index out of range", KVIGetBinData(reader_, 999, &sample, &byte, &position, 1)},
  };
  const std::vector<KVStatus> expected = {KVNoMemoryAlloc, KVOk,           KVInvalidIndex,  KVNoMemoryAlloc,
                                          KVInvalidIndex,  KVNoMemoryAlloc, KVNoMemoryAlloc, KVNoMemoryAlloc,
                                          KVInvalidIndex,  KVNoMemoryAlloc, KVInvalidIndex};
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(cases[i].second, expected[i]) << cases[i].first;
}

}  // namespace
}  // namespace Korvane::DataReader

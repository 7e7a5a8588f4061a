// Header entries, array axes, events and the two tables through the C interface:
// entries of text, int32 and double values read as text; the demo's array axis;
// an event list with a long text read whole and position by position; the
// reduced-data and trigger-data tables of the demo against the plain reads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MeasurementDataWriter.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader {
namespace {

template <class T>
std::vector<uint8_t> Bytes(const T& value) {
  std::vector<uint8_t> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

const std::string kLongText(250, 'e');

// Three header entries ("Variables;1;..." single values: a text, an int32 and a
// double) and events: a start, 40
// marks (one with a 250-character text) and a stop.
TestKit::Recording HeaderRecording() {
  TestKit::SetupBuilder setup;
  setup.Property("SampleRate", 1000.0).Property("BlockSize", 100).Property("IBRate", 20);
  setup.MeasurementOnlineInfo(800, std::vector<int>(6, 32));
  setup.AddChannel("AI;0", "Voltage", 7).With(TestKit::OnlineInfoRecord(0, std::vector<int>(6, 0)));
  const std::vector<std::tuple<std::string, std::string, int, int>> entries = {
      {"Variables;1;0", "Serial", 11, 0}, {"Variables;1;1", "Count", 4, 8}, {"Variables;1;2", "Gain", 7, 16}};
  for (const auto& [index, name, type, offset] : entries) {
    setup.Store(index);
    setup.VariableChannel(index, name, type)
        .Set("SingleValue", true)
        .Set("LogicalName", "id." + name)
        .With(TestKit::OnlineInfoRecord(offset));
  }
  const std::string serial = "SN-42";
  const TestKit::SingleValueStreams single = TestKit::BuildSingleValueStreams(
      {{0, {serial.begin(), serial.end()}, 5}, {8, Bytes(int32_t{42}), 1}, {16, Bytes(1.5), 1}});
  TestKit::EventStreamWriter events(2, false);
  events.AddStart(0, 0, {0, 0, 0, 0, 0, 0});
  for (int i = 0; i < 40; ++i) {
    TestKit::EventRecord mark;
    mark.type = 20;
    mark.recordVersion = 2;
    mark.block = i / 5;
    mark.offset = i % 5 * 10;
    mark.text = i == 7 ? kLongText : "mark " + std::to_string(i);
    events.Add(mark);
  }
  events.AddStop(10, 0);
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = events.Finish();
  recording.Add("DBDATA", std::vector<uint8_t>(10 * 800, 0)).Add("IBDATA0", std::vector<uint8_t>(10 * 32, 0));
  recording.Add("SVINFO", single.info).Add("SVDATA2", single.data);
  return recording;
}

class HeadersEventsTables : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KVICreateReader(&reader_), KVOk); }
  void TearDown() override { KVIDestroyReader(reader_); }
  void Open(const TestKit::Recording& recording) {
    const std::string path = directory_.File("rec" + std::to_string(files_++) + ".kvd");
    TestKit::WriteRecording(path, recording);
    KVFileInfo info{};
    ASSERT_EQ(KVIOpenDataFile(reader_, path.c_str(), &info), KVOk);
  }
  std::string Text(KVStatus (*read)(KVReaderHandle, int32_t, char*, int32_t), int32_t position, int32_t length,
                   KVStatus expected = KVOk) {
    std::vector<char> text(static_cast<size_t>(length) + 1, '#');
    EXPECT_EQ(read(reader_, position, text.data(), length), expected) << position;
    EXPECT_EQ(text[static_cast<size_t>(length)], '#') << "wrote past the length";
    text.back() = '\0';
    return text.data();
  }

  TestKit::TempDir directory_;
  KVReaderHandle reader_ = nullptr;
  int files_ = 0;
};

TEST_F(HeadersEventsTables, HeaderEntriesAsText) {
  Open(HeaderRecording());
  int32_t count = 0;
  ASSERT_EQ(KVIGetHeaderEntryCount(reader_, &count), KVOk);
  ASSERT_EQ(count, 3);
  std::vector<KVChannel> entries(3);
  ASSERT_EQ(KVIGetHeaderEntryList(reader_, entries.data()), KVOk);
  EXPECT_STREQ(entries[1].name, "Count");
  const std::vector<std::string> texts = {"SN-42", "42", "1.500000"};
  for (int32_t p = 0; p < 3; ++p) {
    EXPECT_EQ(Text(KVIGetHeaderEntryTextF, p, 32), texts[static_cast<size_t>(p)]);
    EXPECT_EQ(Text(KVIGetHeaderEntryText, entries[static_cast<size_t>(p)].index, 32), texts[static_cast<size_t>(p)]);
    EXPECT_EQ(Text(KVIGetHeaderEntryNameF, p, 3), std::string(entries[static_cast<size_t>(p)].name).substr(0, 2));
    EXPECT_EQ(Text(KVIGetHeaderEntryIDF, p, 32), "id." + std::string(entries[static_cast<size_t>(p)].name));
  }
  EXPECT_EQ(Text(KVIGetHeaderEntryTextF, 2, 4), "1.5");
  Text(KVIGetHeaderEntryTextF, 3, 8, KVInvalidIndex);
  Text(KVIGetHeaderEntryNameF, -1, 8, KVInvalidIndex);
  EXPECT_EQ(KVIGetHeaderEntryList(reader_, nullptr), KVNoMemoryAlloc);
  EXPECT_EQ(KVIGetHeaderEntryTextF(reader_, 0, nullptr, 8), KVNoMemoryAlloc);
}

TEST_F(HeadersEventsTables, EventsWholeAndPositionByPosition) {
  Open(HeaderRecording());
  int32_t count = 0;
  ASSERT_EQ(KVIGetEventListCount(reader_, &count), KVOk);
  ASSERT_EQ(count, 42);
  std::vector<KVEvent> events(static_cast<size_t>(count));
  ASSERT_EQ(KVIGetEventList(reader_, events.data()), KVOk);
  for (int32_t p = 0; p < count; ++p) {
    int32_t type = -1;
    double time = -1;
    ASSERT_EQ(KVIGetEventTypeF(reader_, p, &type), KVOk);
    ASSERT_EQ(KVIGetEventTimeF(reader_, p, &time), KVOk);
    // KVEvent is packed: its fields are copied out before they are compared.
    const int32_t listedType = events[static_cast<size_t>(p)].event_type;
    const double listedTime = events[static_cast<size_t>(p)].time_stamp;
    EXPECT_EQ(type, listedType) << p;
    EXPECT_EQ(time, listedTime) << p;
    EXPECT_EQ(Text(KVIGetEventTextF, p, 300), std::string(events[static_cast<size_t>(p)].event_text)) << p;
  }
  // Mark 7 (after the start): block 1, offset 20; its long text cut to 199 bytes.
  const double markTime = events[8].time_stamp;
  EXPECT_DOUBLE_EQ(markTime, 0.12);
  const std::string longText = events[8].event_text;
  EXPECT_EQ(longText.size(), 199u);
  EXPECT_EQ(longText.back(), 'e');
  int32_t type = 0;
  double time = 0;
  std::vector<char> text(8, '#');
  ASSERT_EQ(KVIGetEventListItem(reader_, 8, &type, &time, text.data(), 8), KVOk);
  EXPECT_EQ(std::string(text.data()), longText.substr(0, 7));
  const int32_t markType = events[8].event_type;
  EXPECT_EQ(type, markType);
  EXPECT_EQ(KVIGetEventTypeF(reader_, count, &type), KVInvalidIndex);
  EXPECT_EQ(KVIGetEventList(reader_, nullptr), KVNoMemoryAlloc);
}

TEST_F(HeadersEventsTables, ArrayAxisAndNoHeaderEntriesInTheDemo) {
  Open(TestKit::SampleRecording().recording);
  // The demo has no header entries (its single value is no data header).
  int32_t entries = -1;
  ASSERT_EQ(KVIGetHeaderEntryCount(reader_, &entries), KVOk);
  EXPECT_EQ(entries, 0);
  Text(KVIGetHeaderEntryTextF, 0, 8, KVInvalidIndex);
  int32_t channels = 0;
  ASSERT_EQ(KVIGetChannelListCount(reader_, &channels), KVOk);
  std::vector<KVChannel> list(static_cast<size_t>(channels));
  ASSERT_EQ(KVIGetChannelList(reader_, list.data()), KVOk);
  int32_t spectrum = -1;
  for (const KVChannel& channel : list) {
    if (std::string(channel.name) == "Spectrum") spectrum = channel.index;
  }
  ASSERT_GE(spectrum, 0);
  int32_t axes = 0;
  ASSERT_EQ(KVIGetArrayInfoCount(reader_, spectrum, &axes), KVOk);
  ASSERT_EQ(axes, 1);
  KVArrayInfo axis{};
  ASSERT_EQ(KVIGetArrayInfoList(reader_, spectrum, &axis), KVOk);
  EXPECT_STREQ(axis.name, "Frequency");
  double value = -1;
  ASSERT_EQ(KVIGetArrayIndexValueF(reader_, spectrum, 0, axis.size - 1, &value), KVOk);
  EXPECT_EQ(value, 50.0 * (axis.size - 1));
  EXPECT_EQ(KVIGetArrayIndexValueF(reader_, spectrum, 0, axis.size, &value), KVInvalidIndex);
  EXPECT_EQ(KVIGetArrayIndexValueF(reader_, spectrum, 1, 0, &value), KVInvalidIndex);
  char text[16] = {};
  ASSERT_EQ(KVIGetArrayIndexValue(reader_, spectrum, 0, 2, text, sizeof text), KVOk);
  EXPECT_EQ(std::stod(text), 100.0);
}

TEST_F(HeadersEventsTables, TablesOfTheDemo) {
  const TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
  Open(contents.recording);
  int32_t channels = 0;
  ASSERT_EQ(KVIGetChannelListCount(reader_, &channels), KVOk);
  std::vector<KVChannel> list(static_cast<size_t>(channels));
  ASSERT_EQ(KVIGetChannelList(reader_, list.data()), KVOk);
  int32_t columns = 0;
  ASSERT_EQ(KVIGetReducedDataChannelCountF(reader_, &columns), KVOk);
  EXPECT_EQ(columns, 4 * channels);
  EXPECT_EQ(Text(KVIGetReducedDataChannelNameF, 5, 64), std::string(list[1].name) + "_Min");
  // A short buffer gets the name and suffix cut together, nothing behind it.
  EXPECT_EQ(Text(KVIGetReducedDataChannelNameF, 5, 4), (std::string(list[1].name) + "_Min").substr(0, 3));
  Text(KVIGetReducedDataChannelNameF, columns, 8, KVInvalidIndex);
  int32_t column = -2;
  ASSERT_EQ(KVIGetReducedDataChannelIndexF(reader_, (std::string(list[2].name) + "_RMS").c_str(), &column), KVOk);
  EXPECT_EQ(column, 4 * 2 + 3);
  ASSERT_EQ(KVIGetReducedDataChannelIndexF(reader_, (std::string(list[2].name) + "_rms").c_str(), &column), KVOk);
  EXPECT_EQ(column, -1);

  // Column 1 is the minimum of the first channel: the same values as the plain read.
  std::vector<double> y(10), x(10), minima(10), times(10);
  ASSERT_EQ(KVIGetRecudedDataF(reader_, 1, x.data(), y.data(), 3, 10), KVOk);
  ASSERT_EQ(KVIGetReducedMinValues(reader_, list[0].index, 3, 10, minima.data(), times.data()), KVOk);
  EXPECT_EQ(y, minima);
  EXPECT_EQ(x, times);
  char xUnit[16], yUnit[16];
  double xStart = -1, rate = 0;
  int32_t blocks = 0;
  ASSERT_EQ(KVIGetRecudedDataChannelInfoF(reader_, 1, xUnit, 16, yUnit, 16, &xStart, &blocks, &rate), KVOk);
  EXPECT_STREQ(xUnit, "Seconds");
  EXPECT_EQ(xStart, 0);
  EXPECT_GT(blocks, 13);

  // Triggers are the demo's regions; sample 2 of a region is read from start 2.9.
  int32_t triggers = 0;
  ASSERT_EQ(KVIGetTriggerDataTriggerCountF(reader_, &triggers), KVOk);
  ASSERT_EQ(triggers, static_cast<int32_t>(contents.layout.regions.size()));
  const TestKit::RecordedRegion& second = contents.layout.regions[1];
  double start = 0;
  ASSERT_EQ(KVIGetTriggerDataTriggerTimeF(reader_, 1, &start), KVOk);
  EXPECT_DOUBLE_EQ(start, (second.startBlock * contents.layout.blockSize + second.startOffset) / contents.sampleRate);
  double count = 0, first = -1;
  int32_t type = -1;
  ASSERT_EQ(KVIGetTriggerDataChannelInfoF(reader_, 1, 0, xUnit, 16, yUnit, 16, &first, &count, &rate, &type), KVOk);
  EXPECT_EQ(first, start);
  EXPECT_EQ(type, KVChannelSynchronous);
  std::vector<double> values(3), stamps(3), expected(5), expectedStamps(5);
  ASSERT_EQ(KVIGetTriggerDataF(reader_, 1, 0, values.data(), stamps.data(), 2.9, 3), KVOk);
  int64_t before = 0;
  ASSERT_EQ(KVIGetTriggerDataF(reader_, 0, 0, expected.data(), nullptr, 0, 0), KVOk);
  ASSERT_EQ(KVIGetTriggerDataChannelInfoF(reader_, 0, 0, xUnit, 16, yUnit, 16, &first, &count, &rate, &type), KVOk);
  before = static_cast<int64_t>(count);
  ASSERT_EQ(KVIGetScaledSamples(reader_, list[0].index, before, 5, expected.data(), expectedStamps.data()), KVOk);
  EXPECT_EQ(values, std::vector<double>(expected.begin() + 2, expected.end()));
  EXPECT_EQ(stamps, std::vector<double>(expectedStamps.begin() + 2, expectedStamps.end()));
  int32_t position = -2;
  ASSERT_EQ(KVIGetTriggerDataChannelIndexF(reader_, list[3].name, &position), KVOk);
  EXPECT_EQ(position, 3);
}

}  // namespace
}  // namespace Korvane::DataReader

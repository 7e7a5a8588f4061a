// Single values, online through "SVINFO"/"SVDATA2" and offline in a channel's own
// stream: numbers in every output form, complex values, texts cut to the length
// given, header-entry texts, values not stored, and the rate and kind of channels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "common/DataReaderLibException.h"
#include "setup/CKVChannel.h"
#include "testkit/MeasurementDataWriter.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::BaseSetup;
using EngineTest::OpenedRecording;
using TestKit::OnlineInfoRecord;

template <class T>
std::vector<uint8_t> Bytes(const T& value) {
  std::vector<uint8_t> bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

const std::string kLongText = "a text of exactly forty characters long.";

TestKit::OfflineRecord Own(const std::string& stream) {
  TestKit::OfflineRecord record;
  record.status = 3;
  record.dbStreamName = stream;
  record.posInDBStream = 5;
  return record;
}

// Online: Count (int32 42), Gain (double 1.5), Phase (complex 3 - 4i), Note (text),
// Empty (double, not stored); offline: Own (double 2.25), Unset (not stored), Memo (text).
TestKit::Recording SingleValueRecording() {
  TestKit::SetupBuilder setup;
  BaseSetup(setup);
  setup.AddChannel("AI;5", "Slow", 7).Set("SRDiv", 4).With(OnlineInfoRecord(0, std::vector<int>(6, 0)));
  const std::vector<std::tuple<std::string, int, int>> online = {
      {"Count", kTypeInt32, 0}, {"Gain", kTypeDouble, 8}, {"Phase", kTypeComplexDouble, 16},
      {"Note", kTypeText, 24}, {"Empty", kTypeDouble, 32}, {"Blank", kTypeText, 40}};
  for (size_t i = 0; i < online.size(); ++i) {
    const auto& [name, type, offset] = online[i];
    const std::string index = "Variables;" + std::to_string(i);
    setup.Store(index);
    setup.VariableChannel(index, name, type).Set("SingleValue", true).With(OnlineInfoRecord(offset));
  }
  const std::vector<std::tuple<std::string, int, std::string>> offline = {
      {"Own", kTypeDouble, "OWNA"}, {"Unset", kTypeDouble, "OWNB"}, {"Memo", kTypeText, "OWNC"}};
  for (size_t i = 0; i < offline.size(); ++i) {
    const auto& [name, type, stream] = offline[i];
    const std::string index = "Variables;" + std::to_string(online.size() + i);
    setup.Store(index);
    setup.VariableChannel(index, name, type)
        .Set("SingleValue", true)
        .Set("Offline", 3)
        .With(TestKit::OfflineInfoRecord(Own(stream)));
  }
  std::vector<uint8_t> complex = Bytes(3.0);
  const std::vector<uint8_t> imaginary = Bytes(-4.0);
  complex.insert(complex.end(), imaginary.begin(), imaginary.end());
  const TestKit::SingleValueStreams single = TestKit::BuildSingleValueStreams({
      {0, Bytes(int32_t{42}), 1},
      {8, Bytes(1.5), 1},
      {16, complex, 1},
      {24, {kLongText.begin(), kLongText.end()}, static_cast<int32_t>(kLongText.size())},
      {32, Bytes(9.0), 0},
      {40, {}, 0},
  });
  TestKit::DataLayout layout;
  layout.regions = {{0, 0, 4, 0}, {6, 0, 8, 0}};  // 0.6 s stored
  TestKit::Recording recording;
  recording.setupText = setup.Text();
  recording.events = TestKit::RegionEventStream(layout, {{0}, {4}});
  recording.Add("DBDATA", EngineTest::DataBlocks(6)).Add("IBDATA0", std::vector<uint8_t>(6 * 32, 0));
  recording.Add("SVINFO", single.info).Add("SVDATA2", single.data);
  recording.Add("OWNA", TestKit::OwnSingleValue(true, Bytes(2.25), 5));
  recording.Add("OWNB", TestKit::OwnSingleValue(false, Bytes(7.0), 5));
  recording.Add("OWNC", TestKit::OwnSingleText(true, kLongText, 5));
  return recording;
}

class SingleValues : public ::testing::Test {
 protected:
  const CKVChannel* Named(const std::string& name) {
    for (const auto& channel : opened_.setup().GetChannelList()) {
      if (name == channel->Name) return channel.get();
    }
    throw std::runtime_error("no channel " + name);
  }
  double Scaled(const std::string& name) {
    double value = -1;
    opened_.engine().GetSingleValue(Named(name), &value, nullptr, ScaleType::Scaled);
    return value;
  }
  std::string HeaderText(const std::string& name, int length) {
    std::vector<char> text(static_cast<size_t>(length) + 4, '#');
    text.back() = '\0';
    opened_.engine().GetHeaderEntryText(Named(name), text.data(), length);
    EXPECT_EQ(text[static_cast<size_t>(length)], '#') << "wrote past the length";
    return text.data();
  }

  OpenedRecording opened_{SingleValueRecording()};
};

TEST_F(SingleValues, NumbersInEveryForm) {
  CDataLoadEngine& engine = opened_.engine();
  EXPECT_EQ(Scaled("Count"), 42.0);
  EXPECT_EQ(Scaled("Gain"), 1.5);
  EXPECT_EQ(Scaled("Own"), 2.25);
  int32_t raw = 0;
  double stamp = -1;
  engine.GetSingleValue(Named("Count"), &raw, &stamp, ScaleType::Raw);
  EXPECT_EQ(raw, 42);
  EXPECT_DOUBLE_EQ(stamp, 0.8);  // the last stop
  KVComplex complex{};
  engine.GetSingleValue(Named("Phase"), &complex, nullptr, ScaleType::Scaled);
  EXPECT_EQ(complex.re, 3.0);
  EXPECT_EQ(complex.im, -4.0);
  // Through the sample dispatcher: sample 0 is the value, nothing else exists.
  double sample[2] = {-1, -1};
  engine.GetSamples(Named("Gain"), 0, 2, sample, nullptr, ScaleType::Scaled);
  EXPECT_EQ(sample[0], 1.5);
  EXPECT_EQ(sample[1], -1);
  engine.GetSamples(Named("Gain"), 1, 1, sample + 1, nullptr, ScaleType::Scaled);
  EXPECT_EQ(sample[1], -1);
}

TEST_F(SingleValues, ValuesNotStored) {
  CDataLoadEngine& engine = opened_.engine();
  const std::vector<std::pair<std::string, int64_t>> counts = {{"Count", 1}, {"Empty", 0}, {"Own", 1}, {"Unset", 0}};
  for (const auto& [name, count] : counts) EXPECT_EQ(engine.GetSingleValueCount(Named(name)), count) << name;
  EXPECT_EQ(Scaled("Empty"), -1);  // left untouched
  try {
    Scaled("Unset");
    FAIL() << "an offline value not stored was read";
  } catch (const DataReaderLibException& error) {
    EXPECT_EQ(error.status(), KVError);
    EXPECT_STREQ(error.what(), "Channel not stored");
  }
}

TEST_F(SingleValues, TextsHonourTheirLength) {
  for (const std::string name : {"Note", "Memo"}) {
    SCOPED_TRACE(name);
    std::vector<char> text(16, '#');
    text.back() = '\0';
    opened_.engine().GetSingleTextValue(Named(name), text.data(), 10);
    EXPECT_STREQ(text.data(), kLongText.substr(0, 9).c_str());
    EXPECT_EQ(text[10], '#');
    opened_.engine().GetSingleTextValue(Named(name), text.data(), 0);
    EXPECT_EQ(text[0], kLongText[0]);  // a length of 0 writes nothing
    EXPECT_EQ(HeaderText(name, 64), kLongText);
  }
  std::vector<char> blank(8, '#');
  opened_.engine().GetSingleTextValue(Named("Blank"), blank.data(), 8);
  EXPECT_STREQ(blank.data(), "");  // an online text of length 0
  EXPECT_EQ(HeaderText("Count", 32), "42");
  EXPECT_EQ(HeaderText("Gain", 32), "1.500000");
  EXPECT_EQ(HeaderText("Gain", 4), "1.5");
  std::vector<char> text(300, '#');
  opened_.engine().GetTextValues(Named("Note"), 0, 1, text.data(), nullptr);
  EXPECT_EQ(std::string(text.data()), kLongText);
  EXPECT_EQ(opened_.engine().GetTextValuesCount(Named("Note")), 1);
}

TEST_F(SingleValues, RatesAndKinds) {
  CDataLoadEngine& engine = opened_.engine();
  EXPECT_DOUBLE_EQ(engine.GetChRate(Named("Gain")), 1 / 0.6);
  EXPECT_EQ(engine.GetChRate(Named("Empty")), 0);
  EXPECT_EQ(engine.GetChType(Named("Gain")), 2);
  const CKVChannel* voltage = &opened_.Channel("AI;0");
  EXPECT_EQ(engine.GetChType(voltage), 0);
  EXPECT_EQ(engine.GetChRate(voltage), EngineTest::kSampleRate);
  EXPECT_EQ(engine.GetChRate(Named("Slow")), EngineTest::kSampleRate / 4);
}

}  // namespace
}  // namespace Korvane::DataReader

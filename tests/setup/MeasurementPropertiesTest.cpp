// Measurement properties, reduced-level rates, the measurement-info document,
// the shared layouts, and the setups that cannot be interpreted.
#include <gtest/gtest.h>

#include <stdexcept>

#include "SetupTestSupport.h"
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {
namespace {

using SetupTest::Open;
using SetupTest::OpenedSetup;
using SetupTest::SetupFileOptions;
using TestKit::ChannelDefinition;
using TestKit::OnlineInfoRecord;
using TestKit::SetupBuilder;

TEST(MeasurementProperties, DefaultsAndReducedLevelRates) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "Voltage");
  auto opened = Open(setup);
  CKVXMLHelper& helper = opened->helper();
  EXPECT_EQ(helper.GetSampleRate(), 1000.0);
  EXPECT_EQ(helper.GetBlockSize(), 100);
  EXPECT_EQ(helper.GetIBRate(), 20);
  EXPECT_EQ(helper.GetStartStoreTime(), 0.0);
  EXPECT_EQ(helper.GetExternalClock(), 0.0);
  EXPECT_EQ(helper.GetDataStoreMode(), 0);
  EXPECT_EQ(helper.GetMeasIndex(), -1);
  EXPECT_EQ(helper.GetIBAbsRate(-1), 1);
  EXPECT_EQ(helper.GetIBAbsRate(0), 100);
  EXPECT_EQ(helper.GetIBAbsRate(2), 100 * 20 * 20);
  EXPECT_EQ(helper.GetIBAbsRate(7), 100LL * 20 * 20 * 20 * 20 * 20);
  EXPECT_EQ(helper.GetIBAbsMidRate(0), 1);
  EXPECT_EQ(helper.GetIBAbsMidRate(2), 400);
  EXPECT_EQ(helper.GetIBAbsMidRate(9), 20LL * 20 * 20 * 20 * 20);
  EXPECT_EQ(helper.GetIBMidRate(2), 400);
}

TEST(MeasurementProperties, GivenValuesAreRead) {
  SetupBuilder setup;
  setup.Property("SampleRate", 2500.5).Property("StartStoreTime", 45000.25).Property("BlockSize", 50);
  setup.Property("IBRate", 10).Property("ExternalClock", 100.0).Property("StartingIBLevel", 1);
  setup.DataStoreMode(3);
  setup.AddChannel("AI;0", "Voltage");
  auto opened = Open(setup);
  CKVXMLHelper& helper = opened->helper();
  EXPECT_EQ(helper.GetRate(), 2500.5);
  EXPECT_EQ(helper.GetStartStoreTime(), 45000.25);
  EXPECT_EQ(helper.GetExternalClock(), 100.0);
  EXPECT_EQ(helper.GetDataStoreMode(), 3);
  EXPECT_EQ(helper.GetIBRates()[0], 50u);
  EXPECT_EQ(helper.GetIBRates()[5], 10u);
  EXPECT_EQ(helper.GetIBAbsRate(1), 500);
  // Synchronous channels start at the measurement's first stored level.
  EXPECT_EQ(opened->Channel("AI;0").StoredFirstAsyncIBLevel, 1);

  opened->helper().CloseFile();
  EXPECT_EQ(helper.GetDataStoreMode(), 0);
  EXPECT_EQ(helper.GetChannelCount(), 0);
  EXPECT_EQ(helper.GetOnlineInfo(), nullptr);
}

TEST(MeasurementProperties, DataStoreModeNeedsTheTriggerElement) {
  SetupBuilder setup;
  setup.KorvaneSetup().Ensure("Storing").Set("DataStoreMode", 2);
  setup.AddChannel("AI;0", "Voltage");
  EXPECT_EQ(Open(setup)->helper().GetDataStoreMode(), 0);
}

TEST(MeasurementProperties, MeasIndexComesFromTheMeasurementInfo) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "Voltage");
  SetupFileOptions options;
  options.measInfo = TestKit::MeasInfoText(4);
  auto opened = Open(setup, options);
  EXPECT_TRUE(opened->measInfoAccepted());
  EXPECT_EQ(opened->helper().GetMeasIndex(), 4);

  options.measInfo = "<?xml version=\"1.0\"?><MeasInfo><MeasIndex>7</MeasIndex><Open>";
  auto broken = Open(setup, options);
  EXPECT_FALSE(broken->measInfoAccepted());
  EXPECT_EQ(broken->helper().GetMeasIndex(), -1);
  EXPECT_EQ(broken->helper().GetChannelCount(), 1);
}

TEST(MeasurementProperties, DeviceNamesByIndexAttribute) {
  SetupBuilder setup;
  setup.DeviceNames({{"2", "Logger"}, {"0", "Host"}, {"7", "Ignored"}});
  setup.SystemMonitor().AddCopy(ChannelDefinition("OutputChannel", "System Monitor;102;5", "CPU"));
  setup.SystemMonitor().AddCopy(ChannelDefinition("OutputChannel", "System Monitor;99;5", "Other"));
  setup.Store("System Monitor;102;5");
  setup.Store("System Monitor;99;5");
  auto opened = Open(setup);
  CKVXMLHelper& helper = opened->helper();
  ASSERT_EQ(helper.GetDeviceNameCount(), 3);
  EXPECT_STREQ(helper.GetDeviceName(0), "Host");
  EXPECT_STREQ(helper.GetDeviceName(1), "");
  EXPECT_STREQ(helper.GetDeviceName(2), "Logger");
  EXPECT_EQ(opened->Channel("System Monitor;102;5").DeviceName, "Logger");
  EXPECT_EQ(opened->Channel("System Monitor;102;5").LongName, "Logger/CPU");
  EXPECT_EQ(opened->Channel("System Monitor;99;5").DeviceName, "");
}

TEST(ValueReaders, BooleansColoursAndLargePositions) {
  SetupBuilder setup;
  auto& device = setup.Device("AI");
  const char* booleans[] = {"true", "True", "TRUE", "1", "yes"};
  for (int i = 0; i < 5; ++i) {
    const std::string index = "AI;" + std::to_string(i);
    setup.Store(index);
    device.AddCopy(ChannelDefinition("OutputChannel", index, "b").Set("Async", booleans[i]));
  }
  setup.Store("Math;0");
  TestKit::OfflineRecord offline;
  offline.posInDBStream = 3000000000LL;
  TestKit::XmlNode hex = ChannelDefinition("OutputChannel", "Math;0", "hex");
  hex.Set("DisplayColor", "#00FF00").With(TestKit::OfflineInfoRecord(offline));
  device.AddCopy(hex);
  setup.Store("Math;1");
  device.AddCopy(ChannelDefinition("OutputChannel", "Math;1", "dec").Set("DisplayColor", "65280"));
  setup.Store("Math;2");
  device.AddCopy(ChannelDefinition("OutputChannel", "Math;2", "white").Set("DisplayColor", "4294967295"));
  auto opened = Open(setup);
  EXPECT_TRUE(opened->Channel("AI;0").Async);
  EXPECT_TRUE(opened->Channel("AI;1").Async);
  EXPECT_TRUE(opened->Channel("AI;2").Async);
  EXPECT_FALSE(opened->Channel("AI;3").Async);
  EXPECT_FALSE(opened->Channel("AI;4").Async);
  EXPECT_EQ(opened->Channel("Math;0").DisplayColor, 65280u);
  EXPECT_EQ(opened->Channel("Math;1").DisplayColor, 65280u);
  EXPECT_EQ(opened->Channel("Math;2").DisplayColor, 0xFFFFFFFFu);
  ASSERT_TRUE(opened->Channel("Math;0").OfflineInfo);
  EXPECT_EQ(opened->Channel("Math;0").OfflineInfo->PosInDBStream, 3000000000LL);
}

TEST(ValueReaders, NumbersTooLongForTheFieldAreCorruptNotCut) {
  SetupBuilder setup;
  setup.Store("AI;0");
  setup.Device("AI").AddCopy(ChannelDefinition("OutputChannel", "AI;0", "x").Set("SRDiv", "10000000001"));
  EXPECT_THROW(Open(setup), FileCorruptException);

  SetupBuilder wide;
  wide.Property("BlockSize", "0000000000100");  // thirteen characters, value 100
  wide.AddChannel("AI;0", "x");
  EXPECT_EQ(Open(wide)->helper().GetBlockSize(), 100);
}

TEST(ValueReaders, MalformedDecimalNumbersAreACorruptSetup) {
  SetupBuilder setup;
  setup.Property("SampleRate", "fast");
  setup.AddChannel("AI;0", "x");
  EXPECT_THROW(Open(setup), FileCorruptException);

  SetupBuilder huge;
  huge.Property("SampleRate", "1e999");
  huge.AddChannel("AI;0", "x");
  EXPECT_THROW(Open(huge), FileCorruptException);

  SetupBuilder comma;
  comma.Property("SampleRate", "2,5");
  comma.AddChannel("AI;0", "x");
  EXPECT_EQ(Open(comma)->helper().GetSampleRate(), 2.5);
}

TEST(SharedLayout, ComputedFromTheChannelsWhenTheSetupGivesNone) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a");
  setup.AddChannel("AI;1", "b").Set("SRDiv", 2);
  setup.AddChannel("AI;2", "single").Set("SingleValue", true);
  setup.AddChannel("AI;3", "calc").Set("SingleValue", true).Set("CalcSingleValue", 1);
  setup.AddChannel("AI;4", "second single").Set("SingleValue", true);
  auto opened = Open(setup);
  const CKVOnlineInfo* layout = opened->helper().GetOnlineInfo();
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->DBOffset, 300);
  EXPECT_EQ(opened->Channel("AI;0").OnlineInfo->DBOffset, 0);
  EXPECT_EQ(opened->Channel("AI;1").OnlineInfo->DBOffset, 200);
  EXPECT_EQ(opened->Channel("AI;2").OnlineInfo->DBOffset, 0);
  EXPECT_EQ(opened->Channel("AI;3").OnlineInfo->DBOffset, 0);
  EXPECT_EQ(opened->Channel("AI;4").OnlineInfo->DBOffset, 8);
  // int16 data with BitCount 16: 16 bytes per item, 32 above the first level.
  EXPECT_EQ(opened->Channel("AI;1").OnlineInfo->IBOffset[0], 16);
  EXPECT_EQ(layout->IBOffset[0], 32);
  EXPECT_EQ(layout->IBOffset[1], 64);
}

TEST(SharedLayout, GivenMeasurementLayoutKeepsTheChannelsRecords) {
  SetupBuilder setup;
  setup.MeasurementOnlineInfo(1234, {10, 20, 30, 40, 50, 60});
  setup.AddChannel("AI;0", "a").With(OnlineInfoRecord(16, {4, 8}, 2, "BINSTRM"));
  setup.AddChannel("AI;1", "b");
  auto opened = Open(setup);
  const CKVOnlineInfo* layout = opened->helper().GetOnlineInfo();
  EXPECT_EQ(layout->DBOffset, 1234);
  EXPECT_EQ(layout->IBOffset[5], 60);
  const CKVChannel& a = opened->Channel("AI;0");
  ASSERT_TRUE(a.OnlineInfo);
  EXPECT_EQ(a.OnlineInfo->DBOffset, 16);
  EXPECT_EQ(a.OnlineInfo->IBOffset[1], 8);
  EXPECT_EQ(a.OnlineInfo->AsyncIndex, 2);
  EXPECT_STREQ(a.OnlineInfo->BinStream, "BINSTRM");
  EXPECT_FALSE(opened->Channel("AI;1").OnlineInfo);
}

TEST(SharedLayout, ReducedStreamEntriesNeedALevelAndStopAtSix) {
  SetupBuilder setup;
  auto& online = setup.Devices().Add("OnlineInfo");
  online.Set("DBOffset", 10);
  online.Add("IBStream").Set("Offset", 99);  // no Level: skipped
  for (int level = 0; level < 7; ++level) online.Add("IBStream").Attr("Level", "x").Set("Offset", 100 + level);
  setup.AddChannel("AI;0", "a");
  auto opened = Open(setup);
  const CKVOnlineInfo* layout = opened->helper().GetOnlineInfo();
  EXPECT_EQ(layout->IBOffset[0], 100);
  EXPECT_EQ(layout->IBOffset[5], 105);
}

TEST(SetupRejection, MissingSectionsAreCorrupt) {
  const char* texts[] = {
      "<?xml version=\"1.0\"?><Doc><Other/></Doc>",
      "<?xml version=\"1.0\"?><Doc><System><Other/></System></Doc>",
      "<?xml version=\"1.0\"?><Doc><System><KorvaneSetup><StoredChannels/></KorvaneSetup></System></Doc>",
      "<?xml version=\"1.0\"?><Doc><System><KorvaneSetup><Devices/></KorvaneSetup></System></Doc>",
  };
  for (const char* text : texts) {
    EXPECT_THROW(OpenedSetup{text}, FileCorruptException) << text;
  }
}

TEST(SetupRejection, TextThatDoesNotParseIsCorrupt) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a");
  std::string text = setup.Text();
  text.resize(text.size() - 30);  // loses closing tags
  EXPECT_THROW(OpenedSetup{text}, FileCorruptException);
}

TEST(SetupRejection, StoredEntryWithoutIndexIsCorrupt) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a");
  setup.StoreWithoutIndex();
  EXPECT_THROW(Open(setup), FileCorruptException);
}

TEST(SetupRejection, ValuesThatWouldDivideOrSizeByNonsense) {
  const std::pair<const char*, const char*> properties[] = {
      {"BlockSize", "0"}, {"IBRate", "-5"}, {"SampleRate", "0"}, {"StartingIBLevel", "6"}, {"IBRate", "100000"}};
  for (const auto& [name, value] : properties) {
    SetupBuilder setup;
    setup.Property(name, value);
    setup.AddChannel("AI;0", "a");
    EXPECT_THROW(Open(setup), FileCorruptException) << name << " " << value;
  }
  SetupBuilder divider;
  divider.AddChannel("AI;0", "a").Set("SRDiv", 0);
  EXPECT_THROW(Open(divider), FileCorruptException);
  SetupBuilder type;
  type.AddChannel("AI;0", "a").Set("DataType", 19);
  EXPECT_THROW(Open(type), FileCorruptException);
  SetupBuilder level;
  level.AddChannel("AI;0", "a").Set("Async", true).Set("StoredFirstAsyncIBLevel", 9);
  EXPECT_THROW(Open(level), FileCorruptException);
}

}  // namespace
}  // namespace Korvane::DataReader

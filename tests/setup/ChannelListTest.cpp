// The channel list built from setup documents: matching of stored entries and
// definitions, every device kind of the walk, binding of decoded channels,
// category lists, exported definitions and the rejected setups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SetupTestSupport.h"
#include "common/DataReaderLibException.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader {
namespace {

using SetupTest::Open;
using TestKit::ByteWriter;
using TestKit::ChannelDefinition;
using TestKit::OfflineInfoRecord;
using TestKit::OfflineRecord;
using TestKit::OnlineInfoRecord;
using TestKit::SetupBuilder;
using TestKit::XmlNode;

OfflineRecord OwnStreams(int status) {
  OfflineRecord record;
  record.status = status;
  record.dbStreamName = "CH0DATA";
  record.ibStreams = {{"CH0IB0", 0}, {"CH0IB1", 0}};
  record.nodeStreamName = "CH0NODE";
  return record;
}

TEST(ChannelMatching, DuplicateIndexesAreFilledInListOrder) {
  SetupBuilder setup;
  setup.Store("AI;0");
  setup.Store("AI;0");
  auto& device = setup.Device("AI");
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;0", "first"));
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;0", "second"));
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;0", "third, nothing left"));
  auto opened = Open(setup);
  CKVXMLHelper& helper = opened->helper();
  ASSERT_EQ(helper.GetChannelCount(), 2);
  EXPECT_STREQ(helper.GetChannel(0)->Name, "first");
  EXPECT_STREQ(helper.GetChannel(1)->Name, "second");
  EXPECT_EQ(helper.FindChannelByKVIndex("AI;0", 1), helper.GetChannel(1));
  EXPECT_EQ(helper.FindChannelByKVIndex("AI;0", 2), nullptr);
  EXPECT_EQ(helper.GetChannel(1)->ChannelNumber, 1);
}

TEST(ChannelMatching, StoredChannelWithoutUsableDefinitionIsRejected) {
  SetupBuilder unused;
  unused.AddChannel("AI;0", "a").Set("Used", false);
  EXPECT_THROW(Open(unused), FileCorruptException);

  SetupBuilder notStored;
  notStored.AddChannel("AI;0", "a").Set("Stored", false);
  EXPECT_THROW(Open(notStored), FileCorruptException);

  SetupBuilder missing;
  missing.AddChannel("AI;0", "a");
  missing.Store("AI;1");
  EXPECT_THROW(Open(missing), FileCorruptException);
}

TEST(ChannelMatching, DefinitionsWithoutStoredChannelAreIgnored) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a");
  setup.Device("AI").AddCopy(ChannelDefinition("OutputChannel", "AI;9", "not stored"));
  EXPECT_EQ(Open(setup)->helper().GetChannelCount(), 1);
}

TEST(ChannelMatching, OldNumericGroupCodesMatchTheirNames) {
  SetupBuilder setup;
  setup.Store("1;0");
  setup.Store("CAN;4;7");
  auto& device = setup.Device("AI");
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;0", "new form"));
  setup.Device("X").AddCopy(ChannelDefinition("OutputChannel", "2000;4;7", "old form").Set("DLC", 8));
  auto opened = Open(setup);
  const CKVChannel& ai = opened->Channel("AI;0");
  EXPECT_STREQ(ai.KVIndex, "AI;0");
  EXPECT_EQ(ai.ChannelGroup, kGroupAI);
  EXPECT_STREQ(ai.Name, "new form");
  EXPECT_EQ(ai.IndexText, "AI;0");
  const CKVChannel& can = opened->Channel("CAN;4;7");
  EXPECT_STREQ(can.Name, "old form");
  EXPECT_EQ(can.IndexText, "2000;4;7");
  EXPECT_EQ(can.DataType, kTypeCAN8);
}

TEST(ChannelValues, StoredEntryScaleWinsOverTheDefinition) {
  SetupBuilder setup;
  setup.Store("Math;0").Set("Scale", 2.0).Set("Offset", -1.0);
  setup.Store("Math;1");
  setup.Store("Math;2");
  auto& device = setup.Device("Math");
  device.AddCopy(ChannelDefinition("OutputChannel", "Math;0", "a").Set("Scale", 5.0).Set("Offset", 7.0));
  device.AddCopy(ChannelDefinition("OutputChannel", "Math;1", "b").Set("Scale", 5.0).Set("Offset", 7.0));
  device.AddCopy(ChannelDefinition("OutputChannel", "Math;2", "c"));
  auto opened = Open(setup);
  EXPECT_EQ(opened->Channel("Math;0").Scale, 2.0);
  EXPECT_EQ(opened->Channel("Math;0").Offset, -1.0);
  EXPECT_EQ(opened->Channel("Math;1").Scale, 5.0);
  EXPECT_EQ(opened->Channel("Math;1").Offset, 7.0);
  EXPECT_EQ(opened->Channel("Math;2").Scale, 1.0);
  EXPECT_EQ(opened->Channel("Math;2").Offset, 0.0);
  double scale = 0, offset = 0;
  opened->Channel("Math;0").GetFactors(scale, offset);
  EXPECT_EQ(scale, 2.0);
  EXPECT_EQ(offset, -1.0);
}

TEST(ChannelValues, BitsGiveTheRangeLogarithmWhenBitsLogIsAbsent) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a").Set("Bits", 4096);
  setup.AddChannel("AI;1", "b").Set("Bits", 0);
  setup.AddChannel("AI;2", "c").Set("Bits", 4096).Set("BitsLog", 10);
  setup.AddChannel("AI;3", "d");
  auto opened = Open(setup);
  EXPECT_EQ(opened->Channel("AI;0").BitsLog, 12);
  EXPECT_EQ(opened->Channel("AI;1").BitsLog, 0);
  EXPECT_EQ(opened->Channel("AI;2").BitsLog, 10);
  EXPECT_EQ(opened->Channel("AI;3").BitsLog, 16);
  EXPECT_EQ(opened->Channel("AI;0").AIScale, 10.0 / 4096);
}

TEST(ChannelValues, AmplifierValuesOfParentAndStoredEntry) {
  SetupBuilder setup;
  setup.MeasurementOnlineInfo(200, {});  // channels keep the records the setup gives
  setup.Store("AI;0").Set("AmplScale", 4.0);
  setup.Store("AI;1").Set("AmplShortInfo", "x");
  setup.Store("AI;2").With(OnlineInfoRecord(48, {}, 3));
  auto& device = setup.Device("AI");
  device.Set("AmplScale", 2.0).Set("AmplOffset", 0.5).Set("CustomRange", 2048).Set("UseCustomScaleForSingleValues", true);
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;0", "a").Set("Range", 100));
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;1", "b"));
  device.AddCopy(ChannelDefinition("OutputChannel", "AI;2", "c"));
  auto opened = Open(setup);
  const CKVChannel& a = opened->Channel("AI;0");
  EXPECT_EQ(a.AmplScale, 4.0);
  EXPECT_EQ(a.AmplOffset, 0.0);  // the stored entry's own default
  EXPECT_EQ(a.Range, 2048);
  EXPECT_TRUE(a.UseCustomScaleForSingleValues);
  EXPECT_EQ(opened->Channel("AI;1").AmplScale, 1.0);
  EXPECT_EQ(opened->Channel("AI;2").AmplScale, 2.0);
  EXPECT_EQ(opened->Channel("AI;2").AmplOffset, 0.5);
  ASSERT_TRUE(opened->Channel("AI;2").OnlineInfo);
  EXPECT_EQ(opened->Channel("AI;2").OnlineInfo->AsyncIndex, 3);
}

TEST(DigitalPorts, DataTypeFollowsTheInputCount) {
  const std::pair<int, int> cases[] = {{8, kTypeInt8}, {12, kTypeInt16}, {16, kTypeInt16}, {24, kTypeInt32}};
  for (const auto& [count, type] : cases) {
    SetupBuilder setup;
    setup.Store("DI;2");
    setup.DIPort("2", count, "Port").Set("DataType", 7);
    auto opened = Open(setup);
    const CKVChannel& port = opened->Channel("DI;2");
    EXPECT_EQ(port.DICount, count);
    EXPECT_EQ(port.DataType, type) << count;
    EXPECT_FALSE(port.Listed);
  }
}

TEST(DigitalPorts, BitsAreDecodedFromTheirPort) {
  SetupBuilder setup;
  setup.Store("DI;2");
  setup.Store("DI;2;5");
  setup.Store("DI;3");
  setup.Store("DI;3;0");
  setup.DIPort("2", 12, "Port 2");
  XmlNode& device = setup.Devices().Add("Device").Attr("Type", "DI");
  device.AddCopy(ChannelDefinition("OutputChannel", "DI;2;5", "Bit 5").Set("BitNo", 5));
  device.AddCopy(ChannelDefinition("OutputChannel", "DI;3;0", "Bit 0"));
  setup.DIPort("3", 4, "Port 3");
  auto opened = Open(setup);
  CKVChannel& bit = opened->Channel("DI;2;5");
  EXPECT_TRUE(bit.DecodedFromParent);
  EXPECT_TRUE(bit.Listed);
  EXPECT_EQ(bit.ParentChannel, &opened->Channel("DI;2"));
  EXPECT_EQ(opened->Channel("DI;3;0").ParentChannel, &opened->Channel("DI;3"));
  // Bits take no slice of the data block: the port's slice holds them.
  EXPECT_EQ(opened->helper().GetOnlineInfo()->DBOffset, 2 * 100 + 1 * 100);

  const auto samples = ByteWriter().U16(0x0020).U16(0x0000).Take();
  int64_t position = 0;
  EXPECT_EQ(bit.GetScaledValueFromBuf(samples.data(), position, nullptr), 1.0);
  EXPECT_EQ(bit.GetScaledValueFromBuf(samples.data(), position, nullptr), 0.0);
  EXPECT_EQ(position, 4);
}

TEST(DigitalPorts, BitWithoutPortIsRejected) {
  SetupBuilder setup;
  setup.AddChannel("DI;4;1", "orphan bit");
  EXPECT_THROW(Open(setup), FileCorruptException);
}

// A CAN device with one port, message CAN;0;100 (DLC 8) and two signals.
void AddCANMessage(SetupBuilder& setup, bool storeDecoded) {
  setup.Store("CAN;0;100");
  setup.Store("CAN;0;100;3");
  setup.Store("CAN;0;100;4");
  XmlNode& port = setup.CANPort(storeDecoded);
  XmlNode& message = port.AddCopy(ChannelDefinition("Message", "CAN;0;100", "Message 100").Set("DLC", 8));
  XmlNode intel("OutputChannel");
  intel.Set("UniqueId", "3").Set("Name", "intel").Set("StartBit", 4).Set("BitLength", 12).Set("CANDataType", 1);
  message.AddCopy(intel);
  XmlNode motorola("OutputChannel");
  motorola.Set("UniqueId", "4").Set("Name", "motorola").Set("StartBit", 24).Set("BitLength", 16);
  motorola.Set("DataDirection", 1).Set("Scale", 0.5);
  message.AddCopy(motorola);
}

TEST(CANDevices, SignalsBindToTheirMessageAndDecodeBothByteOrders) {
  SetupBuilder setup;
  AddCANMessage(setup, false);
  auto opened = Open(setup);
  CKVChannel& message = opened->Channel("CAN;0;100");
  CKVChannel& intel = opened->Channel("CAN;0;100;3");
  CKVChannel& motorola = opened->Channel("CAN;0;100;4");
  EXPECT_TRUE(message.Async);
  EXPECT_EQ(message.DataType, kTypeCAN8);
  EXPECT_TRUE(message.OnlyIBTimeStamp);
  EXPECT_FALSE(message.Listed);
  EXPECT_TRUE(intel.Async);
  EXPECT_TRUE(intel.DecodedFromParent);
  EXPECT_TRUE(intel.Listed);
  EXPECT_EQ(intel.ParentChannel, &message);
  EXPECT_EQ(motorola.ParentChannel, &message);
  EXPECT_EQ(intel.DataType, 1);
  EXPECT_EQ(intel.GetDataTypeSize(), 12);
  EXPECT_STREQ(intel.Name, "intel");

  const auto sample = ByteWriter().U8(0xAB).U8(0xCD).U8(0x12).U8(0x34).U8(0).U32(0).Take();
  int64_t position = 0;
  EXPECT_EQ(intel.GetScaledValueFromBuf(sample.data(), position, nullptr), -806.0);
  EXPECT_EQ(position, 8);
  position = 0;
  EXPECT_EQ(motorola.GetScaledValueFromBuf(sample.data(), position, nullptr), 0x1234 * 0.5);
  // Motorola StartBit 24: bytes 3 (low) and 2 (high).
  EXPECT_EQ(motorola.StartByte, 3);
  EXPECT_EQ(motorola.EndByte, 2);
}

TEST(CANDevices, StoredDecodedSignalsAreDoubles) {
  SetupBuilder setup;
  AddCANMessage(setup, true);
  auto opened = Open(setup);
  EXPECT_EQ(opened->Channel("CAN;0;100;3").DataType, kTypeDouble);
  EXPECT_TRUE(opened->Channel("CAN;0;100;3").StoreDecoded);
}

TEST(CANDevices, PortChannelsAndMessageCounters) {
  for (const bool storeDecoded : {false, true}) {
    SetupBuilder setup;
    setup.Store("CAN;1");
    setup.Store("CAN;1;1610612736");
    setup.Store("CAN;1;1610612736;1");
    XmlNode& port = setup.CANPort(storeDecoded);
    port.AddCopy(ChannelDefinition("PortChannel", "CAN;1", "Port raw").Set("DataType", 14));
    port.AddCopy(ChannelDefinition("MsgCountChannelNode", "CAN;1;1610612736", "Message counts"))
        .Add("OutputChannel")
        .Set("UniqueId", "1")
        .Set("Name", "Messages");
    auto opened = Open(setup);
    const CKVChannel& raw = opened->Channel("CAN;1");
    EXPECT_TRUE(raw.IsPortChannel);
    EXPECT_TRUE(raw.IsCANPortChannel());
    EXPECT_EQ(raw.DataType, kTypeCANRecordLong);
    EXPECT_TRUE(raw.Listed);
    const CKVChannel& counter = opened->Channel("CAN;1;1610612736;1");
    EXPECT_TRUE(counter.IsCANMessageCountChannels());
    EXPECT_TRUE(counter.Async);
    // Stored decoded, the count has samples of its own; otherwise it is
    // decoded out of the count message.
    EXPECT_EQ(counter.DecodedFromParent, !storeDecoded);
    EXPECT_EQ(counter.ParentChannel, storeDecoded ? nullptr : &opened->Channel("CAN;1;1610612736"));
  }
}

TEST(CANDevices, SignalWithoutMessageIsRejected) {
  SetupBuilder setup;
  setup.AddChannel("CAN;0;100;3", "orphan signal");
  EXPECT_THROW(Open(setup), FileCorruptException);
}

TEST(MathModules, OfflineModuleChannelsAreHiddenAndKeepTheirRecords) {
  SetupBuilder setup;
  setup.Store("Math;0");
  setup.Store("Math;1");
  setup.Store("Math;2");
  setup.MathModule("Offline module", 1)
      .AddCopy(ChannelDefinition("OutputChannel", "Math;0", "result"))
      .With(OnlineInfoRecord(96, {8}, 1));
  setup.MathModule("Online module", 0).AddCopy(ChannelDefinition("OutputChannel", "Math;1", "sum"));
  setup.Devices().Add("Folder").Add("Math").AddCopy(ChannelDefinition("OutputChannel", "Math;2", "plain"));
  auto opened = Open(setup);
  const CKVChannel& hidden = opened->Channel("Math;0");
  EXPECT_EQ(hidden.MathModuleOffline, 1);
  EXPECT_FALSE(hidden.Listed);
  EXPECT_EQ(hidden.ModuleName, "Offline module");
  EXPECT_EQ(hidden.LongName, "Offline module/result");
  ASSERT_TRUE(hidden.OnlineInfo);
  EXPECT_EQ(hidden.OnlineInfo->DBOffset, 96);
  const CKVChannel& shown = opened->Channel("Math;1");
  EXPECT_TRUE(shown.Listed);
  EXPECT_EQ(shown.OnlineInfo->DBOffset, 0);
  EXPECT_EQ(shown.ModuleName, "Online module");
  const CKVChannel& plain = opened->Channel("Math;2");
  EXPECT_EQ(plain.ModuleName, "");
  EXPECT_EQ(plain.MathModuleOffline, 0);
  EXPECT_EQ(plain.OnlineInfo->DBOffset, 200);
}

TEST(Variables, HeaderEntriesAndStoredStatus) {
  SetupBuilder setup;
  setup.Store("Variables;1;1");
  setup.Store("Variables;0;2");
  setup.VariableChannel("Variables;1;1", "Operator", kTypeText);
  setup.VariableChannel("Variables;0;2", "Counter")
      .Set("SingleValue", false)
      .Set("Offline", 2)
      .Set("BitCount", 8)
      .With(OfflineInfoRecord(OwnStreams(0)));
  auto opened = Open(setup);
  const CKVChannel& header = opened->Channel("Variables;1;1");
  EXPECT_TRUE(header.SingleValue);
  EXPECT_TRUE(header.ReadIndexFromSetup);
  EXPECT_TRUE(header.IsDataHeader());
  EXPECT_TRUE(header.ListedAsText);
  const CKVChannel& counter = opened->Channel("Variables;0;2");
  EXPECT_FALSE(counter.SingleValue);
  EXPECT_FALSE(counter.IsDataHeader());
  EXPECT_EQ(counter.BitCount, 0);
  ASSERT_TRUE(counter.OfflineInfo);
  EXPECT_EQ(counter.GetOffline(), 2);
}

TEST(Variables, VariableWithoutStoredChannelIsRejected) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a");
  setup.VariableChannel("Variables;0;9", "nowhere");
  EXPECT_THROW(Open(setup), FileCorruptException);
}

TEST(DeviceKinds, SlotsOfVideoImportRTDAQOutAndLumaq) {
  SetupBuilder setup;
  const std::pair<const char*, const char*> slots[] = {
      {"Import", "Import;0"}, {"RT", "RT;0;1"}, {"DAQ Out", "DAQ Out;0"}, {"Lumaq", "Lumaq;0"}};
  for (const auto& [type, index] : slots) {
    setup.Store(index);
    setup.Device(type).AddCopy(ChannelDefinition("Slot", index, type));
  }
  setup.Store("Video;0");
  XmlNode camera = ChannelDefinition("Slot", "Video;0", "Camera");
  camera.Set("Offline", 1).With(OfflineInfoRecord(OwnStreams(3)));
  setup.Device("Video").AddCopy(camera);
  auto opened = Open(setup);
  for (const auto& [type, index] : slots) EXPECT_STREQ(opened->Channel(index).Name, type);
  EXPECT_EQ(opened->Channel("Video;0").GetOffline(), 1);
  EXPECT_EQ(opened->Channel("RT;0;1").ChannelGroup, kGroupRT);
}

TEST(DeviceKinds, SecondVideoDeviceIsWalkedForTheFirst) {
  SetupBuilder setup;
  setup.Store("Video;1");
  setup.Device("Video").AddCopy(ChannelDefinition("Slot", "Video;0", "ignored first"));
  setup.Device("Video").AddCopy(ChannelDefinition("Slot", "Video;1", "second"));
  EXPECT_STREQ(Open(setup)->Channel("Video;1").Name, "second");
}

TEST(DeviceKinds, RemotePluginsSystemMonitorAndFlatDevices) {
  SetupBuilder setup;
  setup.Store("AI;0").Set("Scale", 3.0);
  setup.Device("Remote").Add("Box").Add("Card").AddCopy(
      ChannelDefinition("OutputChannel", "AI;0", "remote").Set("RealScale", 2.0).Set("RealOffset", 1.0));
  setup.Store("Plugins;0;1");
  setup.Store("Plugins;0;2");
  XmlNode& plugin = setup.Device("Plugins");
  plugin.Add("Slot").Set("Index", "Plugins;0;0").Add("Group").AddCopy(
      ChannelDefinition("OutputChannel", "Plugins;0;1", "nested plugin"));
  plugin.AddCopy(ChannelDefinition("Slot", "Plugins;0;2", "plugin slot"));
  setup.Store("System Monitor;100;1");
  setup.SystemMonitor().Add("Slot").AddCopy(ChannelDefinition("Slot", "System Monitor;100;1", "cpu"));
  const std::pair<const char*, const char*> flat[] = {{"Event log", "Event log;0"},
                                                      {"Control channels", "Control;0"},
                                                      {"Daq/Additional", "PAD;0"},
                                                      {"MathOld", "MathOld;0"}};
  for (const auto& [type, index] : flat) {
    setup.Store(index);
    setup.Device(type).AddCopy(ChannelDefinition("Anything", index, type));
  }
  auto opened = Open(setup);
  const CKVChannel& remote = opened->Channel("AI;0");
  EXPECT_TRUE(remote.IsRemote);
  EXPECT_EQ(remote.ChannelGroup, kGroupRemote);
  EXPECT_EQ(remote.GetScaledValue(2), 5.0);
  EXPECT_STREQ(opened->Channel("Plugins;0;1").Name, "nested plugin");
  EXPECT_STREQ(opened->Channel("Plugins;0;2").Name, "plugin slot");
  EXPECT_STREQ(opened->Channel("System Monitor;100;1").Name, "cpu");
  for (const auto& [type, index] : flat) EXPECT_STREQ(opened->Channel(index).Name, type);
}

TEST(DeviceKinds, PluginsElementIsWalkedOnlyBeforeThePluginsDevice) {
  SetupBuilder before;
  before.Store("Plugins;1;1");
  before.Devices().Add("Plugins").AddCopy(ChannelDefinition("OutputChannel", "Plugins;1;1", "walked"));
  before.Device("Plugins");
  EXPECT_STREQ(Open(before)->Channel("Plugins;1;1").Name, "walked");

  SetupBuilder after;
  after.Store("Plugins;1;1");
  after.Device("Plugins");
  after.Devices().Add("Plugins").AddCopy(ChannelDefinition("OutputChannel", "Plugins;1;1", "skipped"));
  EXPECT_THROW(Open(after), FileCorruptException);
}

TEST(DeviceKinds, NestingBeyondAnySetupIsRejected) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a");
  XmlNode* node = &setup.Devices().Add("Level");
  for (int depth = 0; depth < 400; ++depth) node = &node->Add("Level");
  EXPECT_THROW(Open(setup), FileCorruptException);
}

TEST(Categories, ChannelsSortByStorageAndKind) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "online sync");
  setup.AddChannel("AI;1", "online async").Set("Async", true);
  setup.AddChannel("AI;2", "online single").Set("SingleValue", true);
  setup.AddChannel("AI;3", "own streams sync").With(OfflineInfoRecord(OwnStreams(2)));
  setup.AddChannel("AI;4", "own streams async").Set("AsyncDivider", true).With(OfflineInfoRecord(OwnStreams(3)));
  setup.AddChannel("AI;5", "own streams single").Set("SingleValue", true).With(OfflineInfoRecord(OwnStreams(2)));
  setup.AddChannel("AI;6", "nothing stored").With(OfflineInfoRecord(OwnStreams(1)));
  setup.AddChannel("AI;7", "shared after all").With(OfflineInfoRecord(OwnStreams(0)));
  auto opened = Open(setup);
  CKVXMLHelper& helper = opened->helper();
  auto names = [](const std::vector<CKVChannel*>& list) {
    std::string joined;
    for (const CKVChannel* channel : list) joined += std::string(channel->Name) + ",";
    return joined;
  };
  EXPECT_EQ(names(helper.GetOnlineSyncChannels()), "online sync,shared after all,");
  EXPECT_EQ(names(helper.GetOnlineAsyncChannels()), "online async,");
  EXPECT_EQ(names(helper.GetOnlineSingleValueChannels()), "online single,");
  EXPECT_EQ(names(helper.GetOfflineSyncChannels()), "own streams sync,");
  EXPECT_EQ(names(helper.GetOfflineAsyncChannels()), "own streams async,");
  EXPECT_EQ(names(helper.GetOfflineSingleValueChannels()), "own streams single,");
  const CKVOfflineInfo& offline = *opened->Channel("AI;4").OfflineInfo;
  EXPECT_STREQ(offline.DBStreamName, "CH0DATA");
  EXPECT_EQ(offline.IBStreamCount, 2);
  EXPECT_STREQ(offline.IBStreamName[1], "CH0IB1");
  EXPECT_EQ(offline.PosInIBStream[1], 0);
  EXPECT_EQ(offline.PosInIBStream[2], -1);
  EXPECT_STREQ(offline.NodeStreamName, "CH0NODE");
  EXPECT_EQ(opened->Channel("AI;4").GetAsyncIndex(), -1);
}

TEST(Kinds, TextBinaryAndComplexChannels) {
  SetupBuilder setup;
  setup.AddChannel("Variables;0;5", "text", kTypeText);
  setup.AddChannel("Plugins;0;5", "blob", kTypeBinary).Set("Async", true).With(OnlineInfoRecord(0, {}, 0, "BLOB01"));
  setup.AddChannel("Math;5", "spectrum", kTypeComplexFloat);
  setup.AddChannel("Math;6", "hidden").Set("Shown", false);
  auto opened = Open(setup);
  EXPECT_TRUE(opened->Channel("Variables;0;5").ListedAsText);
  const CKVChannel& blob = opened->Channel("Plugins;0;5");
  EXPECT_TRUE(blob.ListedAsBinary);
  EXPECT_TRUE(blob.IsBinary());
  EXPECT_TRUE(blob.getOnlyIBTimeStamp());
  EXPECT_EQ(blob.GetSampleBytes(), 16);
  const CKVChannel& spectrum = opened->Channel("Math;5");
  EXPECT_TRUE(spectrum.IsComplex());
  EXPECT_TRUE(spectrum.Listed);
  EXPECT_FALSE(opened->Channel("Math;6").Listed);
}

TEST(ExportedDefinitions, SetupAndPropertiesTextsAreOneLineWithDeclaration) {
  SetupBuilder setup;
  setup.AddChannel("AI;0", "a & b").Add("Properties").Set("Gain", "10");
  setup.AddChannel("AI;1", "plain");
  auto opened = Open(setup);
  const CKVChannel& a = opened->Channel("AI;0");
  const std::string* setupXML = a.GetSetupXML();
  ASSERT_NE(setupXML, nullptr);
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  EXPECT_EQ(setupXML->rfind(declaration, 0), 0u);
  EXPECT_NE(setupXML->find("<Name>a &amp; b</Name>"), std::string::npos);
  EXPECT_NE(setupXML->find("<Properties><Gain>10</Gain></Properties></OutputChannel>"), std::string::npos);
  EXPECT_EQ(setupXML->find('\n'), std::string::npos);
  EXPECT_EQ(a.GetSetupXML(), setupXML);  // made once
  EXPECT_STREQ(a.Name, "a & b");
  ASSERT_NE(a.GetPropertiesXML(), nullptr);
  EXPECT_EQ(*a.GetPropertiesXML(), declaration + "<Properties><Gain>10</Gain></Properties>");
  EXPECT_EQ(opened->Channel("AI;1").GetPropertiesXML(), nullptr);
  EXPECT_NE(opened->Channel("AI;1").GetSetupXML(), nullptr);
}

}  // namespace
}  // namespace Korvane::DataReader

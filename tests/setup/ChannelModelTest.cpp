// The channel model on its own: stored values by data type, CAN and digital
// decoding with the payload bounds, reduced-record sizes, kinds and scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "setup/CKVChannel.h"
#include "testkit/ByteWriter.h"

namespace Korvane::DataReader {
namespace {

using TestKit::ByteWriter;

// A CAN signal of message CAN;0;100, positioned like the setup would.
CKVChannel& MakeSignal(CKVChannel& signal, int startBit, int bitLength, int direction, int canDataType) {
  signal.SetKVIndex("CAN;0;100;3");
  signal.Shown = true;
  signal.StartBit = startBit;
  signal.BitLength = bitLength;
  signal.DataDirection = direction;
  signal.CANDataType = canDataType;
  signal.Scale = 1;
  signal.Offset = 0;
  signal.Initiate();
  return signal;
}

TEST(CANDecoding, IntelSignalAcrossTwoBytes) {
  CKVChannel signal;
  MakeSignal(signal, 4, 12, 0, 0);
  EXPECT_EQ(signal.StartByte, 0);
  EXPECT_EQ(signal.EndByte, 1);
  EXPECT_EQ(signal.ByteCount, 2);
  const uint8_t payload[8] = {0xAB, 0xCD};
  EXPECT_EQ(signal.DecodeCANCh(payload, 8), 3290.0);
  EXPECT_TRUE(signal.DecodedFromParent);
  EXPECT_EQ(signal.DataType, 0);  // CANDataType 0 taken as the data type
}

TEST(CANDecoding, IntelSignedSignalExtendsTheSign) {
  CKVChannel signal;
  MakeSignal(signal, 4, 12, 0, 1);
  const uint8_t payload[8] = {0xAB, 0xCD};
  EXPECT_EQ(signal.DecodeCANCh(payload, 8), -806.0);
}

TEST(CANDecoding, MotorolaSignalRunsTowardLowerBytes) {
  CKVChannel signal;
  MakeSignal(signal, 8, 16, 1, 0);
  EXPECT_EQ(signal.StartByte, 1);
  EXPECT_EQ(signal.EndByte, 0);
  const uint8_t payload[8] = {0x12, 0x34};
  EXPECT_EQ(signal.DecodeCANCh(payload, 8), 0x1234);
}

TEST(CANDecoding, MotorolaSignedSignal) {
  CKVChannel signal;
  MakeSignal(signal, 8, 16, 1, 1);
  const uint8_t payload[8] = {0xFF, 0xFE};
  EXPECT_EQ(signal.DecodeCANCh(payload, 8), -2.0);
}

TEST(CANDecoding, FloatSignalReadsTheBitsAsFloat) {
  CKVChannel signal;
  MakeSignal(signal, 0, 32, 0, 2);
  uint8_t payload[8] = {};
  const float value = -12.5f;
  std::memcpy(payload, &value, sizeof value);
  EXPECT_EQ(signal.DecodeCANCh(payload, 8), -12.5);
}

TEST(CANDecoding, ThirtyTwoBitsStartingAtBitSevenSpanFiveBytes) {
  CKVChannel signal;
  MakeSignal(signal, 7, 32, 0, 0);
  const uint8_t payload[8] = {0x80, 0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(signal.DecodeCANCh(payload, 8), 4294967295.0);
}

TEST(CANDecoding, SignalOutsideThePayloadGivesZero) {
  const uint8_t payload[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  CKVChannel pastEnd;
  MakeSignal(pastEnd, 60, 8, 0, 0);  // ends in byte 8 of an 8-byte payload
  EXPECT_EQ(pastEnd.DecodeCANCh(payload, 8), 0.0);
  CKVChannel startPastEnd;
  MakeSignal(startPastEnd, 64, 4, 0, 0);
  EXPECT_EQ(startPastEnd.DecodeCANCh(payload, 8), 0.0);
  CKVChannel motorolaBeforeStart;
  MakeSignal(motorolaBeforeStart, 4, 16, 1, 0);  // would end in byte -1
  EXPECT_EQ(motorolaBeforeStart.DecodeCANCh(payload, 8), 0.0);
  CKVChannel tooWide;
  MakeSignal(tooWide, 0, 33, 0, 0);
  EXPECT_EQ(tooWide.DecodeCANCh(payload, 8), 0.0);
  CKVChannel negativeStart;
  MakeSignal(negativeStart, -8, 8, 0, 0);
  EXPECT_EQ(negativeStart.DecodeCANCh(payload, 8), 0.0);
  // The same signal inside a larger payload is read.
  EXPECT_EQ(pastEnd.DecodeCANCh(std::vector<uint8_t>(16, 0xFF).data(), 16), 255.0);
}

TEST(CANDecoding, HugeBitLengthsAndPositionsGiveZero) {
  // Lengths and start bits near the int limits: the end byte is found without
  // overflowing and lies outside every payload.
  struct Case {
    int startBit;
    int bitLength;
    int direction;
  };
  const uint8_t payload[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const int kMax = std::numeric_limits<int>::max();
  for (const Case& c : {Case{7, kMax, 0}, Case{7, kMax, 1}, Case{kMax, kMax, 0}, Case{kMax, 8, 0},
                        Case{std::numeric_limits<int>::min(), kMax, 1}, Case{0, kMax - 3, 1}}) {
    CKVChannel signal;
    MakeSignal(signal, c.startBit, c.bitLength, c.direction, 0);
    EXPECT_TRUE(signal.EndByte < 0 || signal.EndByte >= 8) << c.startBit << " " << c.bitLength;
    EXPECT_EQ(signal.DecodeCANCh(payload, 8), 0.0) << c.startBit << " " << c.bitLength;
  }
}

TEST(CANDecoding, SignalDecodedFromParentMessageSampleAdvancesByTheMessageSize) {
  CKVChannel message;
  message.SetKVIndex("CAN;0;100");
  message.DLC = 12;
  message.Initiate();
  EXPECT_EQ(message.DataType, kTypeCAN16);
  EXPECT_TRUE(message.OnlyIBTimeStamp);
  EXPECT_FALSE(message.Listed);

  CKVChannel signal;
  MakeSignal(signal, 8, 8, 0, 0);
  signal.Scale = 2;
  signal.Offset = 1;
  signal.ParentChannel = &message;
  std::vector<uint8_t> samples(32, 0);
  samples[1] = 10;
  samples[16 + 1] = 20;
  int64_t position = 0;
  EXPECT_EQ(signal.GetScaledValueFromBuf(samples.data(), position, nullptr), 21.0);
  EXPECT_EQ(position, 16);
  EXPECT_EQ(signal.GetScaledValueFromBuf(samples.data(), position, nullptr), 41.0);
  EXPECT_EQ(position, 32);
}

TEST(DigitalInput, BitIsReadInThePortsDataType) {
  CKVChannel port;
  port.SetKVIndex("DI;2");
  port.DataType = kTypeInt16;
  port.Shown = true;
  port.Initiate();
  EXPECT_FALSE(port.DecodedFromParent);
  EXPECT_FALSE(port.Listed);

  CKVChannel bit;
  bit.SetKVIndex("DI;2;9");
  bit.DataType = kTypeUInt8;  // the bit's own type does not matter
  bit.BitNo = 9;
  bit.Initiate();
  EXPECT_TRUE(bit.DecodedFromParent);
  EXPECT_TRUE(bit.Listed);
  bit.ParentChannel = &port;

  const auto samples = ByteWriter().U16(1u << 9).U16(0xFDFF).Take();
  int64_t position = 0;
  EXPECT_EQ(bit.GetScaledValueFromBuf(samples.data(), position, nullptr), 1.0);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(bit.GetScaledValueFromBuf(samples.data(), position, nullptr), 0.0);
  double scale = 0, offset = 5;
  bit.GetFactors(scale, offset);
  EXPECT_EQ(scale, 1.0);
  EXPECT_EQ(offset, 0.0);
}

TEST(StoredValues, EachDataTypeReadsItsOwnWidth) {
  struct Case {
    int type;
    std::vector<uint8_t> bytes;
    double expected;
  };
  const std::vector<Case> cases = {
      {0, ByteWriter().U8(200).Take(), 200},
      {1, ByteWriter().U8(200).Take(), -56},
      {2, ByteWriter().I16(-300).Take(), -300},
      {3, ByteWriter().U16(60000).Take(), 60000},
      {4, ByteWriter().I32(-70000).Take(), -70000},
      {5, ByteWriter().F32(1.5f).Take(), 1.5},
      {6, ByteWriter().I64(-5000000000LL).Take(), -5000000000.0},
      {7, ByteWriter().F64(-2.25).Take(), -2.25},
      {8, ByteWriter().U32(4000000000u).Take(), 4000000000.0},
      {9, ByteWriter().F32(3.5f).F32(9.0f).Take(), 3.5},
      {10, ByteWriter().F64(4.5).F64(9.0).Take(), 4.5},
      {11, ByteWriter().U32(65).Take(), 0},
      {12, ByteWriter().U64(1).U64(2).Take(), 0},
      {15, ByteWriter().U64(7).Take(), 0},
  };
  const int sizes[] = {1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 16, 4, 16, 12, 72, 8, 16, 32, 64};
  for (const Case& c : cases) {
    CKVChannel channel;
    channel.DataType = c.type;
    EXPECT_EQ(channel.GetValueToDouble(c.bytes.data()), c.expected) << "type " << c.type;
    EXPECT_EQ(channel.GetSampleBytes(), sizes[c.type]) << "type " << c.type;
  }
}

TEST(StoredValues, IntegerConversionSaturatesInsteadOfOverflowing) {
  CKVChannel channel;
  channel.DataType = kTypeDouble;
  const auto huge = ByteWriter().F64(1e300).Take();
  const auto tiny = ByteWriter().F64(-1e300).Take();
  const auto nan = ByteWriter().F64(std::numeric_limits<double>::quiet_NaN()).Take();
  const auto plain = ByteWriter().F64(-66.9).Take();
  EXPECT_EQ(channel.GetValueToInt64(huge.data()), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(channel.GetValueToInt64(tiny.data()), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(channel.GetValueToInt64(nan.data()), 0);
  EXPECT_EQ(channel.GetValueToInt64(plain.data()), -66);
  EXPECT_EQ(channel.GetValueToChar(plain.data()), static_cast<char>(-66));
  EXPECT_EQ(channel.GetValueToChar(nan.data()), 0);
}

TEST(StoredValues, ComplexSampleScalesBothPartsUnlessRaw) {
  CKVChannel channel;
  channel.SetKVIndex("Math;0");
  channel.DataType = kTypeComplexFloat;
  channel.Scale = 2;
  channel.Offset = 1;
  channel.Initiate();
  const auto sample = ByteWriter().F32(3).F32(-4).Take();
  KVComplex value{};
  int64_t position = 0;
  channel.GetComplexValueFromBuf(sample.data(), position, &value, ScaleType::Scaled);
  EXPECT_EQ(position, 8);
  EXPECT_EQ(value.re, 7.0);
  EXPECT_EQ(value.im, -7.0);
  position = 0;
  channel.GetComplexValueFromBuf(sample.data(), position, &value, ScaleType::Raw);
  EXPECT_EQ(value.re, 3.0);
  EXPECT_EQ(value.im, -4.0);
}

TEST(StoredValues, RawCopyOfAPlainSample) {
  CKVChannel channel;
  channel.SetKVIndex("Math;1");
  channel.DataType = kTypeInt32;
  channel.Scale = 0.5;
  channel.Offset = 0;
  channel.Initiate();
  const auto sample = ByteWriter().I32(-8).Take();
  int32_t raw = 0;
  int64_t position = 0;
  EXPECT_EQ(channel.GetScaledValueFromBuf(sample.data(), position, &raw), -4.0);
  EXPECT_EQ(raw, -8);
  EXPECT_EQ(position, 4);
}

TEST(Scaling, AnalogueInputSpansTheRangeOntoTenVolts) {
  CKVChannel channel;
  channel.SetKVIndex("AI;0");
  channel.BitsLog = 16;
  channel.Scale = 1;
  channel.Offset = 0;
  channel.Initiate();
  EXPECT_EQ(channel.AIScale, 10.0 / 65536);
  EXPECT_EQ(channel.GetScaledValue(65536), 10.0);

  CKVChannel amplified;
  amplified.SetKVIndex("AI;1");
  amplified.Range = 1000;
  amplified.AmplScale = 2;
  amplified.AmplOffset = 0.5;
  amplified.Scale = 3;
  amplified.Offset = 1;
  amplified.Initiate();
  EXPECT_DOUBLE_EQ(amplified.GetScaledValue(100), 100 * (10.0 / 1000 * 2 * 3) + (-0.5 * 3 + 1));
}

TEST(Scaling, FloatAnalogueInputWithCustomScaleUsesScaleAndOffset) {
  CKVChannel channel;
  channel.SetKVIndex("AI;0");
  channel.DataType = kTypeFloat;
  channel.UseCustomScaleForSingleValues = true;
  channel.BitsLog = 16;
  channel.Scale = 4;
  channel.Offset = -1;
  channel.Initiate();
  EXPECT_EQ(channel.GetScaledValue(2), 7.0);
  double scale = 0, offset = 0;
  channel.GetFactors(scale, offset);
  EXPECT_EQ(scale, 4.0);
  EXPECT_EQ(offset, -1.0);
}

TEST(Scaling, CounterAndRemoteAndOtherGroups) {
  CKVChannel counter;
  counter.SetKVIndex("CNT;0;0");
  counter.SecondScale = 0.25;
  counter.Scale = 2;
  counter.Offset = 3;
  counter.Initiate();
  EXPECT_EQ(counter.GetScaledValue(4), 4 * 0.5 + 3);

  CKVChannel remote;
  remote.SetKVIndex("AI;0");
  remote.IsRemote = true;
  remote.RealScale = 10;
  remote.RealOffset = 1;
  remote.Initiate();
  EXPECT_EQ(remote.ChannelGroup, kGroupRemote);
  EXPECT_EQ(remote.GetScaledValue(2), 21.0);

  CKVChannel math;
  math.SetKVIndex("Math;0");
  math.Scale = 3;
  math.Offset = 1;
  math.HasOrigScale = true;
  math.OrigScale = 2;
  math.Initiate();
  EXPECT_EQ(math.GetScaledValue(2), 7.0);
  EXPECT_EQ(math.GetValueRMS(4), 6.0);
}

TEST(Kinds, TextChannelIsListedAsTextWith256Values) {
  CKVChannel channel;
  channel.SetKVIndex("Variables;0");
  channel.DataType = kTypeText;
  channel.Shown = true;
  channel.Initiate();
  EXPECT_TRUE(channel.ListedAsText);
  EXPECT_FALSE(channel.Listed);
  EXPECT_FALSE(channel.ListedAsBinary);
  EXPECT_EQ(channel.GetArraySize(), 256);
}

TEST(Kinds, ArraySizeIsTheProductOfTheAxes) {
  CKVChannel channel;
  channel.ArrayInfo.emplace_back(0);
  channel.ArrayInfo.back().Size = 4;
  channel.ArrayInfo.emplace_back(1);
  channel.ArrayInfo.back().Size = 8;
  channel.StoreIB = true;
  EXPECT_EQ(channel.GetArraySize(), 32);
  EXPECT_EQ(channel.getIBArrayChSize(), 0);  // more than one axis
  channel.ArrayInfo.back().Size = 0;
  EXPECT_EQ(channel.GetArraySize(), 1);
}

TEST(Kinds, DoublePrecisionByBitCounts) {
  CKVChannel channel;
  channel.DataType = kTypeInt32;
  channel.BitCount = 32;
  EXPECT_TRUE(channel.IsDoublePrecision());
  channel.SigBitCount = 16;
  EXPECT_FALSE(channel.IsDoublePrecision());
  channel.SigBitCount = 24;
  EXPECT_TRUE(channel.IsDoublePrecision());
  channel.ForceSinglePrecision = true;
  EXPECT_FALSE(channel.IsDoublePrecision());

  CKVChannel floats;
  floats.DataType = kTypeFloat;
  floats.BitCount = 32;
  EXPECT_FALSE(floats.IsDoublePrecision());
  CKVChannel fromType;
  fromType.DataType = kTypeDouble;  // BitCount 0: the sample size decides
  EXPECT_TRUE(fromType.IsDoublePrecision());
}

TEST(ReducedRecords, ItemSizesByPrecisionAndLevel) {
  CKVChannel wide;
  wide.SetKVIndex("Math;0");
  wide.DataType = kTypeInt32;
  wide.BitCount = 32;
  wide.Initiate();
  EXPECT_EQ(wide.GetIBRecSize(0), 32);
  EXPECT_EQ(wide.GetIBRecSize(1), 64);

  CKVChannel narrow;
  narrow.SetKVIndex("Math;1");
  narrow.DataType = kTypeInt16;
  narrow.BitCount = 16;
  narrow.Initiate();
  EXPECT_EQ(narrow.GetIBRecSize(0), 16);
  EXPECT_EQ(narrow.GetIBRecSize(3), 32);

  CKVChannel async;
  async.SetKVIndex("Math;2");
  async.DataType = kTypeInt16;
  async.BitCount = 16;
  async.AsyncDivider = true;
  async.StoredFirstAsyncIBLevel = 2;
  async.Initiate();
  EXPECT_TRUE(async.Async);
  EXPECT_EQ(async.GetIBRecSize(1), 0);
  EXPECT_EQ(async.GetIBRecSize(2), 16 + 24);
  EXPECT_EQ(async.GetIBRecSize(3), 32);

  CKVChannel complex;
  complex.SetKVIndex("Math;3");
  complex.DataType = kTypeComplexDouble;
  complex.Async = true;
  complex.ComplexIBBuffers = true;
  complex.Initiate();
  EXPECT_EQ(complex.GetIBRecSize(0), 96 + 24);
  EXPECT_EQ(complex.GetIBRecSize(1), 96 + 64);
}

TEST(ReducedRecords, CANMessageHoldsOnlyTimeStamps) {
  CKVChannel message;
  message.SetKVIndex("CAN;0;100");
  message.DLC = 12;
  message.Initiate();
  EXPECT_EQ(message.GetIBRecSize(0), 0);
  EXPECT_EQ(message.GetIBRecSize(4), 0);
  message.Async = true;
  EXPECT_EQ(message.GetIBRecSize(0), 24);
  EXPECT_EQ(message.GetIBRecSize(1), 0);
}

TEST(ReducedRecords, OneAxisArrayWithStoredStatisticsIsSplitEvenly) {
  CKVChannel channel;
  channel.SetKVIndex("Math;0");
  channel.DataType = kTypeFloat;
  channel.ArrayInfo.emplace_back(0);
  channel.ArrayInfo.back().Size = 1000;
  channel.StoreIB = true;
  channel.MaxIBArraySize = 512;
  channel.Initiate();
  EXPECT_EQ(channel.getIBArrayChSize(), 500);
  EXPECT_EQ(channel.getIBItemChSize(), 0);
  EXPECT_EQ(channel.GetIBRecSize(0), 500 * 8);
  channel.ItemChannels = true;
  EXPECT_EQ(channel.getIBItemChSize(), 1000);
  EXPECT_EQ(channel.GetIBRecSize(0), 1000 * 16 + 500 * 8);
}

TEST(Identity, LongNameJoinsModuleDeviceAndNameWithinTheField) {
  CKVChannel channel;
  channel.ModuleName = "Module";
  channel.DeviceName = "Dev";
  std::strcpy(channel.Name, "Speed");
  channel.initiateLongName();
  EXPECT_EQ(channel.LongName, "Module/Dev/Speed");

  CKVChannel longOne;
  longOne.ModuleName.assign(99, 'm');
  longOne.DeviceName.assign(99, 'd');
  std::memset(longOne.Name, 'n', 99);
  longOne.initiateLongName();
  EXPECT_EQ(longOne.LongName.size(), 199u);
  EXPECT_EQ(longOne.LongName[99], '/');
}

TEST(Identity, ChannelRecordCutsTextsToTheirFields) {
  CKVChannel channel;
  channel.ChannelNumber = 7;
  std::memset(channel.Name, 'x', 99);
  std::strcpy(channel.Unit, "km/h");
  channel.DisplayColor = 0xFF8000;
  channel.DataType = kTypeInt16;
  KVChannel record;
  std::memset(&record, 0x55, sizeof record);
  channel.GetChannelInfo(&record);
  EXPECT_EQ(record.index, 7);
  EXPECT_EQ(std::strlen(record.name), 99u);
  EXPECT_STREQ(record.unit, "km/h");
  EXPECT_EQ(record.unit[19], 0);
  EXPECT_EQ(record.color, 0xFF8000u);
  EXPECT_EQ(record.array_size, 1);
  EXPECT_EQ(record.data_type, 2);
}

TEST(Identity, GroupCodesAndOldNumericIndexes) {
  EXPECT_EQ(CKVChannel::GetChGroup("AI;0"), kGroupAI);
  EXPECT_EQ(CKVChannel::GetChGroup("System Monitor;101;2"), kGroupSystemMonitor);
  EXPECT_EQ(CKVChannel::GetChGroup("PC:x;CAN;0;1"), kGroupCAN);
  EXPECT_EQ(CKVChannel::GetChGroup("ai;0"), kGroupNone);
  EXPECT_EQ(CKVChannel::GetChGroup("500000;1"), kGroupNumeric500000);
  const std::pair<const char*, const char*> conversions[] = {
      {"1;0", "AI;0"}, {"2000;1;7", "CAN;1;7"}, {"500000;3", "500000;3"}, {"PC:x;1;0", "PC:x;AI;0"}};
  for (const auto& [stored, current] : conversions) {
    CKVChannel channel;
    channel.SetKVIndex(stored);
    EXPECT_STREQ(channel.KVIndex, current);
    channel.Initiate();
    EXPECT_EQ(channel.ChannelGroup, CKVChannel::GetChGroup(current));
  }
}

TEST(Identity, LongIndexIsCutToTheIndexField) {
  CKVChannel channel;
  channel.SetKVIndex("System Monitor;100;12345678901234567890");
  EXPECT_EQ(std::strlen(channel.KVIndex), 31u);
}

}  // namespace
}  // namespace Korvane::DataReader

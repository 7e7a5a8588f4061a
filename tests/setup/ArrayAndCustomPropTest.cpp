// Array axes and custom properties read from channel definitions, and their
// public records.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "SetupTestSupport.h"
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {
namespace {

using SetupTest::Open;
using TestKit::ArrayAxis;
using TestKit::ArrayInfoElement;
using TestKit::CustomPropsElement;
using TestKit::SetupBuilder;

TEST(ArrayAxes, EveryAxisTypeAndItsIndexValues) {
  SetupBuilder setup;
  setup.AddChannel("Math;0", "spectrum", kTypeFloat)
      .With(ArrayInfoElement({{"Frequency", "Hz", 4, 2, 2, 10.0, 0.5, ""},
                                {"Order", "", 2, 1, 1, 0, 1, "2;0.5;1,5"},
                                {"Band", "", 3, 0, 0, 0, 1, "3;low;mid;high"}},
                               true, false, 256));
  auto opened = Open(setup);
  const CKVChannel& channel = opened->Channel("Math;0");
  ASSERT_EQ(channel.ArrayInfo.size(), 3u);
  EXPECT_TRUE(channel.ItemChannels);
  EXPECT_FALSE(channel.StoreIB);
  EXPECT_EQ(channel.MaxIBArraySize, 256);
  EXPECT_EQ(channel.GetArraySize(), 24);

  const CArrayInfo& linear = channel.ArrayInfo[0];
  double value = -1;
  linear.getIndexValue(4, value);
  EXPECT_EQ(value, 12.0);
  char text[16];
  linear.getIndexValue(4, text, sizeof text);
  EXPECT_STREQ(text, "12.00");
  linear.getIndexValue(4, text, 4);
  EXPECT_STREQ(text, "12.");

  const CArrayInfo& listed = channel.ArrayInfo[1];
  ASSERT_EQ(listed.FloatValues.size(), 2u);
  listed.getIndexValue(1, value);
  EXPECT_EQ(value, 1.5);
  listed.getIndexValue(0, text, sizeof text);
  EXPECT_STREQ(text, "0.5");
  EXPECT_THROW(listed.getIndexValue(2, value), std::out_of_range);

  const CArrayInfo& named = channel.ArrayInfo[2];
  named.getIndexValue(2, text, sizeof text);
  EXPECT_STREQ(text, "high");
  EXPECT_THROW(named.getIndexValue(3, text, sizeof text), std::out_of_range);
  EXPECT_THROW(named.getIndexValue(-1, text, sizeof text), std::out_of_range);

  KVArrayInfo record;
  std::memset(&record, 0x55, sizeof record);
  linear.getArrayInfo(&record);
  EXPECT_EQ(record.index, 0);
  EXPECT_STREQ(record.name, "Frequency");
  EXPECT_STREQ(record.unit, "Hz");
  EXPECT_EQ(record.unit[19], 0);
  EXPECT_EQ(record.size, 4);
  named.getArrayInfo(&record);
  EXPECT_EQ(record.index, 2);
}

TEST(ArrayAxes, AxisWithoutTypeHasNoIndexValues) {
  SetupBuilder setup;
  setup.AddChannel("Math;0", "a").With(ArrayInfoElement({{"Untyped", "", 5, -2}}));
  auto opened = Open(setup);
  const CArrayInfo& axis = opened->Channel("Math;0").ArrayInfo.at(0);
  EXPECT_EQ(axis.AxisType, -1);
  double value = 42;
  axis.getIndexValue(1, value);
  EXPECT_EQ(value, 42.0);
  char text[8] = "keep";
  axis.getIndexValue(1, text, sizeof text);
  EXPECT_STREQ(text, "keep");
}

TEST(ArrayAxes, ShortValueListLeavesEmptyTexts) {
  uint64_t count = 0;
  auto values = CArrayInfo::deserializeStringValues("3;low", count);
  EXPECT_EQ(count, 3u);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0], "low");
  values = CArrayInfo::deserializeStringValues("0", count);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(values.empty());
  values = CArrayInfo::deserializeStringValues("2;a;b;c", count);
  EXPECT_EQ(values.size(), 2u);
  EXPECT_THROW(CArrayInfo::deserializeStringValues("x;a", count), std::invalid_argument);
  EXPECT_THROW(CArrayInfo::deserializeFloatValues("3;1;2"), std::invalid_argument);
  EXPECT_THROW(CArrayInfo::deserializeFloatValues("1;abc"), std::invalid_argument);

  // A huge count costs nothing: only the given texts are kept.
  values = CArrayInfo::deserializeStringValues("4000000000;a", count);
  EXPECT_EQ(count, 4000000000u);
  EXPECT_EQ(values.size(), 1u);

  SetupBuilder setup;
  setup.AddChannel("Math;0", "a").With(ArrayInfoElement({{"Band", "", 3, 0, 0, 0, 1, "3;low"}}));
  auto opened = Open(setup);
  char text[8] = "x";
  opened->Channel("Math;0").ArrayInfo.at(0).getIndexValue(2, text, sizeof text);
  EXPECT_STREQ(text, "");
}

TEST(ArrayAxes, ReducedItemSizesOfArrays) {
  SetupBuilder setup;
  setup.AddChannel("Math;0", "a", kTypeFloat).With(ArrayInfoElement({{"x", "", 1000, 2}}, false, true, 512));
  setup.AddChannel("Math;1", "b", kTypeFloat).With(ArrayInfoElement({{"x", "", 4, 2}, {"y", "", 8, 2}}, false, true));
  auto opened = Open(setup);
  EXPECT_EQ(opened->Channel("Math;0").getIBArrayChSize(), 500);
  EXPECT_EQ(opened->Channel("Math;1").GetArraySize(), 32);
  EXPECT_EQ(opened->Channel("Math;1").getIBArrayChSize(), 0);
  // The data block holds every value of every array sample.
  EXPECT_EQ(opened->Channel("Math;1").OnlineInfo->DBOffset, 4 * 100 * 1000);
}

TEST(ArrayAxes, SizesThatCannotBeRightAreCorrupt) {
  SetupBuilder negative;
  negative.AddChannel("Math;0", "a").With(ArrayInfoElement({{"x", "", -4, 2}}));
  EXPECT_THROW(Open(negative), FileCorruptException);
  SetupBuilder huge;
  huge.AddChannel("Math;0", "a").With(ArrayInfoElement({{"x", "", 65536, 2}, {"y", "", 65536, 2}}));
  EXPECT_THROW(Open(huge), FileCorruptException);
  SetupBuilder zeroSplit;
  zeroSplit.AddChannel("Math;0", "a").With(ArrayInfoElement({{"x", "", 8, 2}}, false, true, 0));
  EXPECT_THROW(Open(zeroSplit), FileCorruptException);
}

TEST(CustomProperties, EveryTypeAndTheLastValueKindWins) {
  SetupBuilder setup;
  const std::string hundred(100, 's');
  setup.AddChannel("AI;0", "a")
      .With(CustomPropsElement({{"Count", {{"Int", "-5"}}},
                                  {"Id", {{"ID", "9000000000"}}},
                                  {"Gain", {{"Float", "2,5"}}},
                                  {"Label", {{"String", "front axle"}}},
                                  {"Both", {{"Int", "5"}, {"Float", "2.5"}}},
                                  {"TooLong", {{"String", hundred}}},
                                  {"Empty", {}},
                                  {"", {{"Int", "1"}}}}));
  auto opened = Open(setup);
  const auto& props = opened->Channel("AI;0").CustomProps;
  ASSERT_EQ(props.size(), 7u);  // the entry without Key is skipped
  EXPECT_EQ(props[0].GetType(), CKVCustomProp::kInteger);
  EXPECT_EQ(props[0].GetInteger(), -5);
  EXPECT_EQ(props[1].GetInteger(), 9000000000LL);
  EXPECT_EQ(props[2].GetType(), CKVCustomProp::kFloat);
  EXPECT_EQ(props[2].GetFloat(), 2.5);
  EXPECT_EQ(props[3].GetString(), "front axle");
  EXPECT_EQ(props[4].GetType(), CKVCustomProp::kFloat);
  EXPECT_EQ(props[4].GetFloat(), 2.5);
  EXPECT_EQ(props[5].GetType(), CKVCustomProp::kString);
  EXPECT_EQ(props[5].GetString(), "");
  EXPECT_EQ(props[6].GetType(), CKVCustomProp::kNone);

  KVCustomProperty entry;
  std::memset(&entry, 0x55, sizeof entry);
  props[3].GetCustomProperty(&entry);
  EXPECT_STREQ(entry.name, "Label");
  EXPECT_EQ(entry.name[99], 0);
  EXPECT_EQ(entry.value_type, 3);
  EXPECT_STREQ(entry.string_value, "front axle");
  int64_t untouched;
  std::memset(&untouched, 0x55, sizeof untouched);
  EXPECT_EQ(entry.int_value, untouched);  // only the value of the type is written
  props[0].GetCustomProperty(&entry);
  EXPECT_EQ(entry.value_type, 1);
  EXPECT_EQ(entry.int_value, -5);
}

}  // namespace
}  // namespace Korvane::DataReader

// Channel lists, list items, factors and properties through the exported
// functions, on a recording with numeric, complex, binary, text, asynchronous and
// single-value channels.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "tests/abi/AbiRecording.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::AbiTest {
namespace {

class ChannelQuery : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KVICreateReader(&reader_), KVOk); }
  void TearDown() override { KVIDestroyReader(reader_); }

  void Open() {
    const std::string path = directory_.File("rec" + std::to_string(files_++) + ".kvd");
    recording_.WritePlain(path);
    KVFileInfo info{};
    ASSERT_EQ(KVIOpenDataFile(reader_, path.c_str(), &info), KVOk);
  }

  // A recording of six channels: full-sequence indexes 0 to 5.
  void OpenMixed() {
    // A math channel scales linearly with its own Scale and Offset.
    recording_.setup.AddChannel("Math;0", "Voltage", 2).Set("Unit", "V").Set("Scale", 2.0).Set("Offset", 0.5);
    recording_.setup.AddChannel("AI;1", "Spectrum", 10);
    recording_.setup.AddChannel("AI;2", "Pictures", 12);
    recording_.setup.AddChannel("AI;3", "Notes", 11);
    recording_.setup.AddChannel("AI;4", "Pulses", 7).Set("Async", true).Set("SingleValue", true);
    recording_.setup.AddChannel("AI;5", std::string(130, 'n'), 4).Set("SingleValue", true);
    Open();
  }

  std::vector<KVChannel> List(KVStatus (*count)(KVReaderHandle, int32_t*),
                              KVStatus (*fill)(KVReaderHandle, KVChannel*)) {
    int32_t n = -1;
    EXPECT_EQ(count(reader_, &n), KVOk);
    std::vector<KVChannel> channels(static_cast<size_t>(n));
    if (n > 0) {
      EXPECT_EQ(fill(reader_, channels.data()), KVOk);
    }
    return channels;
  }

  int32_t IntProp(int32_t index, int32_t selector) {
    int32_t value = -12345;
    int32_t size = sizeof value;
    EXPECT_EQ(KVIGetChannelProps(reader_, index, selector, &value, &size), KVOk);
    EXPECT_EQ(size, 4);
    return value;
  }

  TestKit::TempDir directory_;
  Recording recording_;
  KVReaderHandle reader_ = nullptr;
  int files_ = 0;
};

TEST_F(ChannelQuery, ListsFilterTheFullSequenceWithoutOverlap) {
  OpenMixed();
  const auto numeric = List(KVIGetChannelListCount, KVIGetChannelList);
  const auto complex = List(KVIGetComplexChannelListCount, KVIGetComplexChannelList);
  const auto binary = List(KVIGetBinChannelListCount, KVIGetBinChannelList);
  ASSERT_EQ(numeric.size(), 3u);
  EXPECT_EQ(numeric[0].index, 0);
  EXPECT_STREQ(numeric[0].name, "Voltage");
  EXPECT_STREQ(numeric[0].unit, "V");
  EXPECT_EQ(numeric[0].data_type, 2);
  EXPECT_EQ(numeric[1].index, 4);
  EXPECT_EQ(numeric[2].index, 5);
  ASSERT_EQ(complex.size(), 1u);
  EXPECT_EQ(complex[0].index, 1);
  ASSERT_EQ(binary.size(), 1u);
  EXPECT_EQ(binary[0].index, 2);
  EXPECT_EQ(binary[0].data_type, 12);

  ASSERT_EQ(KVInit(), 0);
  const std::string path = directory_.File("active.kvd");
  recording_.WritePlain(path);
  KVFileInfo info{};
  ASSERT_EQ(KVOpenDataFile(path.c_str(), &info), KVOk);
  ASSERT_EQ(KVGetTextChannelListCount(), 1);
  KVChannel text[1];
  EXPECT_EQ(KVGetTextChannelList(text), KVOk);
  EXPECT_EQ(text[0].index, 3);
  EXPECT_EQ(text[0].array_size, 256);
  EXPECT_EQ(KVDeInit(), 0);
  EXPECT_EQ(KVGetTextChannelListCount(), -1);
  EXPECT_EQ(KVGetTextChannelList(text), KVInvalidReaderHandle);

  EXPECT_EQ(KVIGetChannelList(reader_, nullptr), KVNoMemoryAlloc);
  EXPECT_EQ(KVIGetComplexChannelList(reader_, nullptr), KVNoMemoryAlloc);
  EXPECT_EQ(KVIGetBinChannelList(reader_, nullptr), KVNoMemoryAlloc);
}

TEST_F(ChannelQuery, LongNamesAreCutToTheRecordField) {
  OpenMixed();
  const auto numeric = List(KVIGetChannelListCount, KVIGetChannelList);
  ASSERT_EQ(numeric.size(), 3u);
  EXPECT_EQ(std::string(numeric[2].name), std::string(99, 'n'));
}

TEST_F(ChannelQuery, ItemFunctionsCutTextsAndCheckPositions) {
  recording_.setup.AddChannel("AI;0", std::string(30, 'a'), 2)
      .Set("Unit", std::string(40, 'u'))
      .Set("Description", std::string(300, 'd'));
  Open();
  int32_t index = -1, color = -1, arraySize = -1;
  char name[600], unit[600], description[600];
  std::memset(name, 'x', sizeof name);
  ASSERT_EQ(KVIGetChannelListItem(reader_, 0, &index, name, unit, description, &color, &arraySize, 10), KVOk);
  EXPECT_EQ(std::string(name), std::string(9, 'a'));
  EXPECT_EQ(name[10], 'x');
  EXPECT_EQ(index, 0);
  EXPECT_EQ(arraySize, 1);
  ASSERT_EQ(KVIGetChannelListItem(reader_, 0, &index, name, unit, description, &color, &arraySize, 500), KVOk);
  EXPECT_EQ(std::string(name), std::string(30, 'a'));
  EXPECT_EQ(std::string(unit), std::string(19, 'u'));
  EXPECT_EQ(std::string(description), std::string(199, 'd'));

  EXPECT_EQ(KVIGetChannelListItem(reader_, 1, &index, name, unit, description, &color, &arraySize, 10),
            KVInvalidIndex);
  EXPECT_EQ(KVIGetChannelListItem(reader_, -1, &index, name, unit, description, &color, &arraySize, 10),
            KVInvalidIndex);
  EXPECT_EQ(KVIGetChannelListItem(reader_, 0, &index, name, unit, description, &color, &arraySize, 0),
            KVNoMemoryAlloc);
  EXPECT_EQ(KVIGetChannelListItem(reader_, 0, &index, nullptr, unit, description, &color, &arraySize, 10),
            KVNoMemoryAlloc);
  EXPECT_EQ(KVIGetComplexChannelListItem(reader_, 0, &index, name, unit, description, &color, &arraySize, 10),
            KVInvalidIndex);
}

TEST_F(ChannelQuery, FactorsAndScalarProperties) {
  OpenMixed();
  double scale = 0, offset = 0;
  ASSERT_EQ(KVIGetChannelFactors(reader_, 0, &scale, &offset), KVOk);
  EXPECT_DOUBLE_EQ(scale, 2.0);
  EXPECT_DOUBLE_EQ(offset, 0.5);
  EXPECT_EQ(KVIGetChannelFactors(reader_, 6, &scale, &offset), KVInvalidIndex);
  EXPECT_EQ(KVIGetChannelFactors(reader_, 0, nullptr, &offset), KVNoMemoryAlloc);

  EXPECT_EQ(IntProp(0, KVChDataType), 2);
  EXPECT_EQ(IntProp(0, KVChDataTypeSize), 2);
  EXPECT_EQ(IntProp(1, KVChDataTypeSize), 16);
  EXPECT_EQ(IntProp(0, KVChType), KVChannelSynchronous);
  EXPECT_EQ(IntProp(4, KVChType), KVChannelAsynchronous);  // asynchronous wins over single value
  EXPECT_EQ(IntProp(5, KVChType), KVChannelSingleValue);
  double value = 0;
  int32_t size = sizeof value;
  ASSERT_EQ(KVIGetChannelProps(reader_, 0, KVChScale, &value, &size), KVOk);
  EXPECT_DOUBLE_EQ(value, 2.0);
  EXPECT_EQ(size, 8);
  ASSERT_EQ(KVIGetChannelProps(reader_, 0, KVChOffset, &value, &size), KVOk);
  EXPECT_DOUBLE_EQ(value, 0.5);
  size = 7;
  EXPECT_EQ(KVIGetChannelProps(reader_, 0, KVChScale, &value, &size), KVNoMemoryAlloc);
  EXPECT_EQ(size, 7);

  int32_t untouched = 77;
  size = sizeof untouched;
  EXPECT_EQ(KVIGetChannelProps(reader_, 0, 15, &untouched, &size), KVOk);
  EXPECT_EQ(KVIGetChannelProps(reader_, 0, -1, &untouched, &size), KVOk);
  EXPECT_EQ(untouched, 77);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(KVIGetChannelProps(reader_, 9, KVChDataType, &untouched, &size), KVInvalidIndex);
  EXPECT_EQ(KVIGetChannelProps(reader_, 0, KVChDataType, nullptr, &size), KVNoMemoryAlloc);
}

TEST_F(ChannelQuery, TextPropertiesFollowTheLengthProtocol) {
  OpenMixed();
  for (const auto& [text, length] : {std::pair{KVChIndexString, KVChIndexStringLength}, {KVChSetupXml, KVChSetupXmlLength},
                                     {KVChLongName, KVChLongNameLength}}) {
    const int32_t needed = IntProp(0, length);
    ASSERT_GT(needed, 1) << text;
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, 'x');
    int32_t size = needed - 1;
    EXPECT_EQ(KVIGetChannelProps(reader_, 0, text, buffer.data(), &size), KVNoMemoryAlloc) << text;
    EXPECT_EQ(size, needed - 1);
    size = needed;
    EXPECT_EQ(KVIGetChannelProps(reader_, 0, text, buffer.data(), &size), KVOk) << text;
    EXPECT_EQ(size, needed);
    EXPECT_EQ(buffer[static_cast<size_t>(needed) - 1], '\0');
    EXPECT_EQ(buffer[static_cast<size_t>(needed)], 'x');
    EXPECT_EQ(std::strlen(buffer.data()), static_cast<size_t>(needed) - 1);
  }
  std::vector<char> index(static_cast<size_t>(IntProp(0, KVChIndexStringLength)));
  int32_t size = static_cast<int32_t>(index.size());
  ASSERT_EQ(KVIGetChannelProps(reader_, 0, KVChIndexString, index.data(), &size), KVOk);
  EXPECT_STREQ(index.data(), "Math;0");
  std::vector<char> setupXml(static_cast<size_t>(IntProp(0, KVChSetupXmlLength)));
  size = static_cast<int32_t>(setupXml.size());
  ASSERT_EQ(KVIGetChannelProps(reader_, 0, KVChSetupXml, setupXml.data(), &size), KVOk);
  EXPECT_NE(std::string(setupXml.data()).find("Voltage"), std::string::npos);
  EXPECT_EQ(IntProp(0, KVChPropertiesXmlLength), 0);  // no "Properties" child
  EXPECT_EQ(IntProp(0, KVChCustomPropsCount), 0);
}

TEST_F(ChannelQuery, CustomPropertiesAre220ByteEntries) {
  recording_.setup.AddChannel("AI;0", "Voltage", 2)
      .With(TestKit::CustomPropsElement({{"Gain", {{"Int", "42"}}},
                                           {"Label", {{"String", "left"}}}}));
  Open();
  const int32_t count = IntProp(0, KVChCustomPropsCount);
  ASSERT_EQ(count, 2);
  std::vector<KVCustomProperty> entries(2);
  std::memset(entries.data(), 0x55, sizeof(KVCustomProperty) * 2);
  int32_t size = 2 * 220 - 1;
  EXPECT_EQ(KVIGetChannelProps(reader_, 0, KVChCustomProps, entries.data(), &size), KVNoMemoryAlloc);
  size = 2 * 220;
  ASSERT_EQ(KVIGetChannelProps(reader_, 0, KVChCustomProps, entries.data(), &size), KVOk);
  EXPECT_EQ(size, 440);
  EXPECT_STREQ(entries[0].name, "Gain");
  EXPECT_EQ(entries[0].value_type, KVCustomPropertyInteger);
  EXPECT_EQ(entries[0].int_value, 42);
  EXPECT_STREQ(entries[1].name, "Label");
  EXPECT_EQ(entries[1].value_type, KVCustomPropertyString);
  EXPECT_STREQ(entries[1].string_value, "left");
  uint64_t untouched;
  std::memcpy(&untouched, &entries[1].int_value, sizeof untouched);
  EXPECT_EQ(untouched, 0x5555555555555555ull);  // only the string value was written
}

TEST_F(ChannelQuery, FileWithoutChannelsHasEmptyLists) {
  Open();
  EXPECT_TRUE(List(KVIGetChannelListCount, KVIGetChannelList).empty());
  EXPECT_TRUE(List(KVIGetComplexChannelListCount, KVIGetComplexChannelList).empty());
  EXPECT_TRUE(List(KVIGetBinChannelListCount, KVIGetBinChannelList).empty());
  KVChannel unused;
  EXPECT_EQ(KVIGetChannelList(reader_, &unused), KVOk);
}

}  // namespace
}  // namespace Korvane::DataReader::AbiTest

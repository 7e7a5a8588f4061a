// Channel index strings: levels, field extraction and replacement, the conversion of
// numeric group texts, and staying inside the caller's buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "setup/ChannelGroups.h"
#include "setup/KVIndex.h"

namespace Korvane::DataReader {
namespace {

std::string FieldAt(const char* text, int position, size_t size = kKVIndexEditBytes) {
  std::string out(size + 8, '#');
  GetKVIndexAtPos(text, position, out.data(), size);
  EXPECT_EQ(out.substr(size), std::string(8, '#'));  // nothing beyond the buffer
  return out.c_str();
}

std::string WithField(const char* text, int position, const char* name, size_t size = kKVIndexEditBytes) {
  std::string buffer(size + 8, '#');
  std::memcpy(buffer.data(), text, std::min(std::strlen(text) + 1, size));
  SetKVIndexAtPos(buffer.data(), size, position, name);
  EXPECT_EQ(buffer.substr(size), std::string(8, '#'));
  return buffer.c_str();
}

std::string Converted(const char* text, size_t size = kKVIndexBytes) {
  std::string buffer(size + 8, '#');
  ConvertToKVIndex(text, buffer.data(), size);
  EXPECT_EQ(buffer.substr(size), std::string(8, '#'));
  return buffer.c_str();
}

TEST(KVIndex, ComputerNameNeedsColonFromThirdCharacter) {
  EXPECT_TRUE(HasComputerNameBeforeKVIndex("PC:x;AI;0"));
  EXPECT_TRUE(HasComputerNameBeforeKVIndex("AB:"));
  EXPECT_FALSE(HasComputerNameBeforeKVIndex("A:;1"));
  EXPECT_FALSE(HasComputerNameBeforeKVIndex("AI;0"));
  EXPECT_FALSE(HasComputerNameBeforeKVIndex("::"));
  EXPECT_FALSE(HasComputerNameBeforeKVIndex(nullptr));
}

TEST(KVIndex, LevelCountsSeparatorsLessComputerName) {
  EXPECT_EQ(GetKVIndexLevel("AI;0"), 3);
  EXPECT_EQ(GetKVIndexLevel("PC:x;AI;0"), 3);
  EXPECT_EQ(GetKVIndexLevel("DI;2;5"), 4);
  EXPECT_EQ(GetKVIndexLevel("CAN;0;1610612736;1"), 5);
  EXPECT_EQ(GetKVIndexLevel(""), 2);
  EXPECT_EQ(GetKVIndexLevel("AI;0;"), 4);
  EXPECT_EQ(GetKVIndexLevel(nullptr), 2);
}

TEST(KVIndex, FieldAtPositionSkipsComputerName) {
  EXPECT_EQ(FieldAt("PC:x;AI;0", 1), "AI");
  EXPECT_EQ(FieldAt("PC:x;AI;0", 2), "0");
  EXPECT_EQ(FieldAt("AI;0", 1), "AI");
  EXPECT_EQ(FieldAt("AI;0", 2), "0");
  EXPECT_EQ(FieldAt("AI;0", 3), "");
  EXPECT_EQ(FieldAt("AI;0", 0), "");
  EXPECT_EQ(FieldAt("", 1), "");
}

TEST(KVIndex, ColonEmptiesWhatWasCollected) {
  EXPECT_EQ(FieldAt("b:c;d", 1), "c");  // ':' at index 1: no computer name
  EXPECT_EQ(FieldAt("PC:x;A:B;0", 1), "B");
}

TEST(KVIndex, FieldIsCutToTheBuffer) {
  EXPECT_EQ(FieldAt("ABCDEFGHIJ;1", 1, 5), "ABCD");
  EXPECT_EQ(FieldAt("ABCDEFGHIJ;1", 1, 1), "");
  char untouched = 'x';
  GetKVIndexAtPos("AI;0", 1, &untouched, 0);
  EXPECT_EQ(untouched, 'x');
}

TEST(KVIndex, SetFieldReplacesContent) {
  EXPECT_EQ(WithField("1;0", 1, "AI"), "AI;0");
  EXPECT_EQ(WithField("PC:x;1;0", 1, "AI"), "PC:x;AI;0");
  EXPECT_EQ(WithField("DI;2;5", 2, "17"), "DI;17;5");
  EXPECT_EQ(WithField("DI;2;5", 3, ""), "DI;2;");
  EXPECT_EQ(WithField("1000000;3", 1, "System Monitor"), "System Monitor;3");
}

TEST(KVIndex, SetFieldLeavesEmptyOrAbsentFields) {
  EXPECT_EQ(WithField("AI;;0", 2, "X"), "AI;;0");
  EXPECT_EQ(WithField("AI;0", 5, "X"), "AI;0");
}

TEST(KVIndex, SetFieldStaysInsideTheBuffer) {
  EXPECT_EQ(WithField("1;0;1", 1, "System Monitor", 8), "System ");
  EXPECT_EQ(WithField("1;0;1", 1, "AI", 5), "AI;0");
  EXPECT_EQ(WithField("1;2;3", 3, "LONGNAME", 7), "1;2;LO");
  // A text that fills its buffer without a terminator is read up to size - 1.
  char unterminated[4] = {'1', ';', '2', '3'};
  SetKVIndexAtPos(unterminated, sizeof unterminated, 1, "AI");
  EXPECT_STREQ(unterminated, "AI;");
}

TEST(KVIndex, ConvertReplacesNumericGroupTexts) {
  EXPECT_EQ(Converted("1;0"), "AI;0");
  EXPECT_EQ(Converted("2000;1;7"), "CAN;1;7");
  EXPECT_EQ(Converted("1400000;0;1"), "RT;0;1");
  EXPECT_EQ(Converted("PC:x;100;2"), "PC:x;DI;2");
  EXPECT_EQ(Converted("500000;3"), "500000;3");
  EXPECT_EQ(Converted("AI;0"), "AI;0");
  EXPECT_EQ(Converted("42;0"), "42;0");
  EXPECT_EQ(Converted(""), "");
}

TEST(KVIndex, ConvertFitsTheChannelField) {
  const std::string converted = Converted("1200000;1234567890;1234567890;12");
  EXPECT_EQ(converted.size(), kKVIndexBytes - 1);
  EXPECT_EQ(converted.substr(0, 10), "Event log;");
}

TEST(ChannelGroups, CodesByNameAndNamesByNumericText) {
  EXPECT_EQ(ChannelGroupCode("AI"), 1);
  EXPECT_EQ(ChannelGroupCode("CAN"), 2000);
  EXPECT_EQ(ChannelGroupCode("500000"), 500000);
  EXPECT_EQ(ChannelGroupCode("Lumaq"), 1500000);
  EXPECT_EQ(ChannelGroupCode("ai"), 0);
  EXPECT_EQ(ChannelGroupCode(""), 0);
  ASSERT_NE(ChannelGroupByNumericText("7000"), nullptr);
  EXPECT_EQ(ChannelGroupByNumericText("7000")->name, "Math");
  EXPECT_EQ(ChannelGroupByNumericText("500000"), nullptr);
  EXPECT_EQ(ChannelGroupByNumericText(""), nullptr);
  for (const ChannelGroup& group : kChannelGroups) {
    if (!group.numericText.empty()) {
      EXPECT_EQ(std::to_string(group.code), group.numericText);
    }
  }
}

}  // namespace
}  // namespace Korvane::DataReader

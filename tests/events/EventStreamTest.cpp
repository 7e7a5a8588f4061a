// Reading event streams of every stream and record version, as the test kit writes
// them, through the container a host's file would give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "common/DataReaderLibException.h"
#include "events/CBlockEvents.h"
#include "events/CKVEventHelper.h"
#include "testkit/ByteWriter.h"
#include "testkit/EventStreamWriter.h"
#include "tests/events/EventStreamFixture.h"

namespace Korvane::DataReader::Events {
namespace {

using TestKit::EventRecord;
using TestKit::EventStreamWriter;

std::string DisplayText(const CEventEntry& event, int room = 200) {
  std::string buffer(static_cast<size_t>(room), 'x');
  event.GetEventtext(buffer.data(), room);
  return buffer.c_str();
}

class EventStream : public EventStreamFixture {};

TEST_F(EventStream, EmptyStreamsOfEachVersion) {
  EXPECT_TRUE(Read(EventStreamWriter(1, false).Finish()).empty());
  EXPECT_TRUE(Read(EventStreamWriter(2, false).Finish()).empty());
  EXPECT_TRUE(Read(EventStreamWriter(3, true).Finish()).empty());
}

TEST_F(EventStream, VersionZeroOrNegativeIsCorrupt) {
  for (int32_t version : {0, -1, -70000}) {
    const std::vector<uint8_t> bytes = TestKit::ByteWriter().I32(version).I32(-1).Take();
    EXPECT_THROW(Read(bytes), FileCorruptException) << version;
  }
}

TEST_F(EventStream, VersionOneReadsTheCountedRecords) {
  EventStreamWriter writer(1, true);
  writer.AddStart(2, 10).AddStop(5, 0);
  const auto& events = Read(writer.Finish());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0]->type(), kStartEvent);
  EXPECT_EQ(events[1]->type(), kStopEvent);
  EXPECT_EQ(events[1]->position().block, 5);
}

TEST_F(EventStream, StreamWithoutTerminatorEndsWhenFewerThanFiveBytesRemain) {
  EventStreamWriter writer(2, false);
  writer.AddStart(0, 0).AddStop(1, 0);
  std::vector<uint8_t> bytes = writer.Finish(/*terminate=*/false);
  bytes.insert(bytes.end(), {0, 0, 0, 0});  // four trailing bytes are not a type code
  const auto& events = Read(bytes);
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(EventStream, RecordVersionOneHasNoTextNorLevelOffsets) {
  EventRecord record;
  record.recordVersion = 1;
  record.text = "ignored";          // not stored at version 1
  record.levelOffsets = {1, 2, 3};  // not stored at version 1
  const auto& events = Read(EventStreamWriter(2, false).Add(record).Finish());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]->text(), "");
  EXPECT_TRUE(events[0]->levelOffsets().empty());
  EXPECT_EQ(DisplayText(*events[0]), "storing started");
}

TEST_F(EventStream, TextIsUtf16FromVersion7100And8BitBefore) {
  EventRecord record;
  record.recordVersion = 2;
  record.text = "Z";
  const auto& wide = Read(EventStreamWriter(2, /*oldFormat=*/false).Add(record).Finish());
  ASSERT_EQ(wide.size(), 1u);
  EXPECT_EQ(DisplayText(*wide[0]), "storing started; Z");

  record.text = "Old text";
  helper_.Clear();
  helper_.SetOldFormat(true);
  const auto& narrow = Read(EventStreamWriter(2, /*oldFormat=*/true).Add(record).Finish());
  ASSERT_EQ(narrow.size(), 1u);
  EXPECT_EQ(narrow[0]->text(), "Old text");
}

TEST_F(EventStream, LaterRecordVersionsCarryLevelOffsetsAndSecondCode) {
  EventRecord record;
  record.recordVersion = 4;
  record.levelOffsets = {11, 12, 13, 14, 15, 16};
  record.secondCode = 255;
  const auto& events = Read(EventStreamWriter(2, false).Add(record).Finish());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]->levelOffsets(), (std::vector<int32_t>{11, 12, 13, 14, 15, 16}));
  EXPECT_EQ(events[0]->secondCode(), 255);
}

TEST_F(EventStream, TriggerBlockFromVersionFiveAndForStopsFromSix) {
  // A stop of version 5 stores no trigger block, a start of version 5 does; if
  // either were misread the following keyboard event would be lost.
  EventRecord start;
  start.recordVersion = 5;
  start.hasTriggerInfo = true;
  start.triggerInfo.indexList = {0xFFFF, 1, 2};
  EventRecord stop;
  stop.type = kStopEvent;
  stop.recordVersion = 5;
  EventRecord longList;
  longList.type = kTrigEvent;
  longList.recordVersion = 6;
  longList.hasTriggerInfo = true;
  longList.triggerInfo.indexList.assign(255, 0xABCDEF01u);
  EventRecord emptyBlock;
  emptyBlock.type = kVStartEvent;
  emptyBlock.recordVersion = 6;
  EventRecord keyboard;
  keyboard.type = kKeyboardEvent;
  keyboard.block = 77;
  EventStreamWriter writer(2, false);
  writer.Add(start).Add(stop).Add(longList).Add(emptyBlock).Add(keyboard);
  const auto& events = Read(writer.Finish());
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[4]->type(), kKeyboardEvent);
  EXPECT_EQ(events[4]->position().block, 77);
  EXPECT_EQ(DisplayText(*events[3]), "Video storing STARTED");
}

TEST_F(EventStream, NoticeModuleAlarmAndVoiceBlocks) {
  EventRecord emptyNotice;
  emptyNotice.type = kNoticeEvent;
  EventRecord notice = emptyNotice;
  notice.blockText = "pressure high";
  EventRecord module;
  module.type = kModuleEvent;
  EventRecord alarm;
  alarm.type = kAlarmLevelEvent;
  alarm.recordVersion = 2;
  alarm.text = "limit";
  alarm.alarmByte = 9;
  alarm.blockText = "alarm text";
  EventRecord voice;
  voice.type = kVoiceEvent;
  voice.voiceLength = 1000;
  EventRecord after;
  after.type = kCursorInfoEvent;
  after.block = 4;
  EventStreamWriter writer(2, false);
  writer.Add(emptyNotice).Add(notice).Add(module).Add(alarm).Add(voice).Add(after);
  const auto& events = Read(writer.Finish());
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(DisplayText(*events[0]), "Text event");
  EXPECT_EQ(DisplayText(*events[1]), "Notice - pressure high");
  EXPECT_EQ(DisplayText(*events[2]), "Module action");
  EXPECT_EQ(DisplayText(*events[3]), "; limit");
  const auto& alarmEvent = static_cast<const CAlarmEvent&>(*events[3]);
  EXPECT_EQ(alarmEvent.alarmByte(), 9);
  EXPECT_EQ(alarmEvent.alarmText(), "alarm text");
  EXPECT_EQ(DisplayText(*events[4]), "Voice event");
  EXPECT_EQ(events[5]->position().block, 4);  // exactly 1000 voice bytes were skipped
  EXPECT_EQ(DisplayText(*events[5]), "");
}

TEST_F(EventStream, JunkBeforeMarkersIsSkipped) {
  EventRecord start;
  start.junkBeforeRecord = 37;
  start.block = 3;
  EventRecord stop;
  stop.type = kStopEvent;
  stop.junkBeforeRecord = 1;
  stop.block = 8;
  const auto& events = Read(EventStreamWriter(2, false).Add(start).Add(stop).Finish());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0]->position().block, 3);
  EXPECT_EQ(events[1]->position().block, 8);
}

TEST_F(EventStream, UnknownTypeIsCorruptAndKeepsTheEventsBeforeIt) {
  EventRecord unknown;
  unknown.type = 4;
  EventStreamWriter writer(2, false);
  writer.AddStart(0, 0).Add(unknown);
  EXPECT_THROW(Read(writer.Finish()), FileCorruptException);
  ASSERT_EQ(helper_.Events().size(), 1u);
  EXPECT_EQ(helper_.Events()[0]->type(), kStartEvent);
}

TEST_F(EventStream, CountsBeyondTheStreamAreCorrupt) {
  EventStreamWriter writer(2, false);
  EventRecord record;
  record.levelOffsets = {1, 2};
  std::vector<uint8_t> bytes = TestKit::ByteWriter().I32(2).I32(kStartEvent).Take();
  std::vector<uint8_t> body = writer.RecordBytes(record);
  // The level offset count sits after marker (7), version, block, offset, unused
  // (16) and the empty text's count (4).
  const size_t countAt = 7 + 16 + 4;
  for (int32_t count : {-1, 1000000, 0x7fffffff}) {
    std::vector<uint8_t> damaged = body;
    for (int i = 0; i < 4; ++i) damaged[countAt + i] = static_cast<uint8_t>(count >> (8 * i));
    std::vector<uint8_t> stream = bytes;
    stream.insert(stream.end(), damaged.begin(), damaged.end());
    helper_.Clear();
    EXPECT_THROW(Read(stream), FileCorruptException) << count;
  }

  EventRecord voice;
  voice.type = kVoiceEvent;
  voice.voiceLength = 10;
  std::vector<uint8_t> voiceStream = TestKit::ByteWriter().I32(2).I32(kVoiceEvent).Take();
  std::vector<uint8_t> voiceBody = writer.RecordBytes(voice);
  // The voice length follows the block's "VoiceS" tag and an unused int32.
  const std::string tag = "VoiceS";
  const size_t lengthAt =
      static_cast<size_t>(std::search(voiceBody.begin(), voiceBody.end(), tag.begin(), tag.end()) -
                          voiceBody.begin()) + tag.size() + 4;
  voiceBody[lengthAt + 3] = 0x10;  // 10 becomes 0x1000000A bytes
  voiceStream.insert(voiceStream.end(), voiceBody.begin(), voiceBody.end());
  helper_.Clear();
  EXPECT_THROW(Read(voiceStream), FileCorruptException);
}

TEST_F(EventStream, StreamEndingInsideARecordIsCorrupt) {
  EventStreamWriter writer(2, false);
  writer.AddStart(1, 2).AddStop(3, 4);
  std::vector<uint8_t> bytes = writer.Finish();
  for (size_t cut : {size_t{9}, size_t{20}, bytes.size() - 12}) {
    helper_.Clear();
    EXPECT_THROW(Read(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut))),
                 FileCorruptException)
        << cut;
  }
}

TEST_F(EventStream, DisplayTextNeverPassesItsRoom) {
  EventRecord record;
  record.recordVersion = 2;
  record.text = std::string(300, 'q');
  const auto& events = Read(EventStreamWriter(2, false).Add(record).Finish());
  ASSERT_EQ(events.size(), 1u);
  char buffer[210];
  std::memset(buffer, 'x', sizeof buffer);
  events[0]->GetEventtext(buffer, 200);
  EXPECT_EQ(std::string(buffer).size(), 199u);
  EXPECT_EQ(std::string(buffer, 17), "storing started; ");
  EXPECT_EQ(buffer[200], 'x');
  events[0]->GetEventtext(buffer, 5);
  EXPECT_STREQ(buffer, "stor");
  buffer[0] = 'x';
  events[0]->GetEventtext(buffer, 0);
  EXPECT_EQ(buffer[0], 'x');
}

}  // namespace
}  // namespace Korvane::DataReader::Events

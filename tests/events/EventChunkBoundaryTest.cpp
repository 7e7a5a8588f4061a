// The event stream is read in chunks, and records are taken apart where a chunk
// ends: a marker, a tag, a text or a skipped block split between two chunks, junk
// before a marker across a chunk end, a stream that ends inside a record. Small
// windows put a chunk end at every offset of every record; they must read what one
// large window reads, and the record search must agree with the stream's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "events/CKVEventHelper.h"
#include "events/EventRecordReader.h"
#include "multistream/CFileStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Events {
namespace {

using TestKit::ByteWriter;
using TestKit::EventRecord;

constexpr int32_t kSmallWindows[] = {8, 9, 10, 13, 17, 31, 64};

// What a read gave: one line per event (fields and display text), the counts,
// and whether the read failed.
struct Outcome {
  std::vector<std::string> events;
  int listed = 0;
  int stops = 0;
  bool failed = false;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  out << (outcome.failed ? "failed" : "read") << ' ' << outcome.listed << ' ' << outcome.stops;
  for (const std::string& line : outcome.events) out << "\n  " << line;
  return out;
}

class EventChunkBoundaries : public ::testing::Test {
 protected:
  MultiStream::CFileStream& Open(const std::vector<uint8_t>& bytes) {
    const std::string path = directory_.File("s" + std::to_string(files_++) + ".bin");
    TestKit::WriteFile(path, bytes);
    file_ = std::make_unique<MultiStream::CFileStream>(path.c_str());
    return *file_;
  }

  Outcome Read(const std::vector<uint8_t>& bytes, int32_t windowBytes, bool oldFormat = false) {
    MultiStream::CFileStream& stream = Open(bytes);
    CKVEventHelper helper;
    helper.SetOldFormat(oldFormat);
    Outcome outcome;
    try {
      helper.ReadFromStream(&stream, windowBytes);
    } catch (const FileCorruptException&) {
      outcome.failed = true;
    }
    // The counts kept while reading, before the list is handed out.
    outcome.listed = helper.GetEventListCnt();
    outcome.stops = helper.GetStartStopEventListCnt();
    for (const auto& event : helper.Events()) {
      std::ostringstream line;
      line << event->type() << ' ' << event->recordVersion() << ' ' << event->position().block << ' '
           << event->position().offset << ' ' << event->secondCode() << " [";
      for (int32_t offset : event->levelOffsets()) line << offset << ',';
      char display[200];
      event->GetEventtext(display, sizeof display);
      line << "] " << event->text() << " | " << display;
      outcome.events.push_back(line.str());
    }
    return outcome;
  }

  TestKit::TempDir directory_;
  std::unique_ptr<MultiStream::CFileStream> file_;
  int files_ = 0;
};

// Every kind of record, with texts and skipped blocks longer than a small window
// and junk before markers.
std::vector<uint8_t> EveryKindOfRecord(bool oldFormat = false) {
  TestKit::EventStreamWriter writer(2, oldFormat);
  EventRecord start;
  start.recordVersion = 5;
  start.block = 7;
  start.offset = 3;
  start.text = "a start text longer than any small window";
  start.levelOffsets = {1, 2, 3, 4, 5, 6, 7, 8};  // more than the six kept in place
  start.hasTriggerInfo = true;
  start.triggerInfo.indexList = {1, 2, 0xFFFF};
  start.junkBeforeRecord = 23;
  EventRecord trigger;
  trigger.type = kTrigEvent;
  trigger.recordVersion = 6;
  trigger.hasTriggerInfo = true;
  trigger.triggerInfo.indexList.assign(40, 0x86878687u);  // markers inside a skipped list
  EventRecord notice;
  notice.type = kNoticeEvent;
  notice.blockText = std::string("cut\0here", 8);  // the text ends at its zero
  notice.junkBeforeRecord = 5;
  EventRecord voice;
  voice.type = kVoiceEvent;
  voice.voiceLength = 150;
  EventRecord alarm;
  alarm.type = kAlarmEvent;
  alarm.recordVersion = 2;
  alarm.text = "limit";
  alarm.alarmByte = 0x86;
  alarm.blockText = "alarm text";
  EventRecord stop;
  stop.type = kStopEvent;
  stop.block = 9;
  stop.junkBeforeRecord = 64;
  writer.Add(start).Add(trigger).Add(notice).Add(voice).Add(alarm).Add(stop);
  return writer.Finish();
}

TEST_F(EventChunkBoundaries, EveryWindowReadsTheSameEvents) {
  for (bool oldFormat : {false, true}) {
    const std::vector<uint8_t> bytes = EveryKindOfRecord(oldFormat);
    const Outcome whole = Read(bytes, CKVEventHelper::kReadWindowBytes, oldFormat);
    ASSERT_FALSE(whole.failed);
    ASSERT_EQ(whole.events.size(), 6u);
    // The large window reads what was written: a long text, offsets past the six
    // kept in place, a text cut at its zero.
    EXPECT_NE(whole.events[0].find("[1,2,3,4,5,6,7,8,] a start text longer than any small window"), std::string::npos)
        << whole;
    EXPECT_TRUE(whole.events[2].ends_with("| Notice - cut")) << whole;
    for (int32_t window = 8; window <= 80; ++window) {
      EXPECT_EQ(Read(bytes, window, oldFormat), whole) << window << (oldFormat ? " old format" : "");
    }
  }
}

TEST_F(EventChunkBoundaries, EveryCutEndsAsWithOneWindow) {
  // Cut after every byte: the read stops (or fails) at the same record whatever
  // the window, and the counts match the events kept.
  const std::vector<uint8_t> bytes = EveryKindOfRecord();
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    const Outcome whole = Read(head, CKVEventHelper::kReadWindowBytes);
    for (int32_t window : kSmallWindows) ASSERT_EQ(Read(head, window), whole) << "cut " << cut << " window " << window;
  }
}

// The record search through the windows against the stream's own search, which
// reads a byte at a time: the same result, the same position, the same failure.
TEST_F(EventChunkBoundaries, RecordSearchAgreesWithTheStream) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* tag;
  };
  const std::vector<Case> cases = {
      {"junk then record", ByteWriter().Text("junk").U8(0x86).Text("EventS").I32(1).Take(), "EventS"},
      {"long junk", ByteWriter().Zeros(40).U8(0x86).Text("EventS").Take(), "EventS"},
      {"other tag first", ByteWriter().U8(0x86).Text("NoticS").U8(0x86).Text("EventS").Take(), "EventS"},
      {"marker inside a tag", ByteWriter().U8(0x86).U8(0x86).Text("EventS").U8(0x86).Text("EventS").Take(), "EventS"},
      {"record at the very end", ByteWriter().Text("xyz").U8(0x86).Text("EventS").Take(), "EventS"},
      {"tag cut by the end", ByteWriter().Text("abc").U8(0x86).Text("Eve").Take(), "EventS"},
      {"marker last byte", ByteWriter().Text("abcdefghij").U8(0x86).Take(), "EventS"},
      {"end marker only", ByteWriter().U8(0x87).Text("EventS").Zeros(3).Take(), "EventS"},
      {"no marker", ByteWriter().Zeros(30).Take(), "EventS"},
      {"empty", {}, "EventS"},
      {"short tag", ByteWriter().U8(0x86).Text("Event").U8(0).U8(0x86).Text("EventS").Take(), "Event"},
      {"two records", ByteWriter().U8(0x86).Text("EventS").Text("body").U8(0x86).Text("EventS").Take(), "EventS"},
  };
  for (const Case& c : cases) {
    // Two searches in a row, so that what the first leaves in the window counts.
    std::vector<std::string> expected;
    MultiStream::CStream& plain = Open(c.bytes);
    for (int search = 0; search < 2; ++search) {
      try {
        const bool found = plain.GenCheckFore64(c.tag);
        expected.push_back((found ? "found at " : "not found at ") + std::to_string(plain.Position()));
      } catch (const FileCorruptException&) {
        expected.emplace_back("end of stream");
        break;
      }
    }
    for (int32_t window = 8; window <= 20; ++window) {
      EventArena storage;
      EventRecordReader reader(Open(c.bytes), window, storage);
      std::vector<std::string> got;
      for (int search = 0; search < 2; ++search) {
        try {
          const bool found = reader.FindRecordStart(c.tag);
          got.push_back((found ? "found at " : "not found at ") + std::to_string(reader.Position()));
        } catch (const FileCorruptException&) {
          got.emplace_back("end of stream");
          break;
        }
      }
      EXPECT_EQ(got, expected) << c.name << ", window " << window;
    }
  }
}

// Room for the events is reserved by what the stream can hold: a stored count,
// whatever it says, neither reserves more nor stops the read early.
TEST_F(EventChunkBoundaries, CountedStreamsReserveNoMoreThanTheStreamHolds) {
  struct Case {
    int32_t count;
    size_t events;
    bool failed;
  };
  const Case cases[] = {{INT32_MIN, 0, false}, {-1, 0, false}, {0, 0, false}, {1, 1, false}, {2, 1, true},
                        {INT32_MAX, 1, true}};
  TestKit::EventStreamWriter writer(2, false);
  const std::vector<uint8_t> record = writer.RecordBytes(EventRecord{});
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = ByteWriter().I32(1).I32(c.count).I32(kStartEvent).Take();
    bytes.insert(bytes.end(), record.begin(), record.end());
    const Outcome outcome = Read(bytes, CKVEventHelper::kReadWindowBytes);
    EXPECT_EQ(outcome.events.size(), c.events) << c.count;
    EXPECT_EQ(outcome.failed, c.failed) << c.count;
  }
}

// The region list divides positions by every level's divisor, taking a shortcut
// for positions within a block; positions that are not (negative blocks and
// offsets, offsets past the block) must give what plain division gives.
TEST_F(EventChunkBoundaries, RegionIndicesAgreeWithPlainDivision) {
  struct Levels {
    int32_t blockSize;
    std::array<int32_t, kReducedLevelCount> rates;
  };
  const Levels levels[] = {{100, {100, 20, 20, 20, 20, 20}}, {1, {1, 1, 1, 1, 1, 1}}, {7, {7, 3, 5, 2, 9, 4}}};
  const RecordPosition positions[][2] = {
      {{0, 0}, {0, 0}},         {{2, 10}, {5, 0}},          {{5, 99}, {5, 100}},      {{-3, 5}, {-1, 0}},
      {{0, -1}, {1, -50}},      {{7, 250}, {9, 1}},         {{399, 99}, {400, 0}},    {{400, 0}, {799, 1}},
      {{1999, 0}, {8000, 0}},   {{-401, -7}, {-400, 6}},    {{8001, 6}, {8001, 7}},   {{INT32_MAX - 1, 0}, {INT32_MAX, 0}},
      {{399, 100}, {400, 100}}, {{19, 7}, {29, 7}},         {{0, 1}, {1, 1}},
  };
  for (const Levels& level : levels) {
    int64_t mid[kReducedLevelCount] = {1};
    for (int k = 1; k < kReducedLevelCount; ++k) mid[k] = mid[k - 1] * level.rates[k];
    for (const auto& [start, stop] : positions) {
      TestKit::EventStreamWriter writer(2, false);
      writer.AddStart(start.block, start.offset).AddStop(stop.block, stop.offset);
      CKVEventHelper helper;
      helper.SetBlockSize(level.blockSize);
      helper.SetIBRates(level.rates);
      helper.ReadFromStream(&Open(writer.Finish()));
      KVStartStopEvent region{};
      ASSERT_EQ(helper.GetStartStopEventListCnt(), 1);
      helper.GetStartStopEventList(&region);
      const int64_t startPos = start.calculatePosition(level.blockSize);
      const int64_t stopPos = stop.calculatePosition(level.blockSize);
      for (int k = 0; k < kReducedLevelCount; ++k) {
        const int64_t abs = level.blockSize * mid[k];
        const std::string where = "block size " + std::to_string(level.blockSize) + ", start " +
                                  std::to_string(startPos) + ", stop " + std::to_string(stopPos) + ", level " +
                                  std::to_string(k);
        EXPECT_EQ(region.first_index[k], startPos / abs) << where;
        EXPECT_EQ(region.end_index[k], (stopPos - 1 + abs) / abs) << where;
        // One region: the gap before it is its start's block at the level, when positive.
        EXPECT_EQ(region.stored_block_base[k], mid[k] * std::min<int64_t>(start.block / mid[k], 0)) << where;
      }
    }
  }
}

}  // namespace
}  // namespace Korvane::DataReader::Events

// kvtool check on recordings the test kit writes: a sound one, ones cut off by a
// power loss in the ways the library repairs (a stop beyond the stored data, a
// start never stopped, data that ends before a region), and one that does not
// open; the verdict is the exit status and the JSON report says what was repaired.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "KvtoolRunner.h"
#include "SetupProperty.h"
#include "StoredEvents.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::KvtoolTest {
namespace {

using TestKit::DataLayout;
using TestKit::SampleRecordingContents;

// The sample recording's events, rewritten over `layout` (its regions as the
// events shall say) with the stored-record offsets of the data as written.
std::vector<uint8_t> Events(const SampleRecordingContents& contents, const DataLayout& layout, bool lastStop = true,
                            bool leadingStop = false) {
  TestKit::EventStreamWriter writer(2, false);
  if (leadingStop) writer.AddStop(1, 0);
  for (size_t r = 0; r < layout.regions.size(); ++r) {
    std::vector<int32_t> offsets;
    for (int level = 0; level < contents.reducedLevels; ++level) {
      offsets.push_back(TestKit::StoredIntervals(contents.layout, level).regionFirstRecord.at(r));
    }
    const TestKit::RecordedRegion& region = layout.regions[r];
    writer.AddStart(region.startBlock, region.startOffset, offsets);
    if (lastStop || r + 1 < layout.regions.size()) writer.AddStop(region.stopBlock, region.stopOffset);
  }
  return writer.Finish();
}

void CutStream(SampleRecordingContents& contents, const std::string& code, int64_t blocks) {
  for (auto& [name, bytes] : contents.recording.streams) {
    if (name == code) bytes.resize(bytes.size() / static_cast<size_t>(contents.layout.StoredBlockCount()) * blocks);
  }
}

struct RegionExpect {
  std::string state;
  nlohmann::json storedStop;    // null: none stored (or the region is not stored)
  nlohmann::json repairedStop;  // null: the repair dropped it
};

struct CheckCase {
  std::string name;
  std::function<void(SampleRecordingContents&)> damage;
  int exitStatus;
  std::vector<RegionExpect> regions;
};

const std::vector<CheckCase>& Cases() {
  static const std::vector<CheckCase> cases = {
      {"sound", [](SampleRecordingContents&) {}, 0, {{"kept", 2.0, 2.0}, {"kept", 4.55, 4.55}, {"kept", 8.0, 8.0}}},
      {"last stop beyond the stored data",
       [](SampleRecordingContents& c) {
         DataLayout layout = c.layout;
         layout.regions[2].stopBlock = 95;
         c.recording.events = Events(c, layout);
       },
       1,
       {{"kept", 2.0, 2.0}, {"kept", 4.55, 4.55}, {"moved", 9.5, 8.0}}},
      {"start without a stop",
       [](SampleRecordingContents& c) { c.recording.events = Events(c, c.layout, false); },
       1,
       {{"kept", 2.0, 2.0}, {"kept", 4.55, 4.55}, {"closed", nullptr, 8.0}}},
      // 30 of 56 blocks reached the file: the second region's stop moves to its
      // tenth block, the third region has no data and goes.
      {"data ends inside the second region",
       [](SampleRecordingContents& c) { CutStream(c, "DBDATA", 30); },
       1,
       {{"kept", 2.0, 2.0}, {"moved", 4.55, 4.0}, {"dropped", 8.0, nullptr}}},
  };
  return cases;
}

class KvtoolCheck : public ::testing::Test {
 protected:
  std::string Write(const std::function<void(SampleRecordingContents&)>& damage, bool zip = false) {
    SampleRecordingContents contents = TestKit::SampleRecording();
    contents.recording.zipPackaged = zip;
    damage(contents);
    const std::string path = directory_.File(zip ? "check.kxz" : "check.kvd");
    TestKit::WriteRecording(path, contents.recording);
    return path;
  }
  TestKit::TempDir directory_;
};

TEST_F(KvtoolCheck, VerdictAndRegionsOfEachRecording) {
  for (const CheckCase& c : Cases()) {
    for (bool zip : {false, true}) {
      SCOPED_TRACE(c.name + (zip ? " (zip-packaged)" : ""));
      const KvtoolRun run = RunKvtool({"check", Write(c.damage, zip), "--json"});
      ASSERT_EQ(run.exitStatus, c.exitStatus) << run.out << run.err;
      const nlohmann::json report = nlohmann::json::parse(run.out);
      EXPECT_EQ(report["exit_status"], c.exitStatus);
      EXPECT_EQ(report["block_size"], 100);
      EXPECT_TRUE(report["setup_stream"]["readable"]);
      EXPECT_EQ(report["event_stream"]["code"], "EVENTS__");
      const nlohmann::json& regions = report["regions"];
      ASSERT_EQ(regions.size(), c.regions.size());
      for (size_t i = 0; i < regions.size(); ++i) {
        SCOPED_TRACE("region " + std::to_string(i));
        EXPECT_EQ(regions[i]["state"], c.regions[i].state);
        EXPECT_DOUBLE_EQ(regions[i]["stored"]["start"].get<double>(), i == 0 ? 0.0 : 3.0 * double(i));
        EXPECT_EQ(regions[i]["stored"]["stop"], c.regions[i].storedStop);
        if (c.regions[i].repairedStop.is_null()) {
          EXPECT_TRUE(regions[i]["repaired"].is_null());
        } else {
          EXPECT_EQ(regions[i]["repaired"]["stop"], c.regions[i].repairedStop);
        }
      }
      // Every channel reads to the end the library counts after the repair.
      // The synchronous channels, the text single value and the asynchronous channel.
      ASSERT_EQ(report["channels"].size(), TestKit::SampleRecording().channels.size() + 2);
      for (const nlohmann::json& channel : report["channels"]) {
        EXPECT_TRUE(channel["complete"]) << channel.dump();
        EXPECT_EQ(channel["read"], channel["expected"]);
        EXPECT_EQ(channel["status"], 0);
      }
    }
  }
}

// The text report: each channel's samples read and expected, a moved stop with its
// old and new time, the verdict.
TEST_F(KvtoolCheck, TextReport) {
  const struct {
    std::function<void(SampleRecordingContents&)> damage;
    int exitStatus;
    std::vector<std::string> lines;
  } cases[] = {
      // 20 + 15.5 + 20 blocks of 100 samples; the array channel at a tenth of the rate.
      {Cases()[0].damage, 0,
       {"Voltage                  5550 / 5550  ok", "Spectrum                 555 / 555  ok",
        "Operator                 1 / 1  ok", "verdict   sound (exit status 0)"}},
      {Cases()[1].damage, 1,
       {"moved: stop 9.5 s -> 8 s", "Voltage                  5550 / 5550  ok",
        "verdict   opens only after repair or with damaged data (exit status 1)"}},
  };
  for (const auto& c : cases) {
    const KvtoolRun run = RunKvtool({"check", Write(c.damage)});
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.err;
    for (const std::string& line : c.lines) EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  }
}

TEST_F(KvtoolCheck, StopBeforeAnyStartDoesNotOpen) {
  const std::string path =
      Write([](SampleRecordingContents& c) { c.recording.events = Events(c, c.layout, true, true); });
  const KvtoolRun json = RunKvtool({"check", path, "--json"});
  ASSERT_EQ(json.exitStatus, 2) << json.out << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_FALSE(report["opens"]);
  EXPECT_EQ(report["status"], 4);
  // The library reports every damaged file with the one message of its status.
  EXPECT_NE(report["message"].get<std::string>().find("File is corrupted or has invalid format"), std::string::npos)
      << json.out;
  const KvtoolRun text = RunKvtool({"check", path});
  EXPECT_EQ(text.exitStatus, 2);
  EXPECT_NE(text.out.find("status 4"), std::string::npos) << text.out;
}

TEST_F(KvtoolCheck, ChannelWithDamagedDataShowsItsStatus) {
  const std::string path = Write([](SampleRecordingContents& c) {
    for (auto& [name, bytes] : c.recording.streams) {
      if (name == "SVDATA2") bytes.resize(1);  // the operator's name never reached the file
    }
  });
  const KvtoolRun run = RunKvtool({"check", path, "--json"});
  ASSERT_EQ(run.exitStatus, 1) << run.out << run.err;
  const nlohmann::json report = nlohmann::json::parse(run.out);
  for (const nlohmann::json& channel : report["channels"]) {
    const bool damaged = channel["name"] == "Operator";
    EXPECT_EQ(channel["complete"], !damaged) << channel.dump();
    EXPECT_EQ(channel["status"], damaged ? 4 : 0);
    EXPECT_EQ(channel["read"], damaged ? 0 : channel["expected"].get<int64_t>());
  }
  for (const nlohmann::json& region : report["regions"]) EXPECT_EQ(region["state"], "kept");
}

TEST(KvtoolCheckHelp, DocumentsTheExitStatuses) {
  const KvtoolRun run = RunKvtool({"check", "--help"});
  EXPECT_EQ(run.exitStatus, 0);
  for (const char* text : {"0 sound", "1 opens only after repair", "2 does not open"}) {
    EXPECT_NE(run.out.find(text), std::string::npos) << text;
  }
}

// The stored-event scanner on hand-made streams: records found by their marker, a
// marker inside a text or behind junk passed over rather than misread, and cut-off
// records never read past the end.
TEST(StoredEventScan, FindsRecordsAndNeverReadsPastTheEnd) {
  TestKit::EventStreamWriter writer(2, true);  // 8-bit texts: the marker below is stored as it is
  writer.AddStart(3, 20, {1, 2}).AddStop(7, -5);
  TestKit::EventRecord notice;
  notice.type = 21;
  notice.text = "\x86" "EventS";
  notice.blockText = "\x86" "EventS";
  writer.Add(notice);
  TestKit::EventRecord junky;  // its type code lies before the junk: not placeable
  junky.type = 1;
  junky.junkBeforeRecord = 9;
  writer.Add(junky).AddStop(9, 0);
  const std::vector<uint8_t> stream = writer.Finish();
  const std::vector<kvtool::StoredEvent> events = kvtool::ScanStoredEvents(stream);
  const std::vector<std::pair<int32_t, int32_t>> expected = {{1, 3}, {2, 7}, {21, 0}, {2, 9}};
  ASSERT_EQ(events.size(), expected.size());
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].type, expected[i].first) << i;
    EXPECT_EQ(events[i].block, expected[i].second) << i;
  }
  EXPECT_EQ(events[1].offset, -5);
  const std::vector<kvtool::StoredRegion> regions = kvtool::PairStoredRegions(events, 100);
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[0].start, 320);
  EXPECT_EQ(regions[0].stop, 695);
  EXPECT_EQ(regions[1].start, 320);  // a stop without a start of its own repeats the previous one
  // Every prefix: only records whose fields lie wholly inside are reported.
  for (size_t size = 0; size <= stream.size(); ++size) {
    const std::vector<uint8_t> prefix(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(size));
    for (const kvtool::StoredEvent& event : kvtool::ScanStoredEvents(prefix)) {
      EXPECT_LE(event.streamOffset + 19, size);
    }
  }
}

TEST(StoredEventScan, OpenStartStaysOpen) {
  const std::vector<kvtool::StoredEvent> events = {{1, 4, 0, 0, 8}, {2, 4, 2, 0, 40}, {1, 4, 5, 50, 80}};
  const std::vector<kvtool::StoredRegion> regions = kvtool::PairStoredRegions(events, 1000);
  ASSERT_EQ(regions.size(), 2u);
  EXPECT_EQ(regions[1].start, 5050);
  EXPECT_FALSE(regions[1].stop.has_value());
}

TEST(SetupBlockSize, ReadsTheMeasurementPropertyOnly) {
  const std::string head = "<?xml version=\"1.0\"?><Root><System><KorvaneSetup>";
  const struct {
    std::string xml;
    std::optional<int32_t> blockSize;
  } cases[] = {
      {head + "<Devices><SampleRate>1</SampleRate><BlockSize> 250 </BlockSize></Devices>", 250},
      {head + "<devices><blocksize>64</blocksize></devices>", 64},
      // A block size of a device, in a comment or an attribute is not the measurement's.
      {head + "<Devices a=\"<BlockSize>7\"><Device><BlockSize>9</BlockSize></Device><!-- <BlockSize>8 -->"
              "<BlockSize>32</BlockSize></Devices>", 32},
      {head + "<Devices><BlockSize>5</BlockSize><BlockSize>6</BlockSize></Devices>", 5},
      {head + "<Devices/><Devices><BlockSize>5</BlockSize></Devices>", 100},  // the first "Devices" wins
      {head + "<Devices><BlockSize/></Devices>", 100},
      {head + "<Devices></Devices>", 100},
      {head + "<Devices><BlockSize>0</BlockSize></Devices>", std::nullopt},
      {head + "<Devices><BlockSize>many</BlockSize></Devices>", std::nullopt},
      {head + "<Devices><BlockSize>99999999999</BlockSize></Devices>", std::nullopt},
      {head + "<Devices><BlockSize", 100},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kvtool::SetupBlockSize(c.xml), c.blockSize) << c.xml;
  }
}

}  // namespace
}  // namespace Korvane::DataReader::KvtoolTest

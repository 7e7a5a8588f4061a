// The demo recording cut short at 200 places over its length, and with bytes
// changed at random places (fixed seeds): each file either fails to open with a
// status that says so, or opens and answers every query of ReadEverything with a
// status. A crash, a hang (the ctest timeout), an invalid access or a leak (under
// the sanitizers) fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/TempDir.h"
#include "tests/abi/ReadEverything.h"

namespace Korvane::DataReader {
namespace {

// An open of a damaged file: opened, or refused as damaged (also a file too short
// to hold the file header, down to an empty one).
const std::set<KVStatus> kOpenStatuses = {KVOk, KVFileCorrupt};
// A query on a damaged file that opened: answered, "Channel not stored" or damaged.
// The queries take their channel indexes and positions from the file's own lists,
// so "Invalid index" would be a fault.
const std::set<KVStatus> kQueryStatuses = {KVOk, KVError, KVFileCorrupt};

class DamagedRecording : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TestKit::TempDir directory;
    const std::string path = directory.File("sample.kvd");
    recording_ = new TestKit::Recording(TestKit::SampleRecording().recording);
    TestKit::WriteRecording(path, *recording_);
    std::ifstream in(path, std::ios::binary);
    original_ = new std::vector<char>(std::istreambuf_iterator<char>(in), {});
  }
  static void TearDownTestSuite() {
    delete original_;
    original_ = nullptr;
    delete recording_;
    recording_ = nullptr;
  }

  // Writes the bytes, opens and reads them; returns whether the file opened.
  bool Check(const std::vector<char>& bytes, const std::string& what) {
    const std::string path = directory_.File("damaged.kvd");
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return CheckFile(path, what);
  }

  bool CheckFile(const std::string& path, const std::string& what) {
    SCOPED_TRACE(what);
    AbiTest::ReadLimits limits;
    limits.windowsPerChannel = 2;
    const AbiTest::ReadTranscript transcript = AbiTest::ReadEverything(reader_, path, limits);
    EXPECT_TRUE(kOpenStatuses.count(transcript.openStatus)) << "open status " << transcript.openStatus;
    AbiTest::ReadTranscript text;
    EXPECT_EQ(AbiTest::ReadTextValues(path, text), transcript.openStatus);
    for (const auto& statuses : {transcript.statuses, text.statuses}) {
      for (KVStatus status : statuses) EXPECT_TRUE(kQueryStatuses.count(status)) << "query status " << status;
    }
    return transcript.openStatus == KVOk;
  }

  // The recording with `changes` bytes changed (each to a different value) at
  // random positions.
  static std::vector<char> Changed(std::mt19937& random, int changes) {
    std::vector<char> bytes = *original_;
    std::uniform_int_distribution<size_t> position(0, bytes.size() - 1);
    std::uniform_int_distribution<int> flip(1, 255);
    for (int c = 0; c < changes; ++c) bytes[position(random)] ^= static_cast<char>(flip(random));
    return bytes;
  }

  void SetUp() override { ASSERT_EQ(KVICreateReader(&reader_), KVOk); }
  void TearDown() override { KVIDestroyReader(reader_); }

  static TestKit::Recording* recording_;
  static std::vector<char>* original_;
  TestKit::TempDir directory_;
  KVReaderHandle reader_ = nullptr;
};

TestKit::Recording* DamagedRecording::recording_ = nullptr;
std::vector<char>* DamagedRecording::original_ = nullptr;

TEST_F(DamagedRecording, UndamagedOpensAndAnswersEverything) {
  EXPECT_TRUE(Check(*original_, "whole file"));
}

TEST_F(DamagedRecording, CutAt200Offsets) {
  const size_t size = original_->size();
  int opened = 0;
  for (size_t k = 0; k < 200; ++k) {
    const size_t cut = k * size / 200;
    opened += Check(std::vector<char>(original_->begin(), original_->begin() + static_cast<ptrdiff_t>(cut)),
                    "cut at " + std::to_string(cut) + " of " + std::to_string(size));
  }
  std::cout << opened << " of 200 cut files opened\n";
}

// A container cut anywhere loses its stream directory's pages, so none of those
// opens. A recording whose storing was cut off has whole containers with short
// streams instead: the setup, the events, the blocks, the reduced levels or the
// index cut at 200 places spread over all their bytes. Most of these open, their
// regions repaired to the stored data.
TEST_F(DamagedRecording, StreamsCutAt200Offsets) {
  size_t total = recording_->setupText.size() + recording_->events.size();
  for (const auto& stream : recording_->streams) total += stream.second.size();
  int opened = 0;
  for (size_t k = 0; k < 200; ++k) {
    TestKit::Recording cut = *recording_;
    size_t offset = k * total / 200;
    std::string where;
    if (offset < cut.setupText.size()) {
      cut.setupText.resize(offset);
      where = TestKit::kSetupStreamCode;
    } else {
      offset -= cut.setupText.size();
      std::vector<uint8_t>* data = &cut.events;
      where = TestKit::kEventStreamCode;
      for (size_t s = 0; offset >= data->size() && s < cut.streams.size(); ++s) {
        offset -= data->size();
        data = &cut.streams[s].second;
        where = cut.streams[s].first;
      }
      data->resize(std::min(offset, data->size()));
    }
    const std::string path = directory_.File("cut.kvd");
    TestKit::WriteRecording(path, cut);
    opened += CheckFile(path, where + " cut at " + std::to_string(offset));
  }
  std::cout << opened << " of 200 recordings with a cut stream opened\n";
  EXPECT_GT(opened, 100);
}

TEST_F(DamagedRecording, ThousandChangedBytes) {
  std::mt19937 random(18);
  Check(Changed(random, 1000), "1000 changes");
}

TEST_F(DamagedRecording, TwentyFilesOfFiftyChangedBytes) {
  std::mt19937 random(1850);
  for (int file = 0; file < 20; ++file) Check(Changed(random, 50), "50 changes, file " + std::to_string(file));
}

// Single changes mostly leave the file openable, so they reach the reads behind
// the open: region repair, blocks, reduced values, the index, events.
TEST_F(DamagedRecording, HundredFilesOfOneChangedByte) {
  std::mt19937 random(181);
  int opened = 0;
  for (int file = 0; file < 100; ++file) opened += Check(Changed(random, 1), "one change, file " + std::to_string(file));
  std::cout << opened << " of 100 files with one changed byte opened\n";
  EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace Korvane::DataReader

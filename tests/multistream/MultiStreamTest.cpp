// The multi-stream container: header generations, description text and version
// number, stream lookup, the page-table switch, closing and the diagnostic dump.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "common/DataReaderLibException.h"
#include "multistream/CFileStream.h"
#include "multistream/CMultiStream.h"
#include "multistream/FileVersion.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::MultiStream {
namespace {

using TestKit::MultiStreamOptions;
using TestKit::StoredStreamLayout;

MultiStreamOptions Described(const std::string& text) {
  MultiStreamOptions options;
  options.description = text;
  return options;
}

class GenerationTest : public ::testing::TestWithParam<int> {};

TEST_P(GenerationTest, HeaderSizesFollowTheMagic) {
  TestKit::TempDir dir;
  MultiStreamOptions options;
  options.generation = GetParam();
  options.writePageTable = true;
  TestKit::WriteMultiStreamFile(dir.File("c.kvd"), options,
                                {{"SETUP___", TestKit::PatternBytes(777), 50, true}, {"DBDATA", {}, 64}});
  CMultiStream container;
  container.OpenFile(dir.File("c.kvd").c_str());
  EXPECT_EQ(container.Generation(), GetParam());
  EXPECT_EQ(container.PageHeaderSize(), GetParam() == 1 ? 24 : 32);
  EXPECT_EQ(CVirtualStream::EntryBytes(GetParam()), GetParam() == 1 ? 44 : GetParam() == 2 ? 45 : 46);
  ASSERT_EQ(container.StreamCount(), 3u);
  auto* setup = static_cast<CVirtualStream*>(container.StreamByCode("SETUP___"));
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->StreamNumber(), 0);
  EXPECT_EQ(setup->PayloadSize(), 50);
  EXPECT_EQ(setup->LastNumber(), 15);
  EXPECT_EQ(setup->LastFill(), 27);
  // Generation 1 has no page-table flag.
  EXPECT_EQ(setup->HasPageTable(), GetParam() != 1);
  EXPECT_EQ(setup->PageEntries().size(), GetParam() == 1 ? 0u : 16u);
  std::vector<uint8_t> got(777);
  EXPECT_EQ(setup->Read(got.data(), 777), 777);
  EXPECT_EQ(got, TestKit::PatternBytes(777));
  EXPECT_EQ(container.StreamByCode("DBDATA")->Size(), 0);
}

INSTANTIATE_TEST_SUITE_P(AllGenerations, GenerationTest, ::testing::Values(1, 2, 3, 4));

class ContainerTest : public ::testing::Test {
 protected:
  void Open(const MultiStreamOptions& options, const std::vector<StoredStreamLayout>& streams) {
    TestKit::WriteMultiStreamFile(dir_.File("c.kvd"), options, streams);
    container_.OpenFile(dir_.File("c.kvd").c_str());
  }
  TestKit::TempDir dir_;
  CMultiStream container_;
};

TEST_F(ContainerTest, DescriptionOfNinetySixCharactersIsKept) {
  MultiStreamOptions options;
  options.description = std::string(95, 'd') + "e";
  Open(options, {});
  EXPECT_EQ(std::string(container_.Description()), options.description);
}

TEST_F(ContainerTest, DescriptionStopsAtItsStoredLength) {
  auto written = TestKit::BuildMultiStreamFile(Described("mixed reduced"), {});
  TestKit::PatchI32(written.bytes, TestKit::kTestDescriptionLengthOffset, 5);
  TestKit::WriteFile(dir_.File("c.kvd"), written.bytes);
  container_.OpenFile(dir_.File("c.kvd").c_str());
  EXPECT_STREQ(container_.Description(), "mixed");
}

TEST_F(ContainerTest, VersionNumberFromTheDescription) {
  for (int version : {6000, 7001, 7099, 7100, 7305, 7999, 9203}) {
    Open(Described(TestKit::DescriptionForVersion(version)), {});
    EXPECT_EQ(container_.GetFileVersionInt(), version) << TestKit::DescriptionForVersion(version);
  }
}

TEST(FileVersion, Rules) {
  struct Case {
    const char* text;
    int32_t version;
  };
  const Case cases[] = {
      {"KorvaneRecorder.x VERX3 SP5", 7305},
      {"KorvaneRecorder.x VERX1", 7100},  // a bare "X1" names release 7100 too
      {"KorvaneRecorder.x VERX1 SP0", 7100},
      {"KorvaneRecorder.x VERX2SP", 7200},
      {"KorvaneRecorder.x VER2022.3", 9203},
      {"KorvaneRecorder.x VER2021", 9100},
      {"KorvaneRecorder.x VER7.1", 7100},
      {"KorvaneRecorder.x VER7.0.1", 7001},
      {"KorvaneRecorder.x VER6", 6000},
      {"KorvaneRecorder.x VER", 0},
      {"KorvaneRecorder.y VERX3 SP5", 6000},  // no ".x" at 15 and 16
      {"KorvaneRecorder.x", 6000},            // no "VER"
      {"VERX3 SP5.......x", 6000},            // "VER" at the very start
      {"KorvaneRecorder.x VER99999999999999999999.99999999999", INT32_MAX},
      {"", 6000},
  };
  for (const Case& c : cases) {
    char field[kDescriptionChars + 1] = {};
    std::strncpy(field, c.text, kDescriptionChars);
    EXPECT_EQ(FileVersionFromDescription(field), c.version) << c.text;
  }
}

TEST(FileVersion, DotXBehindTheTerminatorStillCounts) {
  // The stored length cuts the text, but the 96-byte field keeps ".x" at 15 and 16.
  char field[kDescriptionChars + 1] = {};
  std::strncpy(field, "KVERX3 SP5", kDescriptionChars);
  field[15] = '.';
  field[16] = 'x';
  EXPECT_EQ(FileVersionFromDescription(field), 7305);
}

TEST_F(ContainerTest, StreamLookupIsExactAndCaseSensitive) {
  Open({}, {{"EVENTS", TestKit::PatternBytes(10), 100},
            {"DBDATA", TestKit::PatternBytes(20), 100},
            {"DBDATA", TestKit::PatternBytes(30), 100}});
  EXPECT_EQ(container_.StreamByCode("EVENTS__"), nullptr);
  ASSERT_NE(container_.StreamByCode("EVENTS"), nullptr);
  EXPECT_EQ(container_.StreamByCode("dbdata"), nullptr);
  EXPECT_EQ(container_.StreamByCode("DBDATA")->Size(), 20);
  EXPECT_EQ(container_.StreamByCode("___INDEX"), nullptr);
  EXPECT_EQ(container_.StreamByCode(nullptr), nullptr);
  EXPECT_STREQ(container_.DirectoryStream()->Code(), "___INDEX");
}

TEST_F(ContainerTest, EveryOneOfManyStreamsIsFoundByItsCode) {
  // Codes in directory order, a repeated one (the first wins) and codes that
  // differ only in case or length.
  std::vector<StoredStreamLayout> streams;
  for (int i = 0; i < 600; ++i) streams.push_back({"S" + std::to_string(i), TestKit::PatternBytes(i % 7 + 1), 64});
  streams.push_back({"S5", TestKit::PatternBytes(50), 64});
  streams.push_back({"s5", TestKit::PatternBytes(51), 64});
  streams.push_back({"S5_", TestKit::PatternBytes(52), 64});
  Open({}, streams);
  for (int i = 0; i < 600; ++i) {
    auto* found = static_cast<CVirtualStream*>(container_.StreamByCode(("S" + std::to_string(i)).c_str()));
    ASSERT_NE(found, nullptr) << i;
    EXPECT_EQ(found->StreamNumber(), i);
  }
  EXPECT_EQ(container_.StreamByCode("s5")->Size(), 51);
  EXPECT_EQ(container_.StreamByCode("S5_")->Size(), 52);
  EXPECT_EQ(container_.StreamByCode("S600"), nullptr);
  EXPECT_EQ(container_.StreamByCode("S5_LONGER"), nullptr);
  EXPECT_EQ(container_.StreamByCode(""), nullptr);
}

TEST_F(ContainerTest, PageTableSwitchOffIgnoresTheTable) {
  MultiStreamOptions options;
  options.writePageTable = true;
  TestKit::WriteMultiStreamFile(dir_.File("c.kvd"), options,
                                {{"DATA", TestKit::PatternBytes(240), 100, true, true}});
  container_.SetUsePageTable(false);
  container_.OpenFile(dir_.File("c.kvd").c_str());
  std::vector<uint8_t> got(240);
  EXPECT_EQ(container_.StreamByCode("DATA")->Read(got.data(), 240), -1);
  container_.SetUsePageTable(true);
  container_.OpenFile(dir_.File("c.kvd").c_str());
  EXPECT_EQ(container_.StreamByCode("DATA")->Read(got.data(), 240), 240);
}

TEST_F(ContainerTest, CloseTwiceAndReopen) {
  Open(Described("first"), {{"A", TestKit::PatternBytes(10), 100}});
  container_.CloseFile();
  container_.CloseFile();
  EXPECT_EQ(container_.StreamByCode("A"), nullptr);
  EXPECT_STREQ(container_.Description(), "");
  EXPECT_EQ(container_.GetFileVersionInt(), 6000);
  TestKit::WriteMultiStreamFile(dir_.File("d.kvd"), Described("second"), {{"B", TestKit::PatternBytes(5), 100}});
  container_.OpenFile(dir_.File("c.kvd").c_str());
  container_.OpenFile(dir_.File("d.kvd").c_str());
  EXPECT_EQ(container_.StreamByCode("A"), nullptr);
  EXPECT_NE(container_.StreamByCode("B"), nullptr);
  EXPECT_STREQ(container_.Description(), "second");
}

TEST_F(ContainerTest, FailedOpenLeavesTheContainerClosed) {
  Open({}, {{"A", TestKit::PatternBytes(10), 100}});
  EXPECT_THROW(container_.OpenFile(dir_.File("missing.kvd").c_str()), CannotOpenFileException);
  EXPECT_EQ(container_.StreamByCode("A"), nullptr);
  EXPECT_EQ(container_.Carrier(), nullptr);
  TestKit::WriteFile(dir_.File("junk.kvd"), TestKit::PatternBytes(5000));
  EXPECT_THROW(container_.OpenFile(dir_.File("junk.kvd").c_str()), FileCorruptException);
  EXPECT_EQ(container_.Generation(), 0);
}

TEST_F(ContainerTest, StreamCodeBuffer) {
  char code[kStreamCodeChars + 1];
  std::memset(code, 'x', sizeof code);
  CMultiStream::StringToStreamCode("EVENTS", code);
  EXPECT_EQ(std::memcmp(code, "EVENTS\0\0\0", 9), 0);
  CMultiStream::StringToStreamCode("LONGERTHANEIGHT", code);
  EXPECT_STREQ(code, "LONGERTH");
}

TEST_F(ContainerTest, SaveStreamsToFolderWritesEveryStream) {
  Open({}, {{"SETUP___", TestKit::PatternBytes(300), 100}, {"../up", TestKit::PatternBytes(3), 100}});
  const std::string folder = dir_.File("dump") + "/";
  std::filesystem::create_directory(folder);
  EXPECT_TRUE(container_.SaveStreamsToFolder(folder.c_str()));
  EXPECT_EQ(TestKit::ReadFile(folder + "SETUP___.bin"), TestKit::PatternBytes(300));
  EXPECT_EQ(TestKit::ReadFile(folder + "___up.bin"), TestKit::PatternBytes(3));
  EXPECT_EQ(TestKit::ReadFile(folder + "___INDEX.bin").size(), 4u + 2 * 46);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("up.bin")));
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream

// Zip-packaged data files: unpacking into a private directory, member lookup,
// the description from the archive comment, hostile member names, cleanup, and
// two containers at once.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "common/DataReaderLibException.h"
#include "multistream/CZipStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"
#include "testkit/ZipWriter.h"

namespace Korvane::DataReader::MultiStream {
namespace {

namespace fs = std::filesystem;
using TestKit::ZipMember;

// Points TMPDIR at a fresh directory for the test, so that everything the
// container creates can be seen, and restores it afterwards.
class ZipStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    if (old != nullptr) oldTmp_ = old;
    hadTmp_ = old != nullptr;
    tmp_ = dir_.path() / "tmp";
    fs::create_directory(tmp_);
    ::setenv("TMPDIR", tmp_.c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) {
      ::setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      ::unsetenv("TMPDIR");
    }
  }

  std::string Archive(const std::vector<ZipMember>& members, const std::string& comment = {}) {
    const std::string path = dir_.File("file" + std::to_string(++archives_) + ".KXZ");
    TestKit::WriteZipFile(path, members, comment);
    return path;
  }

  // Every path below the temporary directory.
  std::vector<fs::path> TmpContents() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(tmp_)) found.push_back(entry.path());
    return found;
  }

  static std::vector<uint8_t> ReadWhole(CBaseStream* stream) {
    std::vector<uint8_t> bytes(static_cast<size_t>(stream->Size()));
    stream->Seek(0, kSeekBegin);
    EXPECT_EQ(stream->Read(bytes.data(), static_cast<int32_t>(bytes.size())), static_cast<int32_t>(bytes.size()));
    return bytes;
  }

  TestKit::TempDir dir_;
  fs::path tmp_;
  std::string oldTmp_;
  bool hadTmp_ = false;
  int archives_ = 0;
};

TEST_F(ZipStreamTest, MembersBecomeStreamsInAPrivateDirectory) {
  const std::string path = Archive({{"SETUP___", TestKit::PatternBytes(5000, 1)},
                                    {"EVENTS__", TestKit::PatternBytes(70000, 2), false, false},
                                    {"BinaryFiles/", {}, true},
                                    {"BinaryFiles/picture.png", TestKit::PatternBytes(100)}});
  CZipStream zip;
  zip.OpenFile(path.c_str());
  EXPECT_EQ(zip.ElementCount(), 2u);
  EXPECT_EQ(ReadWhole(zip.StreamByCode("SETUP___")), TestKit::PatternBytes(5000, 1));
  EXPECT_EQ(ReadWhole(zip.StreamByCode("EVENTS__")), TestKit::PatternBytes(70000, 2));
  EXPECT_EQ(zip.StreamByCode("DBDATA"), nullptr);
  EXPECT_EQ(zip.StreamByCode("setup___"), nullptr);
  EXPECT_EQ(zip.GetFileVersionInt(), 8000);
  // The unpacked files keep their member names, inside the container's own directory.
  EXPECT_EQ(zip.Folder().parent_path(), tmp_);
  EXPECT_TRUE(fs::exists(zip.Folder() / "SETUP___"));
  EXPECT_EQ(TmpContents().size(), 3u);
}

TEST_F(ZipStreamTest, CommentGivesTheDescriptionUpToTheSeparator) {
  CZipStream zip;
  zip.OpenFile(Archive({{"SETUP___", {1}}}, "mixed-=-written by a recorder").c_str());
  EXPECT_STREQ(zip.Description(), "mixed");
  zip.OpenFile(Archive({{"SETUP___", {1}}}, std::string(120, 'r')).c_str());
  EXPECT_EQ(std::string(zip.Description()), std::string(96, 'r'));
}

TEST_F(ZipStreamTest, MemberInAFolderIsUnpackedButNotFoundByCode) {
  CZipStream zip;
  zip.OpenFile(Archive({{"data/", {}, true}, {"data/DBDATA", TestKit::PatternBytes(10)}}).c_str());
  ASSERT_EQ(zip.ElementCount(), 1u);
  EXPECT_STREQ(zip.ElementAt(0)->Name(), "data/DBDATA");
  EXPECT_EQ(zip.StreamByCode("DBDATA"), nullptr);
  EXPECT_EQ(ReadWhole(zip.StreamByCode("data/DBDATA")), TestKit::PatternBytes(10));
}

TEST_F(ZipStreamTest, EmptyArchiveOpensWithNoStreams) {
  CZipStream zip;
  zip.OpenFile(Archive({}, "reduced-=-nothing stored").c_str());
  EXPECT_EQ(zip.ElementCount(), 0u);
  EXPECT_STREQ(zip.Description(), "reduced");
  EXPECT_EQ(zip.StreamByCode("SETUP___"), nullptr);
}

TEST_F(ZipStreamTest, NothingRemainsAfterDestructionOrClose) {
  const std::string path = Archive({{"SETUP___", TestKit::PatternBytes(100)}, {"DBDATA", TestKit::PatternBytes(9)}});
  {
    CZipStream zip;
    zip.OpenFile(path.c_str());
    EXPECT_FALSE(TmpContents().empty());
  }
  EXPECT_TRUE(TmpContents().empty());
  CZipStream zip;
  zip.OpenFile(path.c_str());
  zip.CloseFile();
  EXPECT_TRUE(TmpContents().empty());
  EXPECT_EQ(zip.StreamByCode("SETUP___"), nullptr);
}

TEST_F(ZipStreamTest, HostileMemberNamesStayInsideThePrivateDirectory) {
  const std::string absolute = "/tmp/kvzip-escape-" + std::to_string(::getpid());
  const std::string path = Archive({{"../x", {1, 2, 3}},
                                    {absolute, {4}},
                                    {"a/../../x", {5, 6}},
                                    {"..\\y", {7}},
                                    {"..", {8}},
                                    {"SETUP___", {9}},
                                    {"SETUP___", {10, 11}}});
  {
    CZipStream zip;
    zip.OpenFile(path.c_str());
    ASSERT_EQ(zip.ElementCount(), 7u);
    for (const fs::path& made : TmpContents()) {
      EXPECT_TRUE(made == zip.Folder() || made.parent_path() == zip.Folder()) << made;
    }
    EXPECT_EQ(ReadWhole(zip.StreamByCode("../x")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ReadWhole(zip.StreamByCode("a/../../x")), (std::vector<uint8_t>{5, 6}));
    // Repeated names get files of their own; the first member is the one found.
    EXPECT_EQ(ReadWhole(zip.StreamByCode("SETUP___")), (std::vector<uint8_t>{9}));
    EXPECT_EQ(ReadWhole(zip.ElementAt(6)->Stream()), (std::vector<uint8_t>{10, 11}));
  }
  EXPECT_TRUE(TmpContents().empty());
  EXPECT_FALSE(fs::exists(dir_.path() / "x"));
  EXPECT_FALSE(fs::exists(absolute));
  EXPECT_FALSE(fs::exists("x"));
}

TEST_F(ZipStreamTest, TwoContainersWithTheSameMembersDoNotMeet) {
  const std::string first = Archive({{"SETUP___", {1}}, {"DBDATA", TestKit::PatternBytes(1000, 1)}});
  const std::string second = Archive({{"SETUP___", {2}}, {"DBDATA", TestKit::PatternBytes(1000, 2)}});
  CZipStream a;
  CZipStream b;
  a.OpenFile(first.c_str());
  b.OpenFile(second.c_str());
  EXPECT_NE(a.Folder(), b.Folder());
  EXPECT_EQ(ReadWhole(a.StreamByCode("DBDATA")), TestKit::PatternBytes(1000, 1));
  EXPECT_EQ(ReadWhole(b.StreamByCode("DBDATA")), TestKit::PatternBytes(1000, 2));
  b.CloseFile();
  EXPECT_EQ(ReadWhole(a.StreamByCode("SETUP___")), (std::vector<uint8_t>{1}));
}

TEST_F(ZipStreamTest, MissingArchiveCannotBeOpened) {
  CZipStream zip;
  EXPECT_THROW(zip.OpenFile(dir_.File("none.KXZ").c_str()), CannotOpenFileException);
  TestKit::WriteFile(dir_.File("junk.KXZ"), TestKit::PatternBytes(3000));
  EXPECT_THROW(zip.OpenFile(dir_.File("junk.KXZ").c_str()), CannotOpenFileException);
  EXPECT_TRUE(TmpContents().empty());
}

TEST_F(ZipStreamTest, DamagedMemberFailsAndLeavesNothingBehind) {
  // Stored (uncompressed) members: flip a payload byte of the second one so its
  // checksum fails, or damage the deflate stream of a compressed one.
  const std::vector<uint8_t> marker = {'Q', 'Q', 'Q', 'Q', 'Q', 'Q', 'Q', 'Q'};
  std::vector<uint8_t> payload = TestKit::PatternBytes(4000, 9);
  std::copy(marker.begin(), marker.end(), payload.begin() + 2000);
  const std::string path = Archive({{"SETUP___", TestKit::PatternBytes(50)}, {"DBDATA", payload, false, false}});
  std::vector<uint8_t> bytes = TestKit::ReadFile(path);
  auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
  ASSERT_NE(at, bytes.end());
  *at = 'R';
  TestKit::WriteFile(path, bytes);
  CZipStream zip;
  EXPECT_THROW(zip.OpenFile(path.c_str()), ExtractingFileException);
  EXPECT_EQ(zip.ElementCount(), 0u);
  EXPECT_TRUE(TmpContents().empty());
}

TEST_F(ZipStreamTest, UnusableTemporaryDirectoryFailsToCreateDestinations) {
  const std::string path = Archive({{"SETUP___", {1}}});
  ::setenv("TMPDIR", (dir_.path() / "not-there").c_str(), 1);
  CZipStream zip;
  EXPECT_THROW(zip.OpenFile(path.c_str()), CreateDestFileException);
}

TEST_F(ZipStreamTest, ZipStreamSeeksAndReads) {
  CZipStream zip;
  zip.OpenFile(Archive({{"DBDATA", TestKit::PatternBytes(100, 4)}}).c_str());
  CBaseStream* s = zip.StreamByCode("DBDATA");
  EXPECT_EQ(s->Seek(-10, kSeekEnd), 90);
  EXPECT_EQ(s->Seek(-20, kSeekCurrent), 70);
  uint8_t bytes[40] = {};
  EXPECT_EQ(s->Read(bytes, 40), 30);
  EXPECT_EQ(bytes[0], TestKit::PatternBytes(100, 4)[70]);
  EXPECT_EQ(s->Size(), 100);
  EXPECT_EQ(s->Write(bytes, 1), 0);
  EXPECT_THROW(s->Seek(0, static_cast<EnumSeekOrigin>(5)), FileCorruptException);
  EXPECT_THROW(s->Seek(-1, kSeekBegin), FileCorruptException);
  EXPECT_TRUE(s->WriteToFile(dir_.File("out.bin").c_str()));
  EXPECT_EQ(TestKit::ReadFile(dir_.File("out.bin")), TestKit::PatternBytes(100, 4));
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream

// Zip-packaged data files: unpacking into a private directory, member lookup,
// the description from the archive comment, hostile member names, cleanup, two
// containers at once, and the limits on descriptors, member sizes and disk use.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/statvfs.h>
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

// The descriptors the process holds: counted where the system lists them,
// elsewhere the lowest free descriptor number, which rises with them.
int DescriptorsInUse() {
#ifdef __linux__
  int count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
#else
  const int fd = ::open("/dev/null", O_RDONLY);
  ::close(fd);
  return fd;
#endif
}

TEST_F(ZipStreamTest, ThousandsOfMembersHoldOnlyAFewDescriptors) {
  constexpr int kMembers = 1200;
  std::vector<ZipMember> members;
  for (int i = 0; i < kMembers; ++i) {
    members.push_back({"M" + std::to_string(i), TestKit::PatternBytes(40 + i % 60, static_cast<uint8_t>(i))});
  }
  const std::string path = Archive(members);
  const int before = DescriptorsInUse();
  CZipStream zip;
  zip.OpenFile(path.c_str());
  ASSERT_EQ(zip.ElementCount(), static_cast<size_t>(kMembers));
  EXPECT_LE(DescriptorsInUse(), before + static_cast<int>(kMaxOpenZipMembers));
  // Every member is read in two halves, the second ones in reverse order, so each
  // file is closed in between and must reopen where its member stopped.
  std::vector<std::vector<uint8_t>> read(kMembers);
  for (int i = 0; i < kMembers; ++i) {
    CBaseStream* s = zip.StreamByCode(members[i].name.c_str());
    read[i].resize(members[i].data.size());
    const auto half = static_cast<int32_t>(read[i].size() / 2);
    ASSERT_EQ(s->Read(read[i].data(), half), half);
  }
  for (int i = kMembers - 1; i >= 0; --i) {
    const size_t half = read[i].size() / 2;
    const auto rest = static_cast<int32_t>(read[i].size() - half);
    EXPECT_EQ(zip.StreamByCode(members[i].name.c_str())->Read(read[i].data() + half, rest + 5), rest);
    EXPECT_EQ(read[i], members[i].data) << members[i].name;
  }
  EXPECT_LE(DescriptorsInUse(), before + static_cast<int>(kMaxOpenZipMembers));
  zip.CloseFile();
  EXPECT_EQ(DescriptorsInUse(), before);
}

TEST_F(ZipStreamTest, TheLeastRecentlyReadMemberGivesUpItsFile) {
  const int count = static_cast<int>(kMaxOpenZipMembers) + 8;
  std::vector<ZipMember> members;
  for (int i = 0; i < count; ++i) members.push_back({"M" + std::to_string(i), TestKit::PatternBytes(10)});
  CZipStream zip;
  zip.OpenFile(Archive(members).c_str());
  auto member = [&zip](int i) { return zip.ElementAt(static_cast<size_t>(i))->Stream(); };
  auto readOne = [&](int i) {
    uint8_t byte = 0;
    member(i)->Seek(0, kSeekBegin);
    EXPECT_EQ(member(i)->Read(&byte, 1), 1);
  };
  for (int i = 0; i < static_cast<int>(kMaxOpenZipMembers); ++i) readOne(i);
  readOne(0);  // now the most recently read, 1 the least
  readOne(static_cast<int>(kMaxOpenZipMembers));
  EXPECT_TRUE(member(0)->HoldsOpenFile());
  EXPECT_FALSE(member(1)->HoldsOpenFile());
  int open = 0;
  for (int i = 0; i < count; ++i) open += member(i)->HoldsOpenFile() ? 1 : 0;
  EXPECT_EQ(open, static_cast<int>(kMaxOpenZipMembers));
}

// The status an open ends with (0 when it succeeds).
int OpenStatus(CZipStream& zip, const std::string& path) {
  try {
    zip.OpenFile(path.c_str());
    return 0;
  } catch (const DataReaderLibException& e) {
    return e.status();
  }
}

TEST_F(ZipStreamTest, MemberDataMustMatchItsDeclaredSize) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    bool deflate;
    uint64_t declared;
    int status;
  };
  const std::vector<Case> cases = {
      {"stored, as declared", TestKit::PatternBytes(1000, 3), false, 1000, 0},
      {"deflated, as declared", TestKit::PatternBytes(1000, 3), true, 1000, 0},
      {"stored, longer", TestKit::PatternBytes(4000, 3), false, 1000, 4},
      {"deflated, longer", TestKit::PatternBytes(4000, 3), true, 1000, 4},
      {"deflated, one byte longer", TestKit::PatternBytes(1001, 3), true, 1000, 4},
      {"deflated, inflates enormously", std::vector<uint8_t>(4 << 20, 0), true, 100, 4},
      {"stored, shorter", TestKit::PatternBytes(1000, 3), false, 4000, 7},
      {"deflated, shorter", TestKit::PatternBytes(1000, 3), true, 4000, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path =
        Archive({{"SETUP___", TestKit::PatternBytes(50)}, {"DBDATA", c.data, false, c.deflate, c.declared}});
    CZipStream zip;
    EXPECT_EQ(OpenStatus(zip, path), c.status);
    if (c.status == 0) {
      EXPECT_EQ(ReadWhole(zip.StreamByCode("DBDATA")), c.data);
      zip.CloseFile();
    }
    EXPECT_EQ(zip.ElementCount(), 0u);
    EXPECT_TRUE(TmpContents().empty());
  }
}

TEST_F(ZipStreamTest, ArchiveLargerThanTheFreeSpaceIsRefusedBeforeUnpacking) {
  struct statvfs info {};
  ASSERT_EQ(::statvfs(tmp_.c_str(), &info), 0);
  const uint64_t free = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  // Members whose declared sizes each fit, but not all together; the sizes stay
  // below 4 GiB, as some minizip builds cannot read zip64 sizes.
  const uint64_t each = std::min<uint64_t>(0xFFFFFFFEu, free / 2 + 1);
  const uint64_t count = free / each + 1;
  if (count > 4096) GTEST_SKIP() << "too much free space to fill with 4 GiB members";
  // A first member that fails on its own when it is unpacked before the check.
  const ZipMember overlong{"SETUP___", TestKit::PatternBytes(500), false, false, 100};
  std::vector<ZipMember> unpacked = {overlong};
  std::vector<ZipMember> skipped = {overlong};
  for (uint64_t i = 0; i < count; ++i) {
    unpacked.push_back({"S" + std::to_string(i), {1, 2}, false, i % 2 == 0, each});
    skipped.push_back({"BinaryFiles/S" + std::to_string(i), {1, 2}, false, i % 2 == 0, each});
  }
  struct Case {
    const char* what;
    const std::vector<ZipMember>& members;
    int status;
  };
  const Case cases[] = {
      {"members to unpack", unpacked, 7},
      {"members that are skipped do not count", skipped, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CZipStream zip;
    EXPECT_EQ(OpenStatus(zip, Archive(c.members)), c.status);
    EXPECT_EQ(zip.ElementCount(), 0u);
    EXPECT_TRUE(TmpContents().empty());
  }
  CZipStream zip;
  try {
    zip.OpenFile(Archive(unpacked).c_str());
    ADD_FAILURE() << "opened";
  } catch (const ExtractingFileException& e) {
    EXPECT_STREQ(e.what(), "Error occurred while extracting data");
  }
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream

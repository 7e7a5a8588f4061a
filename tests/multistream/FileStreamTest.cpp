// The plain file stream (the carrier of every container) and the export of a
// container stream to a file.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/DataReaderLibException.h"
#include "multistream/CFileStream.h"
#include "multistream/CMultiStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::MultiStream {
namespace {

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes_ = TestKit::PatternBytes(100000, 3);
    TestKit::WriteFile(dir_.File("f.bin"), bytes_);
    stream_ = std::make_unique<CFileStream>(dir_.File("f.bin").c_str());
  }
  TestKit::TempDir dir_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<CFileStream> stream_;
};

TEST_F(FileStreamTest, SizeLeavesThePositionAlone) {
  stream_->Seek(1234, kSeekBegin);
  EXPECT_EQ(stream_->Size(), 100000);
  EXPECT_EQ(stream_->Position(), 1234);
  EXPECT_EQ(stream_->CStream::Size(), 100000);
  EXPECT_EQ(stream_->Position(), 1234);
}

TEST_F(FileStreamTest, SeeksAreClampedToTheFile) {
  EXPECT_EQ(stream_->Seek(-5, kSeekBegin), 0);
  EXPECT_EQ(stream_->Seek(10, kSeekEnd), 100000);
  EXPECT_EQ(stream_->Seek(-10, kSeekEnd), 99990);
  EXPECT_EQ(stream_->Seek(-5, kSeekCurrent), 99985);
  EXPECT_EQ(stream_->Seek(-200000, kSeekCurrent), 0);
  EXPECT_EQ(stream_->Seek(77, static_cast<EnumSeekOrigin>(7)), 0);
}

TEST_F(FileStreamTest, ReadsSmallAndLargeRequestsExactly) {
  // Small reads fill the read-ahead buffer, large ones bypass it; both interleave.
  std::vector<uint8_t> got(100000);
  size_t at = 0;
  for (int32_t length : {1, 3, 4096, 70000, 7, 20000}) {
    ASSERT_EQ(stream_->Read(got.data() + at, length), 1);
    at += static_cast<size_t>(length);
  }
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + static_cast<long>(at), bytes_.begin()));
  uint8_t one = 0;
  stream_->Seek(50, kSeekBegin);
  ASSERT_EQ(stream_->Read(&one, 1), 1);
  EXPECT_EQ(one, bytes_[50]);
}

TEST_F(FileStreamTest, ShortReadReportsFailureButDoesNotPoisonTheStream) {
  std::vector<uint8_t> got(20);
  stream_->Seek(-10, kSeekEnd);
  EXPECT_EQ(stream_->Read(got.data(), 20), -1);
  EXPECT_EQ(got[9], bytes_[99999]);
  EXPECT_EQ(stream_->Position(), 100000);
  stream_->Seek(0, kSeekBegin);
  EXPECT_EQ(stream_->Read(got.data(), 20), 1);
  EXPECT_EQ(got[19], bytes_[19]);
  EXPECT_EQ(stream_->Write(got.data(), 1), -1);
}

TEST(FileStream, MissingFileOrDirectoryCannotBeOpened) {
  TestKit::TempDir dir;
  EXPECT_THROW(CFileStream(dir.File("missing").c_str()), CannotOpenFileException);
  EXPECT_THROW(CFileStream(dir.path().c_str()), CannotOpenFileException);
  EXPECT_THROW(CFileStream(nullptr), CannotOpenFileException);
}

class WriteToFileTest : public ::testing::TestWithParam<size_t> {};

TEST_P(WriteToFileTest, CopiesTheWholeStreamFromItsStart) {
  TestKit::TempDir dir;
  const std::vector<uint8_t> data = TestKit::PatternBytes(GetParam(), 11);
  TestKit::WriteMultiStreamFile(dir.File("c.kvd"), {}, {{"SETUP___", data, 300}, {"X", TestKit::PatternBytes(999), 64}});
  CMultiStream container;
  container.OpenFile(dir.File("c.kvd").c_str());
  CBaseStream* stream = container.StreamByCode("SETUP___");
  ASSERT_NE(stream, nullptr);
  if (!data.empty()) stream->Seek(static_cast<int64_t>(data.size() / 2), kSeekBegin);
  ASSERT_TRUE(stream->WriteToFile(dir.File("out.xml").c_str()));
  EXPECT_EQ(TestKit::ReadFile(dir.File("out.xml")), data);
}

INSTANTIATE_TEST_SUITE_P(Sizes, WriteToFileTest, ::testing::Values(0, 1, 999, 1000, 2500, 200000));

TEST(WriteToFile, UnwritableDestinationReportsFailure) {
  TestKit::TempDir dir;
  TestKit::WriteMultiStreamFile(dir.File("c.kvd"), {}, {{"SETUP___", TestKit::PatternBytes(10), 300}});
  CMultiStream container;
  container.OpenFile(dir.File("c.kvd").c_str());
  EXPECT_FALSE(container.StreamByCode("SETUP___")->WriteToFile(dir.File("no/such/dir/out.xml").c_str()));
}

}  // namespace
}  // namespace Korvane::DataReader::MultiStream

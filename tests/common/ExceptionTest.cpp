#include <gtest/gtest.h>

#include "asyncindex/AsyncIndexLibException.h"
#include "common/DataReaderLibException.h"

namespace Korvane::DataReader {
namespace {

TEST(DataReaderLibException, MessageCarriesDetailAfterColon) {
  DataReaderLibException plain(KVError, "No file is open");
  EXPECT_EQ(plain.status(), KVError);
  EXPECT_STREQ(plain.what(), "No file is open");

  DataReaderLibException detailed(KVError, "Something", "why");
  EXPECT_STREQ(detailed.what(), "Something: why");
}

TEST(DataReaderLibException, SubclassesFixStatusAndMessage) {
  struct Case {
    DataReaderLibException exception;
    KVStatus status;
    const char* message;
  };
  const Case cases[] = {
      {CannotOpenFileException("a.kvd"), KVCannotOpenFile, "Cannot open specified file: a.kvd"},
      {FileAlreadyInUseException(), KVFileAlreadyInUse, "File is already in use by another process"},
      {NoMemoryAllocException(), KVNoMemoryAlloc, "Memory allocation failed"},
      {CreateDestFileException("out.xml"), KVCreateDestFile, "Failed to create destination file: out.xml"},
      {ExtractingFileException("m"), KVExtractingFile, "Error occurred while extracting data: m"},
      {CannotOpenExtractedFileException(), KVCannotOpenExtractedFile, "Unable to open extracted file"},
      {CANIsNotSupportedException(), KVCANNotSupported, "Feature or operation not supported on CAN channel"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.exception.status(), c.status);
    EXPECT_STREQ(c.exception.what(), c.message);
  }
}

TEST(DataReaderLibException, ThreeClassesIgnoreTheirDetail) {
  EXPECT_STREQ(FileCorruptException("EOF detected").what(), "File is corrupted or has invalid format");
  EXPECT_STREQ(FileCorruptException("Cursor beyond EOF").what(),
               "File is corrupted or has invalid format");
  EXPECT_EQ(FileCorruptException().status(), KVFileCorrupt);
  EXPECT_STREQ(InvalidIndexException("channel 7").what(), "Invalid index");
  EXPECT_EQ(InvalidIndexException().status(), KVInvalidIndex);
  EXPECT_STREQ(InvalidIBLevelException("level 9").what(), "Invalid IB level specified");
  EXPECT_EQ(InvalidIBLevelException().status(), KVInvalidIBLevel);
}

TEST(AsyncIndexLibException, FamilyCarriesNegativeCodesOutsideTheReaderFamily) {
  static_assert(!std::is_base_of_v<DataReaderLibException, AsyncIndexLibException>);
  EXPECT_EQ(DuplicateChannelIndexException().code(), -2);
  EXPECT_STREQ(DuplicateChannelIndexException().what(), "Duplicate channel index");
  EXPECT_EQ(InvalidStateException().code(), -4);
  EXPECT_STREQ(InvalidStateException().what(), "Invalid state");
  EXPECT_EQ(CursorEofException().code(), -5);
  EXPECT_STREQ(CursorEofException().what(), "Cursor beyond EOF");
  EXPECT_EQ(TooMuchDataException().code(), -6);
  EXPECT_STREQ(TooMuchDataException().what(), "Too much data");
  EXPECT_EQ(ConfigurationFailedException().code(), -8);
  EXPECT_STREQ(ConfigurationFailedException().what(), "Configuration failed");
  EXPECT_EQ(ChannelNotFoundException().code(), -9);
  EXPECT_STREQ(ChannelNotFoundException().what(), "Channel not found");
}

}  // namespace
}  // namespace Korvane::DataReader

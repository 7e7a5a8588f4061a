#include <gtest/gtest.h>

#include <new>
#include <string>

#include "api/CallFrame.h"
#include "asyncindex/AsyncIndexLibException.h"

namespace Korvane::DataReader::Api {
namespace {

// The last status and message as KVGetLastStatus reports them.
struct Reported {
  int32_t status;
  std::string message;
};

Reported LastReported() {
  char buffer[256];
  int32_t size = sizeof buffer;
  int32_t status = -100;
  EXPECT_EQ(CopyLastStatus(&status, buffer, &size), KVOk);
  return {status, buffer};
}

class CallFrame : public ::testing::Test {
 protected:
  CKVDataReader reader_;
  KVReaderHandle handle_ = ToHandle(&reader_);
};

TEST_F(CallFrame, NullHandleReportsInvalidReaderHandleAndRunsNothing) {
  bool ran = false;
  EXPECT_EQ(CallReader(nullptr, [&](CKVDataReader&) { ran = true; }), KVInvalidReaderHandle);
  EXPECT_FALSE(ran);
  const Reported reported = LastReported();
  EXPECT_EQ(reported.status, KVInvalidReaderHandle);
  EXPECT_EQ(reported.message, "Invalid reader handle");
}

TEST_F(CallFrame, ReaderExceptionGivesItsStatusAndMessage) {
  EXPECT_EQ(CallReader(handle_, [](CKVDataReader&) { throw FileCorruptException("EOF detected"); }),
            KVFileCorrupt);
  EXPECT_EQ(LastReported().message, "File is corrupted or has invalid format");

  EXPECT_EQ(CallReader(handle_, [](CKVDataReader&) { throw InvalidIndexException("42"); }), KVInvalidIndex);
  EXPECT_EQ(LastReported().message, "Invalid index");

  EXPECT_EQ(CallReader(handle_, [](CKVDataReader&) { throw DataReaderLibException(KVError, "No file is open"); }),
            KVError);
  const Reported reported = LastReported();
  EXPECT_EQ(reported.status, KVError);
  EXPECT_EQ(reported.message, "No file is open");
}

TEST_F(CallFrame, OtherExceptionsReportStatusOneWithTheirText) {
  EXPECT_EQ(CallReader(handle_, [](CKVDataReader&) { throw std::bad_alloc(); }), KVError);
  EXPECT_EQ(LastReported().message, std::bad_alloc().what());

  EXPECT_EQ(CallReader(handle_, [](CKVDataReader&) { throw CursorEofException(); }), KVError);
  const Reported reported = LastReported();
  EXPECT_EQ(reported.status, KVError);
  EXPECT_EQ(reported.message, "Cursor beyond EOF");
}

TEST_F(CallFrame, SuccessClearsTheMessage) {
  CallReader(handle_, [](CKVDataReader&) { throw CannotOpenFileException("x"); });
  EXPECT_EQ(CallReader(handle_, [](CKVDataReader&) {}), KVOk);
  char buffer[1] = {'x'};
  int32_t size = 1;
  int32_t status = -1;
  EXPECT_EQ(CopyLastStatus(&status, buffer, &size), KVOk);
  EXPECT_EQ(status, KVOk);
  EXPECT_EQ(buffer[0], '\0');
}

TEST_F(CallFrame, OutputWrittenBeforeAFailureStays) {
  int32_t partial = 0;
  CallReader(handle_, [&](CKVDataReader&) {
    partial = 7;
    throw FileCorruptException();
  });
  EXPECT_EQ(partial, 7);
}

TEST_F(CallFrame, ValueFunctionStoresTheResultOrRefusesANullPointer) {
  int64_t value = 0;
  EXPECT_EQ(CallReaderForValue(handle_, &value, [](CKVDataReader&) { return int64_t{1} << 40; }), KVOk);
  EXPECT_EQ(value, int64_t{1} << 40);

  EXPECT_EQ(CallReaderForValue<int64_t>(handle_, nullptr, [](CKVDataReader&) { return int64_t{1}; }),
            KVNoMemoryAlloc);

  int32_t untouched = 5;
  EXPECT_EQ(CallReaderForValue(nullptr, &untouched, [](CKVDataReader&) { return 9; }), KVInvalidReaderHandle);
  EXPECT_EQ(untouched, 5);
}

// A value-reporting KVI function as the exports write them.
KVStatus KVIGetAnswer(KVReaderHandle handle, int32_t offset, double* value) {
  return CallReaderForValue(handle, value, [&](CKVDataReader& reader) {
    if (offset < 0) throw InvalidIndexException();
    return reader.KVGetVersion() + offset + 0.5;
  });
}

TEST_F(CallFrame, KvTwinReturnsMinusOneOnFailure) {
  // No registry reader is active in this test program: the handle is null.
  EXPECT_EQ(ValueOrFailure<double>(KVIGetAnswer, 1), -1.0);
  EXPECT_EQ(LastReported().status, KVInvalidReaderHandle);

  // The stored value is what the reader's method gave for these arguments.
  for (int32_t offset : {0, 1, 7}) {
    double value = 0;
    EXPECT_EQ(KVIGetAnswer(handle_, offset, &value), KVOk);
    EXPECT_EQ(value, static_cast<double>(reader_.KVGetVersion()) + offset + 0.5) << offset;
  }
  double value = 0;
  EXPECT_EQ(KVIGetAnswer(handle_, -1, &value), KVInvalidIndex);
}

}  // namespace
}  // namespace Korvane::DataReader::Api

// KVGetLastStatus's buffer protocol and the per-thread status.
#include <gtest/gtest.h>

#include <barrier>
#include <cstring>
#include <string>
#include <thread>

#include "KVDataReaderLib.h"

namespace {

const std::string kNullHandleMessage = "Invalid reader handle";

void FailWithNullHandle() { ASSERT_EQ(KVIDestroyReader(nullptr), KVInvalidReaderHandle); }

void SucceedWithOwnReader() {
  KVReaderHandle handle = nullptr;
  ASSERT_EQ(KVICreateReader(&handle), 0);
  ASSERT_EQ(KVIDestroyReader(handle), 0);
}

TEST(LastStatus, CapacityEqualToTheLengthIsTooSmall) {
  FailWithNullHandle();
  const int32_t length = static_cast<int32_t>(kNullHandleMessage.size());
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  int32_t status = -7;
  int32_t size = length;
  EXPECT_EQ(KVGetLastStatus(&status, buffer, &size), KVBufferTooSmall);
  EXPECT_EQ(size, length + 1);
  EXPECT_EQ(status, -7);
  EXPECT_EQ(buffer[0], 'x');

  size = length + 1;
  EXPECT_EQ(KVGetLastStatus(&status, buffer, &size), 0);
  EXPECT_EQ(status, KVInvalidReaderHandle);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(length)), kNullHandleMessage);
  EXPECT_EQ(buffer[length], '\0');
  EXPECT_EQ(buffer[length + 1], 'x');  // nothing beyond the given capacity
}

TEST(LastStatus, NegativeCapacityIsTooSmallAndChangesNothing) {
  FailWithNullHandle();
  char buffer[64];
  int32_t status = -7;
  int32_t size = -5;
  EXPECT_EQ(KVGetLastStatus(&status, buffer, &size), KVBufferTooSmall);
  EXPECT_EQ(size, static_cast<int32_t>(kNullHandleMessage.size()) + 1);
  EXPECT_EQ(status, -7);
  // The status stays readable.
  size = sizeof buffer;
  EXPECT_EQ(KVGetLastStatus(&status, buffer, &size), 0);
  EXPECT_EQ(status, KVInvalidReaderHandle);
}

TEST(LastStatus, LargerCapacityIsZeroFilledAndReadingDoesNotClear) {
  FailWithNullHandle();
  char buffer[64];
  std::memset(buffer, 'x', sizeof buffer);
  int32_t status = 0;
  int32_t size = sizeof buffer;
  ASSERT_EQ(KVGetLastStatus(&status, buffer, &size), 0);
  for (size_t i = kNullHandleMessage.size(); i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '\0') << i;
  status = 0;
  ASSERT_EQ(KVGetLastStatus(&status, buffer, &size), 0);
  EXPECT_EQ(status, KVInvalidReaderHandle);
}

TEST(LastStatus, AfterSuccessAnEmptyTextFitsInOneByte) {
  FailWithNullHandle();
  SucceedWithOwnReader();
  char buffer[1] = {'x'};
  int32_t status = -1;
  int32_t size = 1;
  EXPECT_EQ(KVGetLastStatus(&status, buffer, &size), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(buffer[0], '\0');
}

TEST(LastStatus, EachThreadSeesItsOwnStatus) {
  // One thread fails, the other succeeds; both read after both have called.
  std::barrier bothCalled(2);
  int32_t failedStatus = -1;
  int32_t succeededStatus = -1;
  std::string failedMessage = "unset";
  std::string succeededMessage = "unset";
  auto readOwnStatus = [](int32_t& status, std::string& message) {
    char buffer[64];
    int32_t size = sizeof buffer;
    if (KVGetLastStatus(&status, buffer, &size) == 0) message = buffer;
  };
  std::thread failing([&] {
    FailWithNullHandle();
    bothCalled.arrive_and_wait();
    readOwnStatus(failedStatus, failedMessage);
  });
  std::thread succeeding([&] {
    SucceedWithOwnReader();
    bothCalled.arrive_and_wait();
    readOwnStatus(succeededStatus, succeededMessage);
  });
  failing.join();
  succeeding.join();
  EXPECT_EQ(failedStatus, KVInvalidReaderHandle);
  EXPECT_EQ(failedMessage, kNullHandleMessage);
  EXPECT_EQ(succeededStatus, 0);
  EXPECT_EQ(succeededMessage, "");
}

TEST(LastStatus, ANewThreadStartsWithStatusZero) {
  FailWithNullHandle();
  int32_t status = -1;
  std::string message = "unset";
  std::thread fresh([&] {
    char buffer[8];
    int32_t size = sizeof buffer;
    if (KVGetLastStatus(&status, buffer, &size) == 0) message = buffer;
  });
  fresh.join();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(message, "");
}

}  // namespace

// The registry state machine through the exported functions.
#include <gtest/gtest.h>

#include <clocale>
#include <utility>

#include "KVDataReaderLib.h"

namespace {

class Registry : public ::testing::Test {
 protected:
  void TearDown() override { KVDeInit(); }

  static int32_t Readers() {
    int32_t count = -1;
    EXPECT_EQ(KVGetNumReaders(&count), 0);
    return count;
  }
};

TEST_F(Registry, VersionNeedsAnActiveReaderButVersionExDoesNot) {
  EXPECT_EQ(KVGetVersion(), -1);
  int32_t major = -1, minor = -1, patch = -1;
  EXPECT_EQ(KVGetVersionEx(&major, &minor, &patch), 0);
  EXPECT_EQ(major, 5);
  EXPECT_EQ(minor, 0);
  EXPECT_EQ(patch, 6);
  ASSERT_EQ(KVInit(), 0);
  EXPECT_EQ(KVGetVersion(), 5000006);
}

TEST_F(Registry, RefusesEverythingButInitWhenEmpty) {
  int32_t count = 77;
  EXPECT_EQ(KVAddReader(), 1);
  EXPECT_EQ(KVGetNumReaders(&count), 1);
  EXPECT_EQ(count, 77);
  EXPECT_EQ(KVSetActiveReader(0), 1);
  EXPECT_EQ(KVDeInit(), 1);
}

TEST_F(Registry, InitTwiceKeepsOneReader) {
  ASSERT_EQ(KVInit(), 0);
  EXPECT_EQ(KVInit(), 1);
  EXPECT_EQ(Readers(), 1);
}

TEST_F(Registry, AddSetActiveAndDeInit) {
  ASSERT_EQ(KVInit(), 0);
  EXPECT_EQ(KVAddReader(), 0);
  EXPECT_EQ(KVAddReader(), 0);
  EXPECT_EQ(Readers(), 3);
  EXPECT_EQ(KVSetActiveReader(0), 0);
  EXPECT_EQ(KVSetActiveReader(2), 0);
  EXPECT_EQ(KVSetActiveReader(-1), 1);
  EXPECT_EQ(KVSetActiveReader(3), 1);
  EXPECT_EQ(KVDeInit(), 0);
  EXPECT_EQ(KVGetVersion(), -1);
  // A new round starts from an empty registry.
  ASSERT_EQ(KVInit(), 0);
  EXPECT_EQ(Readers(), 1);
}

TEST_F(Registry, RefusedCallsLeaveTheLastStatusAlone) {
  EXPECT_EQ(KVIDestroyReader(nullptr), KVInvalidReaderHandle);
  ASSERT_EQ(KVInit(), 0);  // success: status 0
  EXPECT_EQ(KVIDestroyReader(nullptr), KVInvalidReaderHandle);
  EXPECT_EQ(KVInit(), 1);
  EXPECT_EQ(KVSetActiveReader(5), 1);
  int32_t status = -1;
  char buffer[64];
  int32_t size = sizeof buffer;
  ASSERT_EQ(KVGetLastStatus(&status, buffer, &size), 0);
  EXPECT_EQ(status, KVInvalidReaderHandle);
  EXPECT_STREQ(buffer, "Invalid reader handle");
}

TEST_F(Registry, ReadersOutsideTheRegistry) {
  KVReaderHandle handle = nullptr;
  EXPECT_EQ(KVICreateReader(&handle), 0);
  ASSERT_NE(handle, nullptr);
  // A caller-owned reader is not entered in the registry.
  EXPECT_EQ(KVGetVersion(), -1);
  ASSERT_EQ(KVInit(), 0);
  EXPECT_EQ(Readers(), 1);
  EXPECT_EQ(KVIDestroyReader(handle), 0);
  EXPECT_EQ(Readers(), 1);
  EXPECT_EQ(KVIDestroyReader(nullptr), KVInvalidReaderHandle);
}

// Every way of creating a reader leaves the process in the "C" locale, whatever
// part of it was changed before.
TEST_F(Registry, CreatingAReaderSetsTheCLocale) {
  const std::pair<const char*, int32_t (*)()> creators[] = {
      {"KVInit", [] {
         KVDeInit();
         return KVInit();
       }},
      {"KVAddReader", [] { return KVAddReader(); }},
      {"KVICreateReader", [] {
         KVReaderHandle handle = nullptr;
         const int32_t status = KVICreateReader(&handle);
         KVIDestroyReader(handle);
         return status;
       }}};
  for (const auto& [name, create] : creators) {
    SCOPED_TRACE(name);
    KVInit();  // KVAddReader needs an active reader (1 when there is one already)
    for (const int category : {LC_NUMERIC, LC_CTYPE, LC_ALL}) {
      if (std::setlocale(category, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
      ASSERT_STRNE(std::setlocale(LC_ALL, nullptr), "C");
      ASSERT_EQ(create(), 0);
      EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    }
  }
}

}  // namespace

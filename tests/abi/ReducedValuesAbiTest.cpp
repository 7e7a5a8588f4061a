// The reduced-value functions through the C interface, on the reduced-value test
// recording: the single-statistic reads against the records, the block read in any
// channel order, the statuses of the argument checks and of a damaged layout, and
// the KV forms on the active reader.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "tests/engine/ReducedRecording.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::ReducedTest {
namespace {

class ReducedAbi : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(KVICreateReader(&reader_), KVOk); }
  void TearDown() override { KVIDestroyReader(reader_); }

  std::string Write(const Options& options) {
    const std::string path = directory_.File("rec" + std::to_string(files_++) + ".kvd");
    TestKit::WriteRecording(path, Build(options));
    return path;
  }
  KVStatus Open(const std::string& path) {
    KVFileInfo info{};
    return KVIOpenDataFile(reader_, path.c_str(), &info);
  }

  TestKit::TempDir directory_;
  KVReaderHandle reader_ = nullptr;
  int files_ = 0;
};

TEST_F(ReducedAbi, StatisticsAndBlockMatchTheRecords) {
  ASSERT_EQ(Open(Write({})), KVOk);
  for (const auto& [index, expected] : {std::pair{1, 60}, {4, 0}, {5, 0}}) {  // array and single value: none
    int32_t count = -1;
    double duration = 0;
    ASSERT_EQ(KVIGetReducedValuesCount(reader_, index, &count, &duration), KVOk);
    EXPECT_EQ(count, expected) << index;
  }
  std::vector<KVReducedValue> records(12);
  ASSERT_EQ(KVIGetReducedValues(reader_, 1, 18, 12, records.data()), KVOk);
  using Read = KVStatus (*)(KVReaderHandle, int32_t, int32_t, int32_t, double*, double*);
  const std::pair<Read, double KVReducedValue::*> reads[] = {{KVIGetReducedMaxValues, &KVReducedValue::max},
                                                             {KVIGetReducedMinValues, &KVReducedValue::min},
                                                             {KVIGetReducedAveValues, &KVReducedValue::ave},
                                                             {KVIGetReducedRMSValues, &KVReducedValue::rms}};
  for (const auto& [read, field] : reads) {
    std::vector<double> data(12), times(12);
    ASSERT_EQ(read(reader_, 1, 18, 12, data.data(), times.data()), KVOk);
    for (size_t j = 0; j < records.size(); ++j) {
      EXPECT_EQ(data[j], records[j].*field) << j;
      EXPECT_EQ(times[j], records[j].time_stamp) << j;
    }
  }
  // Level 1 for three channels listed out of order.
  int32_t indexes[] = {2, 1, 0};
  std::vector<KVReducedValue> block(3 * 4);
  ASSERT_EQ(KVIGetReducedValuesBlock(reader_, indexes, 3, 1, 4, 1, block.data()), KVOk);
  EXPECT_EQ(std::vector<int32_t>(indexes, indexes + 3), (std::vector<int32_t>{0, 1, 2}));
  for (size_t j = 0; j < 4; ++j) {
    EXPECT_EQ(block[4 + j].max, Expected(1, Intervals(Storing::Reduced, 1)[1 + j], 1).max) << j;
    EXPECT_EQ(block[j].time_stamp, 2.0 * static_cast<double>(j + 1)) << j;
  }
}

TEST_F(ReducedAbi, ArgumentChecksAndDamageGiveTheirStatus) {
  const std::string plain = Write({}), levelOne = Write({.startingLevel = 1});
  const std::string damaged = Write({.level0RecordBytes = 40});  // channel 2's item lies outside the record
  KVReducedValue record{};
  double value = 0;
  int32_t list[] = {1};
  struct Case {
    const std::string* file;
    std::function<KVStatus()> call;
    KVStatus status;
  };
  const Case cases[] = {
      {&plain, [&] { return KVIGetReducedValues(reader_, 0, 0, 1, nullptr); }, KVNoMemoryAlloc},
      {&plain, [&] { return KVIGetReducedAveValues(reader_, 0, 0, 0, nullptr, nullptr); }, KVOk},
      {&plain, [&] { return KVIGetReducedMinValues(reader_, 6, 0, 1, &value, nullptr); }, KVInvalidIndex},
      {&plain, [&] { return KVIGetReducedValuesBlock(reader_, list, 1, 0, 1, 0, &record); }, KVOk},
      {&levelOne, [&] { return KVIGetReducedValuesBlock(reader_, list, 1, 0, 1, 0, &record); }, KVInvalidIBLevel},
      {&damaged, [&] { return KVIGetReducedValues(reader_, 2, 0, 1, &record); }, KVFileCorrupt},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Open(*c.file), KVOk);
    EXPECT_EQ(c.call(), c.status) << &c - cases;
    ASSERT_EQ(KVICloseDataFile(reader_), KVOk);
  }
}

TEST_F(ReducedAbi, KVFormsUseTheActiveReader) {
  const std::string path = Write({});
  ASSERT_EQ(KVInit(), 0);
  KVFileInfo info{};
  ASSERT_EQ(KVOpenDataFile(path.c_str(), &info), KVOk);
  int32_t count = 0, list[] = {0};
  double duration = 0, maximum = 0;
  KVReducedValue record{};
  EXPECT_EQ(KVGetReducedValuesCount(0, &count, &duration), KVOk);
  EXPECT_EQ(KVGetReducedMaxValues(0, count - 1, 1, &maximum, nullptr), KVOk);
  EXPECT_EQ(KVGetReducedValuesBlock(list, 1, count - 1, 1, 0, &record), KVOk);
  EXPECT_EQ(record.max, Expected(0, Intervals(Storing::Reduced, 0).back(), 0).max);
  EXPECT_EQ(maximum, record.max);
  EXPECT_EQ(KVDeInit(), 0);
  EXPECT_EQ(KVGetReducedValues(0, 0, 1, &record), KVInvalidReaderHandle);
}

}  // namespace
}  // namespace Korvane::DataReader::ReducedTest

// Reduced values through the engine, from recordings the test kit writes: counts,
// every selector over windows that cross regions or run past the stored values,
// both storing kinds, shared intervals, channels stored on their own, the block
// read (each shared record read once, the list sorted) and damaged layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "multistream/CBaseStream.h"
#include "setup/CKVChannel.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/ReducedRecording.h"

namespace Korvane::DataReader::ReducedTest {
namespace {

using EngineTest::OpenedRecording;
constexpr double kNone = -12345.5;  // what the reads must leave untouched
constexpr KVReducedValue kNoRecord{kNone, kNone, kNone, kNone, kNone};

const CKVChannel* ChannelAt(OpenedRecording& r, int index) {
  return r.setup().GetChannelList().at(static_cast<size_t>(index)).get();
}

void ExpectRecord(const KVReducedValue& actual, const KVReducedValue& expected, const std::string& where) {
  const double got[] = {actual.time_stamp, actual.ave, actual.min, actual.max, actual.rms};
  const double want[] = {expected.time_stamp, expected.ave, expected.min, expected.max, expected.rms};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(got[i], want[i], 1e-6 * std::max(1.0, std::abs(want[i]))) << where << i;
}

// Hands out the inner container's streams and counts the reads on one of them.
struct CountingContainer : MultiStream::CStreamContainer {
  struct Stream : MultiStream::CBaseStream {
    explicit Stream(MultiStream::CBaseStream* stream) : inner(stream) {}
    int64_t Seek(int64_t offset, MultiStream::EnumSeekOrigin origin) override { return inner->Seek(offset, origin); }
    int32_t Write(const void* data, int32_t length) override { return inner->Write(data, length); }
    int32_t Read(void* buffer, int32_t length) override { return ++reads, inner->Read(buffer, length); }
    int64_t Size() override { return inner->Size(); }
    MultiStream::CBaseStream* inner;
    int reads = 0;
  };
  CountingContainer(MultiStream::CStreamContainer& container, const std::string& countedCode)
      : inner(container), code(countedCode), counted(container.StreamByCode(countedCode.c_str())) {
    std::memcpy(DescriptionField(), container.Description(), MultiStream::kDescriptionChars);
  }
  void OpenFile(const char*) override {}
  void CloseFile() override {}
  int32_t GetFileVersionInt() override { return inner.GetFileVersionInt(); }
  MultiStream::CBaseStream* StreamByCode(const char* name) override {
    return name == code ? &counted : inner.StreamByCode(name);
  }
  MultiStream::CStreamContainer& inner;
  std::string code;
  Stream counted;
};

// The count is that of the stored intervals: 25 + 20 + 15 at level 0, and at level
// 1 2 + 2 + 2 with one shared; in a mixed recording every interval from the start.
TEST(ReducedValues, CountAndEverySelectorReadTheWindowAndNothingBehindIt) {
  struct Case {
    Storing storing;
    int level, channel, first, count;
  };
  const Case cases[] = {{Storing::Reduced, 0, 0, 20, 10},  // from the first region into the second
                        {Storing::Reduced, 0, 1, 40, 8},   // into the third, which starts inside a block
                        {Storing::Reduced, 0, 2, 55, 10},  // past the last value: five delivered
                        {Storing::Reduced, 0, 3, 0, 60},   {Storing::Reduced, 1, 0, 0, 7},
                        {Storing::Reduced, 1, 3, 1, 3},    {Storing::Mixed, 0, 1, 80, 6},
                        {Storing::Mixed, 1, 2, 0, 5}};
  for (const Case& c : cases) {
    OpenedRecording r(Build({.storing = c.storing, .startingLevel = c.level}));
    const std::vector<Interval> intervals = Intervals(c.storing, c.level);
    int count = -1;
    double duration = 0;
    r.engine().GetReducedValuesCount(ChannelAt(r, c.channel), count, duration);
    EXPECT_EQ(count, static_cast<int>(intervals.size()));
    EXPECT_DOUBLE_EQ(duration, c.level == 0 ? 0.1 : 2.0);
    const auto n = static_cast<size_t>(c.count);
    for (int selector = -1; selector <= 4; ++selector) {
      std::vector<KVReducedValue> records(n, kNoRecord);
      std::array<std::vector<double>, 6> out;  // values, times, minima, averages, maxima, RMS
      for (auto& array : out) array.assign(n, kNone);
      r.engine().GetReducedValues(ChannelAt(r, c.channel), c.first, c.count, records.data(), out[0].data(),
                                  out[1].data(), selector, out[2].data(), out[3].data(), out[4].data(),
                                  out[5].data());
      for (size_t j = 0; j < n; ++j) {
        const std::string where = std::to_string(c.channel) + "/" + std::to_string(selector) + "/" + std::to_string(j);
        const size_t k = c.first + j;
        const KVReducedValue e = k < intervals.size() ? Expected(c.channel, intervals[k], c.level) : kNoRecord;
        const double chosen[] = {e.max, e.min, e.ave, e.rms, kNone};
        ExpectRecord(records[j], selector == -1 ? e : kNoRecord, where);
        ExpectRecord({out[1][j], out[0][j], kNone, kNone, kNone},
                     {selector >= 0 ? e.time_stamp : kNone, selector >= 0 ? chosen[selector] : kNone, kNone, kNone,
                      kNone},
                     where);
        ExpectRecord({kNone, out[3][j], out[2][j], out[4][j], out[5][j]},
                     selector == 4 ? KVReducedValue{kNone, e.ave, e.min, e.max, e.rms} : kNoRecord, where);
      }
    }
  }
}

TEST(ReducedValues, BlockReadsTheSharedRecordsInOneRunAndSortsTheList) {
  struct Case {
    int level;
    std::vector<int> channels;
    int first, count;
  };
  const Case cases[] = {{0, {2, 3, 0, 1}, 20, 10}, {1, {3, 1, 0}, 0, 6}, {0, {1, 1}, 58, 4}};
  for (const Case& c : cases) {
    OpenedRecording r(Build({}), false);
    CountingContainer counting(r.container(), "IBDATA" + std::to_string(c.level));
    r.engine().SetContainer(&counting);
    r.engine().Initiate();
    std::vector<int> list = c.channels;
    std::vector<KVReducedValue> records(list.size() * static_cast<size_t>(c.count), kNoRecord);
    r.engine().GetReducedValuesBlock(list.data(), static_cast<int>(list.size()), c.first, c.count, c.level,
                                     records.data(), nullptr, nullptr, KVReducedRecords, nullptr, nullptr, nullptr,
                                     nullptr);
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end()));
    EXPECT_TRUE(std::is_permutation(list.begin(), list.end(), c.channels.begin()));
    const std::vector<Interval> intervals = Intervals(Storing::Reduced, c.level);
    // The window's records are consecutive and few: one read brings them all.
    EXPECT_EQ(counting.counted.reads, 1);
    for (size_t i = 0; i < c.channels.size(); ++i) {
      for (size_t j = 0, k = c.first; j < static_cast<size_t>(c.count); ++j, ++k) {
        ExpectRecord(records[i * c.count + j],
                     k < intervals.size() ? Expected(c.channels[i], intervals[k], c.level) : kNoRecord,
                     "list position " + std::to_string(i) + " value " + std::to_string(j));
      }
    }
    r.engine().SetContainer(nullptr);
  }
}

TEST(ReducedValues, DamagedLayoutIsACorruptFile) {
  struct Case {
    Options options;
    int channel;
  };
  const Case cases[] = {{{.level0RecordBytes = 40}, 2},       // the item at 48 lies outside the record
                        {{.level0RecordBytes = 0}, 0},        // no record size
                        {{.ownStreamPosition = 1 << 20}, 3},  // beyond the channel's stream
                        {{.ownStreamPosition = -7}, 3}};
  for (const Case& c : cases) {
    OpenedRecording r(Build(c.options));
    KVReducedValue records[5] = {};
    EXPECT_THROW(r.engine().GetReducedValues(ChannelAt(r, c.channel), 0, 5, records, nullptr, nullptr,
                                             KVReducedRecords, nullptr, nullptr, nullptr, nullptr),
                 FileCorruptException)
        << "channel " << c.channel;
  }
}

TEST(ReducedValues, ItemForms) {
  OpenedRecording r(Build({}));
  MultiStream::CBaseStream* stream = r.container().StreamByCode("IBDATA0");
  stream->Seek(-16, MultiStream::kSeekEnd);
  KVReducedValue record{};
  EXPECT_THROW(CDataLoadEngine::GetScaledReducedValueFromStream(ChannelAt(r, 0), stream, &record),
               FileCorruptException);

  // A complex item with ComplexIBBuffers: three floats read, no RMS.
  CKVChannel complex;
  complex.DataType = kTypeComplexFloat;
  complex.Async = complex.ComplexIBBuffers = true;
  complex.Scale = -2;
  complex.Offset = 0;
  const float item[3] = {1, 4, 2};
  const auto* bytes = reinterpret_cast<const uint8_t*>(item);
  double minimum = 0, average = 0, maximum = 0, rms = kNone;
  CDataLoadEngine::GetScaledReducedValueFromBuf(&complex, bytes, minimum, average, maximum, rms);
  EXPECT_EQ(std::vector<double>({minimum, average, maximum, rms}), std::vector<double>({-8, -4, -2, kNone}));
  EXPECT_EQ(CDataLoadEngine::GetScaledReducedValueFromBuf(&complex, bytes, KVReducedRMS), 0);
}

}  // namespace
}  // namespace Korvane::DataReader::ReducedTest

// A window of the largest count asked of a channel of a few hundred samples
// allocates in proportion to the samples that exist, not to the count: the global
// operator new of this executable records the largest single request made while
// the window is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "AsyncSamplesSupport.h"

// The replacements below pair malloc with free, which GCC cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
bool g_tracking = false;
std::size_t g_largest = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (g_tracking && size > g_largest) g_largest = size;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace Korvane::DataReader {
namespace {

constexpr std::size_t kBound = 1 << 20;

// Reads everything from sample 1 on with count 2^31 - 1 in two forms; returns the
// largest allocation made meanwhile.
std::size_t LargestAllocation(CDataLoadEngine& engine, const CKVChannel& channel) {
  const int64_t total = engine.GetAsyncSamplesCount(&channel, 0, 1);
  EXPECT_GT(total, 200);
  std::vector<uint8_t> values(static_cast<size_t>(total) * 8);
  std::vector<double> times(static_cast<size_t>(total));
  g_largest = 0;
  g_tracking = true;
  try {
    for (ScaleType form : {ScaleType::RawEx, ScaleType::Scaled}) {
      engine.GetAsyncSamples(&channel, 1, INT_MAX, values.data(), times.data(), 0, 99, false, nullptr, form);
    }
  } catch (...) {
    g_tracking = false;
    throw;
  }
  g_tracking = false;
  return g_largest;
}

TEST(AsyncAllocation, WindowOfTheLargestCountAllocatesForTheSamplesThatExist) {
  const std::vector<TestKit::RecordedRegion> regions = {{0, 0, 4, 0}, {6, 0, 9, 0}};
  std::vector<double> times;
  for (int64_t p = 0; p < 1000; p += 3) times.push_back(static_cast<double>(p) / 1000);
  const AsyncTest::BuiltRecording index = AsyncTest::BuildIndexRecording(regions, true, {{"Math;1", kTypeDouble, 1, times}});
  EngineTest::OpenedRecording indexed(index.recording);
  EXPECT_LT(LargestAllocation(indexed.engine(), indexed.Channel("Math;1")), kBound);

  const AsyncTest::LegacyRecording legacy =
      AsyncTest::BuildLegacyRecording({"legacy", kTypeDouble, 1, 0, false, 32, regions, regions, 3});
  EngineTest::OpenedRecording blocks(legacy.recording);
  EXPECT_LT(LargestAllocation(blocks.engine(), blocks.Channel("Math;1")), kBound);
}

}  // namespace
}  // namespace Korvane::DataReader

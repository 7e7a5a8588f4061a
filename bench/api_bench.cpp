// The cost of the call frame: a value query through CallReaderForValue against the
// same reader method called directly.
#include <benchmark/benchmark.h>

#include "api/CallFrame.h"
#include "bench/BenchRatio.h"

namespace Korvane::DataReader::Api {
namespace {

constexpr int kCallsPerIteration = 1000;

void BM_CallFrameAgainstDirectCall(benchmark::State& state) {
  CKVDataReader reader;
  const KVReaderHandle handle = ToHandle(&reader);
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        for (int i = 0; i < kCallsPerIteration; ++i) {
          int32_t value = reader.KVGetVersion();
          benchmark::DoNotOptimize(value);
        }
      },
      [&] {
        for (int i = 0; i < kCallsPerIteration; ++i) {
          int32_t value = 0;
          CallReaderForValue(handle, &value, [](CKVDataReader& r) { return r.KVGetVersion(); });
          benchmark::DoNotOptimize(value);
        }
      });
}
BENCHMARK(BM_CallFrameAgainstDirectCall);

}  // namespace
}  // namespace Korvane::DataReader::Api

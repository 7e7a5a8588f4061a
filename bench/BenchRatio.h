// Times a subject against a baseline inside one benchmark loop, so both run on the
// same machine state, and reports both and their ratio as counters.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/BenchPhases.h"

namespace Korvane::DataReader::Bench {

template <class Baseline, class Subject>
void MeasureAgainstBaseline(benchmark::State& state, Baseline&& baseline, Subject&& subject) {
  Clock::duration baselineTime{}, subjectTime{};
  for (auto _ : state) {
    const auto start = Clock::now();
    baseline();
    const auto middle = Clock::now();
    subject();
    const auto end = Clock::now();
    baselineTime += middle - start;
    subjectTime += end - middle;
  }
  const double baselineNs = std::chrono::duration<double, std::nano>(baselineTime).count();
  const double subjectNs = std::chrono::duration<double, std::nano>(subjectTime).count();
  const double iterations = static_cast<double>(state.iterations());
  state.counters["baseline_ns"] = baselineNs / iterations;
  state.counters["subject_ns"] = subjectNs / iterations;
  state.counters["ratio"] = baselineNs > 0 ? subjectNs / baselineNs : 0.0;
}

}  // namespace Korvane::DataReader::Bench

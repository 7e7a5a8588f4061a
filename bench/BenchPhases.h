// Times of the phases of one operation over many rounds, both on the wall clock
// and as CPU time of the calling thread. On a machine shared with other work the
// wall clock also counts the time the thread waited for a core; the CPU time does
// not, so it is the steadier measure of the code itself, and ratios of CPU times
// taken in the same run are the figures to trust there. On an idle machine the two
// agree for work that does not wait for the disk.
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>

namespace Korvane::DataReader::Bench {

using Clock = std::chrono::steady_clock;

inline double Nanoseconds(Clock::duration duration) { return std::chrono::duration<double, std::nano>(duration).count(); }

// A point in time on both clocks.
struct Instant {
  Clock::time_point wall;
  double cpuNs = 0;

  static Instant Now() {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return {Clock::now(), static_cast<double>(cpu.tv_sec) * 1e9 + static_cast<double>(cpu.tv_nsec)};
  }
};

struct PhaseTime {
  Clock::duration total{};
  Clock::duration best = Clock::duration::max();  // the wall time of the fastest round
  double cpuTotalNs = 0;
  double cpuBestNs = 0;  // the CPU time of the round that took the least of it
  int rounds = 0;

  void Add(Clock::duration round) {
    total += round;
    best = std::min(best, round);
    ++rounds;
  }
  void Add(const Instant& from, const Instant& to) {
    const double cpu = to.cpuNs - from.cpuNs;
    cpuBestNs = rounds == 0 ? cpu : std::min(cpuBestNs, cpu);
    Add(to.wall - from.wall);
    cpuTotalNs += cpu;
  }
  double MeanNs() const { return rounds > 0 ? Nanoseconds(total) / rounds : 0.0; }
  double BestNs() const { return rounds > 0 ? Nanoseconds(best) : 0.0; }
  double CpuMeanNs() const { return rounds > 0 ? cpuTotalNs / rounds : 0.0; }
};

}  // namespace Korvane::DataReader::Bench

// The peer a user would pick instead of this library: the benchmark recording's
// channels in an HDF5 file, one dataset per channel in its stored type, chunks of
// 64 KiB, read back with H5Dread into doubles. Built only when HDF5 is installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/BenchRecording.h"

namespace Korvane::DataReader::Bench {

class Hdf5Peer {
 public:
  // Writes every channel's stored samples (its regions back to back) to path.
  Hdf5Peer(const BenchRecording& recording, const std::string& path);
  ~Hdf5Peer();
  Hdf5Peer(const Hdf5Peer&) = delete;
  Hdf5Peer& operator=(const Hdf5Peer&) = delete;

  int64_t Samples(int channel) const { return samples_.at(static_cast<size_t>(channel)); }
  // Samples first to first + count - 1 of a channel as doubles.
  void Read(int channel, int64_t first, int64_t count, double* out);

 private:
  int64_t file_ = -1;
  std::vector<int64_t> datasets_;
  std::vector<int64_t> samples_;
};

}  // namespace Korvane::DataReader::Bench

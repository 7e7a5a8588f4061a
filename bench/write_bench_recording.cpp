// Writes the 64-channel benchmark recording (BenchRecording.h) of a given number
// of full-rate samples to a path of the caller's, for measurements that run the
// command-line tool on it (peak memory by recording size).
// Usage: write_bench_recording <path> <full-rate samples>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "bench/BenchRecording.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <path> <full-rate samples>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path target = argv[1];
  const long long samples = std::strtoll(argv[2], nullptr, 10);
  Korvane::DataReader::Bench::BenchRecording recording(samples);
  std::error_code error;
  std::filesystem::remove(target, error);
  // The recording's directory goes away with it: keep the file by a second name
  // (or a copy when the target lies on another file system).
  std::filesystem::create_hard_link(recording.path(), target, error);
  if (error) std::filesystem::copy_file(recording.path(), target);
  std::printf("wrote %s: %lld bytes\n", target.c_str(), static_cast<long long>(recording.fileBytes()));
  return 0;
}

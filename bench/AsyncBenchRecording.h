// The recording the asynchronous-sample benchmarks read: one region at 100,000
// positions per second in blocks of 1000, and three double channels over the same
// irregular time stamps (about one sample per position): "AI;0" in legacy blocks
// (tails in the level-0 records, data in "DBASDAT0"), "AI;1" and "AI;2" in the
// shared timestamp index with leaves of 512 and of 4096 samples. Written once by
// the test kit into a temporary directory that goes away with the object; it also
// knows which stream bytes each channel's samples occupy, for the plain-read
// baselines, and what every sample must read back as.
#pragma once

#include <cstdint>
#include <string>

#include "testkit/StreamedMultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Bench {

inline constexpr char kLegacyChannel[] = "AI;0";
inline constexpr char kIndex512Channel[] = "AI;1";
inline constexpr char kIndex4096Channel[] = "AI;2";

// Samples per channel: KV_BENCH_ASYNC_SAMPLES, default 10,000,000, at least 100,000.
int64_t AsyncBenchSamplesFromEnvironment();

// Where a channel's samples lie in one stream: [offset, offset + bytes).
struct StreamRange {
  std::string code;
  int64_t offset = 0;
  int64_t bytes = 0;
};

class AsyncBenchRecording {
 public:
  explicit AsyncBenchRecording(int64_t samples);
  ~AsyncBenchRecording();
  AsyncBenchRecording(const AsyncBenchRecording&) = delete;
  AsyncBenchRecording& operator=(const AsyncBenchRecording&) = delete;

  const std::string& path() const noexcept { return path_; }
  int64_t samples() const noexcept { return samples_; }
  int64_t legacyBlocks() const noexcept { return legacyBlocks_; }

  // The value and time-stamp bytes of an index channel's leaves in "DBASDATX".
  StreamRange IndexBytes(const std::string& channel) const;
  // The legacy channel's blocks: values and float times in "DBASDAT0", and the
  // level-0 records that carry its tails in "IBDATA0".
  StreamRange LegacyDataBytes() const { return {"DBASDAT0", 0, legacyDataBytes_}; }
  StreamRange LegacyRecordBytes() const { return {"IBDATA0", 0, legacyRecordBytes_}; }
  // Where block b's tail lies in "IBDATA0": b x LegacyRecordStride() + LegacyTailOffset().
  static int64_t LegacyTailOffset() noexcept;
  static int64_t LegacyRecordStride() noexcept;
  // Block b's time in seconds (its level-0 interval).
  static double LegacyBlockTime(int64_t block) noexcept;

  // The baselines' read: the range's bytes with pread, page payload by page payload
  // (64 KB) from where the file holds them, into `out`, bypassing the container.
  void ReadPlain(const StreamRange& range, uint8_t* out) const;

  // What sample k reads back as: the stored double and the time stamp in seconds
  // (the legacy channel's is a float after its block's time, so only close).
  static double Value(int64_t k) noexcept;
  static double Timestamp(int64_t k) noexcept;

 private:
  TestKit::TempDir dir_;
  std::string path_;
  TestKit::StreamedMultiStream written_;
  int fd_ = -1;
  int64_t samples_ = 0;
  int64_t legacyBlocks_ = 0;
  int64_t legacyDataBytes_ = 0;
  int64_t legacyRecordBytes_ = 0;
};

}  // namespace Korvane::DataReader::Bench

// The plain reads the sample benchmarks measure the library against: a file read
// sequentially in large chunks, and one channel's block slices read with pread from
// where the file holds them, converted to scaled doubles or left as stored. Also
// the eviction of a file from the page cache for cold runs (KV_BENCH_COLD=1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/BenchRecording.h"

namespace Korvane::DataReader::Bench {

// A file opened for reading, closed with the object.
class File {
 public:
  explicit File(const std::string& path);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  int fd() const noexcept { return fd_; }

 private:
  int fd_;
};

// Whether KV_BENCH_COLD=1 asks for reads from the disk.
bool Cold();
// Drops a file's pages from the page cache (KV_BENCH_COLD=1 only).
void Evict(const std::string& path);

// One sequential pass over the file with read() in chunks of the buffer's size.
void SequentialPass(const std::string& path, std::vector<char>& buffer);

// A stored number of data type 2 (int16), 5 (float) or 7 (double).
double Decode(const uint8_t* at, int dataType);

// Each stored block's slice of channel c read with pread, converted to scaled
// doubles into a window buffer (wrapping round it).
void PreadChannel(const BenchRecording& recording, const File& file, int c, double scale, double offset,
                  std::vector<uint8_t>& slice, std::vector<double>& window);
// Each stored block's slice of channel c read with pread straight into a window
// buffer of stored samples (wrapping round it), as a host's raw read gets them.
void PreadRawChannel(const BenchRecording& recording, const File& file, int c, std::vector<uint8_t>& window);

}  // namespace Korvane::DataReader::Bench

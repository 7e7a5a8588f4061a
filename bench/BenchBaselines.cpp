// The plain reads of the sample benchmarks.
#include "bench/BenchBaselines.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "testkit/StreamedMultiStreamWriter.h"

namespace Korvane::DataReader::Bench {

File::File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY)) {}

File::~File() {
  if (fd_ >= 0) ::close(fd_);
}

bool Cold() {
  const char* text = std::getenv("KV_BENCH_COLD");
  return text != nullptr && std::string(text) == "1";
}

void Evict(const std::string& path) {
#if defined(POSIX_FADV_DONTNEED)
  if (!Cold()) return;
  File file(path);
  ::fdatasync(file.fd());
  ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_DONTNEED);
#else
  (void)path;
#endif
}

void SequentialPass(const std::string& path, std::vector<char>& buffer) {
  File file(path);
  while (::read(file.fd(), buffer.data(), buffer.size()) > 0) benchmark::DoNotOptimize(buffer.data());
}

double Decode(const uint8_t* at, int dataType) {
  switch (dataType) {
    case 2: {
      int16_t v;
      std::memcpy(&v, at, 2);
      return v;
    }
    case 5: {
      float v;
      std::memcpy(&v, at, 4);
      return v;
    }
    default: {
      double v;
      std::memcpy(&v, at, 8);
      return v;
    }
  }
}

namespace {

// Reads block `block`'s slice of the channel into `to`, piece by piece where the
// file's pages split it.
void PreadSlice(const BenchRecording& recording, const File& file, const BenchChannel& channel, int64_t block,
                uint8_t* to, int64_t bytes) {
  TestKit::ForEachFilePiece(recording.dataStream(), recording.pageHeaderBytes(),
                            block * recording.blockBytes() + channel.dbOffset, bytes, [&](int64_t at, int64_t n) {
                              if (::pread(file.fd(), to, static_cast<size_t>(n), at) != n) std::abort();
                              to += n;
                            });
}

}  // namespace

void PreadChannel(const BenchRecording& recording, const File& file, int c, double scale, double offset,
                  std::vector<uint8_t>& slice, std::vector<double>& window) {
  const BenchChannel& channel = recording.channels()[static_cast<size_t>(c)];
  const int64_t perBlock = kBenchBlockSize / channel.srDiv;
  slice.resize(static_cast<size_t>(perBlock * channel.sampleBytes));
  size_t filled = 0;
  for (int64_t block = 0; block < recording.storedBlocks(); ++block) {
    PreadSlice(recording, file, channel, block, slice.data(), static_cast<int64_t>(slice.size()));
    for (int64_t i = 0; i < perBlock; ++i) {
      if (filled == window.size()) filled = 0;
      window[filled++] = Decode(slice.data() + i * channel.sampleBytes, channel.dataType) * scale + offset;
    }
    benchmark::DoNotOptimize(window.data());
  }
}

void PreadRawChannel(const BenchRecording& recording, const File& file, int c, std::vector<uint8_t>& window) {
  const BenchChannel& channel = recording.channels()[static_cast<size_t>(c)];
  const int64_t sliceBytes = kBenchBlockSize / channel.srDiv * channel.sampleBytes;
  size_t filled = 0;
  for (int64_t block = 0; block < recording.storedBlocks(); ++block) {
    if (filled + static_cast<size_t>(sliceBytes) > window.size()) filled = 0;
    PreadSlice(recording, file, channel, block, window.data() + filled, sliceBytes);
    filled += static_cast<size_t>(sliceBytes);
    benchmark::DoNotOptimize(window.data());
  }
}

}  // namespace Korvane::DataReader::Bench

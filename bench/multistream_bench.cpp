// Reading a large paged stream through CVirtualStream against reading the same
// bytes from a plain file with fread, in the same run. The container holds four
// streams of 256 MiB with 64 KiB pages, interleaved page by page.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>

#include "bench/BenchRatio.h"
#include "multistream/CMultiStream.h"
#include "testkit/ByteWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace {

using namespace Korvane::DataReader;
using namespace Korvane::DataReader::MultiStream;

constexpr size_t kStreamBytes = 256u << 20;
constexpr int32_t kPayloadBytes = 64 << 10;
constexpr int kSeeks = 20000;
constexpr int32_t kSeekReadBytes = 512;

// The files are written once per process; the second stream of the container is
// the one measured, the plain file holds the same bytes.
struct Files {
  Korvane::DataReader::TestKit::TempDir dir;
  std::string container;
  std::string plain;

  Files() {
    namespace Kit = Korvane::DataReader::TestKit;
    container = dir.File("big.kvd");
    plain = dir.File("big.bin");
    std::vector<Kit::StoredStreamLayout> layouts;
    for (int i = 0; i < 4; ++i) {
      layouts.push_back({"STREAM" + std::to_string(i), Kit::PatternBytes(kStreamBytes, static_cast<uint8_t>(i)),
                       kPayloadBytes, true});
    }
    Kit::MultiStreamOptions options;
    options.writePageTable = true;
    Kit::WriteMultiStreamFile(container, options, layouts);
    Kit::WriteFile(plain, layouts[1].data);
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

void SequentialRead(benchmark::State& state) {
  const int32_t request = static_cast<int32_t>(state.range(0));
  Files& files = TheFiles();
  CMultiStream container;
  container.OpenFile(files.container.c_str());
  CBaseStream* stream = container.StreamByCode("STREAM1");
  std::vector<uint8_t> buffer(static_cast<size_t>(request));

  Korvane::DataReader::Bench::MeasureAgainstBaseline(
      state,
      [&] {
        std::FILE* file = std::fopen(files.plain.c_str(), "rb");
        while (std::fread(buffer.data(), 1, buffer.size(), file) == buffer.size()) benchmark::DoNotOptimize(buffer);
        std::fclose(file);
      },
      [&] {
        stream->Seek(0, kSeekBegin);
        for (size_t done = 0; done < kStreamBytes; done += buffer.size()) {
          stream->Read(buffer.data(), request);
          benchmark::DoNotOptimize(buffer);
        }
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kStreamBytes));
}
BENCHMARK(SequentialRead)->Arg(64 << 10)->Arg(4 << 10)->Unit(benchmark::kMillisecond);

// Random positions, each a seek from the beginning and a small read.
void SeekAndRead(benchmark::State& state) {
  Files& files = TheFiles();
  CMultiStream container;
  container.OpenFile(files.container.c_str());
  CBaseStream* stream = container.StreamByCode("STREAM1");
  std::vector<int64_t> targets(kSeeks);
  std::mt19937_64 random(5);
  for (int64_t& target : targets) {
    target = static_cast<int64_t>(random() % (kStreamBytes - kSeekReadBytes));
  }
  uint8_t buffer[kSeekReadBytes];

  Korvane::DataReader::Bench::MeasureAgainstBaseline(
      state,
      [&] {
        std::FILE* file = std::fopen(files.plain.c_str(), "rb");
        for (int64_t target : targets) {
          fseeko(file, static_cast<off_t>(target), SEEK_SET);
          benchmark::DoNotOptimize(std::fread(buffer, 1, sizeof buffer, file));
        }
        std::fclose(file);
      },
      [&] {
        for (int64_t target : targets) {
          stream->Seek(target, kSeekBegin);
          benchmark::DoNotOptimize(stream->Read(buffer, kSeekReadBytes));
        }
      });
}
BENCHMARK(SeekAndRead)->Unit(benchmark::kMillisecond);

}  // namespace

// Writers of multi-stream container files for tests, benchmarks and fuzz seeds.
// The layouts are written from this file's own constants, never from the
// library's reading code, so a test catches a misreading on either side.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Korvane::DataReader::TestKit {

// Byte offsets inside a written page header (the same for every generation).
inline constexpr size_t kTestPageNumberOffset = 4;
inline constexpr size_t kTestPagePreviousOffset = 8;
inline constexpr size_t kTestPageNextOffset = 16;
// Byte offsets inside a written file header.
inline constexpr size_t kTestDescriptionLengthOffset = 25;
inline constexpr size_t kTestReservedOffset = 125;
inline constexpr size_t kTestDirectoryEntryOffset = 126;

// One stream to store.
struct StoredStreamLayout {
  std::string code;
  std::vector<uint8_t> data;
  int32_t payloadSize = 100;
  // Generations 2 to 4: the stream's directory flag is set and its pages are listed
  // in "___PAGES" (when the file has one).
  bool inPageTable = false;
  // Page headers carry -2 as next link: the next page is known only from the table.
  bool nextLinksFromTable = false;
};

struct MultiStreamOptions {
  int generation = 4;  // 1 to 4
  std::string description;  // at most 96 characters
  // Pages of the streams alternate in the file (one page of each in turn);
  // otherwise each stream's pages follow each other.
  bool interleave = true;
  // Adds a "___PAGES" stream listing the pages of streams with inPageTable.
  bool writePageTable = false;
  // Further page-table records (stream number, page position) after the real ones.
  std::vector<std::pair<int32_t, int64_t>> extraPageTableRecords;
  int32_t directoryPayloadSize = 128;
  int32_t pageTablePayloadSize = 256;
};

// Where the writer put a stream.
struct WrittenStream {
  std::string code;
  int32_t streamNumber = -1;  // directory index; -1 for the directory itself
  int32_t payloadSize = 0;
  std::vector<int64_t> pagePositions;
  // Offset of this stream's entry inside the directory stream's content.
  int64_t entryOffset = -1;
};

struct WrittenMultiStream {
  std::vector<uint8_t> bytes;
  std::vector<WrittenStream> streams;  // in directory order, "___PAGES" last
  WrittenStream directory;
};

// The page table "___PAGES": a version word 1, the record count, then a (stream
// number, page position) record for every page of each listed stream, in stream
// order (entry `number` of `listedPages` is null for a stream not listed), then the
// `extra` records.
std::vector<uint8_t> BuildPageTable(const std::vector<const std::vector<int64_t>*>& listedPages,
                                    const std::vector<std::pair<int32_t, int64_t>>& extra);

WrittenMultiStream BuildMultiStreamFile(const MultiStreamOptions& options, const std::vector<StoredStreamLayout>& streams);

// Builds the file and writes it to path.
WrittenMultiStream WriteMultiStreamFile(const std::string& path, const MultiStreamOptions& options,
                                        const std::vector<StoredStreamLayout>& streams);

// A description text whose version string gives `version`: "X<m> SP<p>" for 7000 to
// 7999, "<year>.<n>" from 8000, dotted digits below 7000.
std::string DescriptionForVersion(int version);

// `count` bytes of a recognisable pattern: byte i is (i * 7 + seed) mod 251.
std::vector<uint8_t> PatternBytes(size_t count, uint8_t seed = 0);

// Little-endian patches of a built image (test damage).
void PatchI32(std::vector<uint8_t>& bytes, size_t position, int32_t value);
void PatchI64(std::vector<uint8_t>& bytes, size_t position, int64_t value);

}  // namespace Korvane::DataReader::TestKit

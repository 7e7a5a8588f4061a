// Writes a multi-stream container file piece by piece: each stream's bytes come from
// a callback, one page at a time, so a recording of many gigabytes is written
// without ever being held in memory. The file is byte for byte the one
// BuildMultiStreamFile builds for the same streams and options; only the page list
// of each stream (8 bytes per page), the page table and the directory are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testkit/MultiStreamWriter.h"

namespace Korvane::DataReader::TestKit {

// Fills `count` bytes of a stream, beginning at byte `offset`, into `out`. The
// writer asks for each stream's bytes in ascending order, one page payload at a time.
using StreamFill = std::function<void(int64_t offset, uint8_t* out, size_t count)>;

// One stream to store, by size and producer.
struct StreamSource {
  std::string code;
  int64_t size = 0;
  StreamFill fill;
  int32_t payloadSize = 4096;
  bool inPageTable = false;
  bool nextLinksFromTable = false;
};

// A source over bytes the caller keeps alive (setup, events and other small streams).
StreamSource BytesSource(const std::string& code, const std::vector<uint8_t>& bytes, int32_t payloadSize = 4096);

// Where the streamed writer put the streams (the `bytes` member stays empty).
struct StreamedMultiStream {
  std::vector<WrittenStream> streams;  // in directory order, "___PAGES" last
  WrittenStream directory;
  int64_t fileBytes = 0;
  int32_t pageHeaderBytes = 0;
};

// Lays the streams out as BuildMultiStreamFile does and writes the file to path;
// throws std::runtime_error when the file cannot be written and
// std::invalid_argument for options the container cannot hold.
StreamedMultiStream WriteMultiStreamFileStreamed(const std::string& path, const MultiStreamOptions& options,
                                                 const std::vector<StreamSource>& streams);

// The file position of each piece of stream bytes [offset, offset + count), in
// order: calls visit(filePosition, byteCount) once per page the range touches.
void ForEachFilePiece(const WrittenStream& stream, int32_t pageHeaderBytes, int64_t offset, int64_t count,
                      const std::function<void(int64_t filePosition, int64_t byteCount)>& visit);

}  // namespace Korvane::DataReader::TestKit

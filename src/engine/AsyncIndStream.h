// AsyncIndStream: the timestamp index's Stream over one stream of the open
// container. The index reads in small pieces (48-byte leaves, one leaf's values,
// then its time stamps), each channel going forward, so the pieces are read through
// forward windows of the stream (StreamWindows). The container owns the stream; the
// engine keeps each adapter alive as long as the index managers that read through it.
#pragma once

#include <cstdint>

#include "asyncindex/Stream.h"
#include "engine/StreamWindows.h"

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader {

class AsyncIndStream final : public Stream {
 public:
  // The budget, when given, bounds the window memory of all of a reader's streams.
  explicit AsyncIndStream(MultiStream::CStream* stream, WindowBudget* budget = nullptr) : windows_(stream, budget) {}

  // Reads exactly length bytes; a read the stream cannot satisfy throws
  // StreamException (the index treats it as the end of what was written).
  uint64_t read(void* buffer, uint64_t length) override;
  // The container is read-only: writes do nothing and report 0 bytes.
  uint64_t write(const void*, uint64_t) override { return 0; }
  uint64_t writeIncomplete(const void*, uint64_t) override { return 0; }
  uint64_t writeBackwards(const void*, uint64_t, uint64_t, bool) override { return 0; }
  // A position outside the stream is FileCorruptException, as the stream's own
  // seek refuses it.
  uint64_t seek(SeekOrigin origin, int64_t offset) override;
  uint64_t getCurrentPos() override { return position_; }
  uint64_t getSize() override { return windows_.Size(); }
  bool isEof() override { return position_ >= windows_.Size(); }
  void rewind() override { position_ = 0; }

 private:
  StreamWindows windows_;
  uint64_t position_ = 0;
};

}  // namespace Korvane::DataReader

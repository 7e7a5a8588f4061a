// AsyncIndStream: the timestamp index's Stream over one stream of the open
// container. The container owns the stream; the engine keeps each adapter alive as
// long as the index managers that read through it.
#pragma once

#include <cstdint>

#include "asyncindex/Stream.h"

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader {

class AsyncIndStream final : public Stream {
 public:
  explicit AsyncIndStream(MultiStream::CStream* stream) noexcept : stream_(stream) {}

  // Reads exactly length bytes; a read the stream cannot satisfy throws
  // StreamException (the index treats it as the end of what was written).
  uint64_t read(void* buffer, uint64_t length) override;
  // The container is read-only: writes do nothing and report 0 bytes.
  uint64_t write(const void*, uint64_t) override { return 0; }
  uint64_t writeIncomplete(const void*, uint64_t) override { return 0; }
  uint64_t writeBackwards(const void*, uint64_t, uint64_t, bool) override { return 0; }
  uint64_t seek(SeekOrigin origin, int64_t offset) override;
  uint64_t getCurrentPos() override;
  uint64_t getSize() override;
  bool isEof() override;
  void rewind() override;

 private:
  MultiStream::CStream* stream_;
};

}  // namespace Korvane::DataReader

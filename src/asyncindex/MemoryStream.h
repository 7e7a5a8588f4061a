// MemoryStream: a Stream over bytes it owns, readable and writable, that counts the
// reads it serves. Index streams held in memory (tests, benchmarks, the fuzz
// target) use it; writing through it produces the stored layouts of the nodes.
#pragma once

#include <cstdint>
#include <vector>

#include "asyncindex/Stream.h"

class MemoryStream final : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  // Reads exactly length bytes or throws StreamException without moving.
  uint64_t read(void* buffer, uint64_t length) override;
  // Overwrites or extends the bytes from the current position; returns length.
  uint64_t write(const void* buffer, uint64_t length) override;
  uint64_t writeIncomplete(const void* buffer, uint64_t length) override;
  uint64_t writeBackwards(const void* buffer, uint64_t length, uint64_t position, bool keepPosition) override;
  // Seeks within [0, size]; a seek before the beginning lands on 0, past the end on
  // the end.
  uint64_t seek(SeekOrigin origin, int64_t offset) override;
  uint64_t getCurrentPos() override { return position_; }
  uint64_t getSize() override { return bytes_.size(); }
  bool isEof() override { return position_ >= bytes_.size(); }
  void rewind() override { position_ = 0; }

  const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }
  // Reads served so far and the bytes they delivered (how much of an index a
  // search or a walk touched).
  uint64_t readCount() const noexcept { return readCount_; }
  uint64_t bytesRead() const noexcept { return bytesRead_; }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t position_ = 0;
  uint64_t readCount_ = 0;
  uint64_t bytesRead_ = 0;
};

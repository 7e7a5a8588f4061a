// ByteWriter: builds byte images of stored layouts, little-endian whatever the
// host, for writing test files. Positions are byte offsets into the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Korvane::DataReader::TestKit {

class ByteWriter {
 public:
  ByteWriter& U8(uint8_t value);
  ByteWriter& U16(uint16_t value);
  ByteWriter& I16(int16_t value) { return U16(static_cast<uint16_t>(value)); }
  ByteWriter& U32(uint32_t value);
  ByteWriter& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
  ByteWriter& U64(uint64_t value);
  ByteWriter& I64(int64_t value) { return U64(static_cast<uint64_t>(value)); }
  ByteWriter& F32(float value);
  ByteWriter& F64(double value);
  ByteWriter& Bytes(const void* data, size_t size);
  ByteWriter& Bytes(const std::vector<uint8_t>& data) { return Bytes(data.data(), data.size()); }
  // The characters of text, without a terminator.
  ByteWriter& Text(std::string_view text) { return Bytes(text.data(), text.size()); }
  // text in a field of exactly `width` bytes, cut or zero-padded.
  ByteWriter& FixedText(std::string_view text, size_t width);
  ByteWriter& Zeros(size_t count);

  // Overwrites four bytes at `position` (for lengths and links known only later).
  void PatchU32(size_t position, uint32_t value);
  void PatchU64(size_t position, uint64_t value);

  size_t size() const noexcept { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

// Writes bytes to a file, replacing it; throws std::runtime_error on failure.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Reads a whole file; throws std::runtime_error on failure.
std::vector<uint8_t> ReadFile(const std::string& path);

}  // namespace Korvane::DataReader::TestKit

#include "testkit/ByteWriter.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace Korvane::DataReader::TestKit {
namespace {

template <class T>
void AppendLittleEndian(std::vector<uint8_t>& bytes, T value) {
  for (size_t i = 0; i < sizeof(T); ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

ByteWriter& ByteWriter::U8(uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

ByteWriter& ByteWriter::U16(uint16_t value) {
  AppendLittleEndian(bytes_, value);
  return *this;
}

ByteWriter& ByteWriter::U32(uint32_t value) {
  AppendLittleEndian(bytes_, value);
  return *this;
}

ByteWriter& ByteWriter::U64(uint64_t value) {
  AppendLittleEndian(bytes_, value);
  return *this;
}

ByteWriter& ByteWriter::F32(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return U32(bits);
}

ByteWriter& ByteWriter::F64(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return U64(bits);
}

ByteWriter& ByteWriter::Bytes(const void* data, size_t size) {
  const auto* first = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), first, first + size);
  return *this;
}

ByteWriter& ByteWriter::FixedText(std::string_view text, size_t width) {
  const size_t kept = text.size() < width ? text.size() : width;
  Bytes(text.data(), kept);
  return Zeros(width - kept);
}

ByteWriter& ByteWriter::Zeros(size_t count) {
  bytes_.insert(bytes_.end(), count, 0);
  return *this;
}

void ByteWriter::PatchU32(size_t position, uint32_t value) {
  if (position + 4 > bytes_.size()) throw std::out_of_range("PatchU32 past the end");
  for (size_t i = 0; i < 4; ++i) bytes_[position + i] = static_cast<uint8_t>(value >> (8 * i));
}

void ByteWriter::PatchU64(size_t position, uint64_t value) {
  if (position + 8 > bytes_.size()) throw std::out_of_range("PatchU64 past the end");
  for (size_t i = 0; i < 8; ++i) bytes_[position + i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace Korvane::DataReader::TestKit

// XMLArena: bump allocation in blocks that are only released with the arena.
#include "xml/XMLArena.h"

#include <algorithm>
#include <cstdint>

namespace Korvane::DataReader {
namespace {

size_t PaddingFor(const std::byte* at, size_t alignment) noexcept {
  return (alignment - reinterpret_cast<uintptr_t>(at) % alignment) % alignment;
}

}  // namespace

void* XMLArena::Allocate(size_t bytes, size_t alignment) {
  size_t padding = PaddingFor(next_, alignment);
  if (next_ == nullptr || padding + bytes > left_) {
    // A node larger than a block gets a block of its own.
    const size_t blockBytes = std::max(nextBlockBytes_, bytes + alignment);
    blocks_.push_back(std::unique_ptr<std::byte[]>(new std::byte[blockBytes]));
    reserved_ += blockBytes;
    next_ = blocks_.back().get();
    left_ = blockBytes;
    nextBlockBytes_ = std::min(nextBlockBytes_ * 2, kLargestBlockBytes);
    padding = PaddingFor(next_, alignment);
  }
  std::byte* memory = next_ + padding;
  next_ = memory + bytes;
  left_ -= padding + bytes;
  return memory;
}

}  // namespace Korvane::DataReader

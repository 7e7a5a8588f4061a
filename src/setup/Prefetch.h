// A hint that asks for memory to be brought into the caches before it is read.
// The setup interpreter reads documents much larger than the caches; asking for
// the memory of many nodes at once lets it arrive together instead of one cache
// line after another. A hint only: it changes no result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Korvane::DataReader {

inline constexpr size_t kCacheLineBytes = 64;
// The children of an element whose memory is asked for at once, and the bytes of
// each: an element and the content the parser placed right after it.
inline constexpr size_t kPrefetchedChildren = 64;
inline constexpr size_t kNodeAndContentBytes = 3 * kCacheLineBytes;
inline constexpr size_t kStreamAheadBytes = 4096;

// The `bytes` from `at`, for reading.
inline void PrefetchForRead(const void* at, size_t bytes) noexcept {
#if defined(__GNUC__) || defined(__clang__)
  const char* first = static_cast<const char*>(at);
  for (size_t offset = 0; offset < bytes; offset += kCacheLineBytes) __builtin_prefetch(first + offset, 0);
#else
  (void)at;
  (void)bytes;
#endif
}

// The `bytes` from `at`, for writing.
inline void PrefetchForWrite(void* at, size_t bytes) noexcept {
#if defined(__GNUC__) || defined(__clang__)
  char* first = static_cast<char*>(at);
  for (size_t offset = 0; offset < bytes; offset += kCacheLineBytes) __builtin_prefetch(first + offset, 1);
#else
  (void)at;
  (void)bytes;
#endif
}

// The memory from `first` up to `next`, for reading, when `next` lies a little
// after `first`. The parser places a document's nodes one after another in
// document order, so the memory between two sibling elements is the whole
// subtree of the first: asking for it while the sibling before is read lets the
// next definition arrive in the caches before it is needed. Siblings that do not
// lie so (edited documents, the ends of arena blocks) are left alone.
inline void PrefetchSubtree(const void* first, const void* next) noexcept {
  constexpr uintptr_t kLargestSpan = uintptr_t{16} << 10;
  const auto from = reinterpret_cast<uintptr_t>(first);
  const auto to = reinterpret_cast<uintptr_t>(next);
  if (to > from && to - from <= kLargestSpan) PrefetchForRead(first, to - from);
}

}  // namespace Korvane::DataReader

// XMLArena: the memory the nodes of a parsed document live in. The parser places
// each element, attribute and content it makes in large blocks, one after another
// in document order, so that building the tree costs no allocation per node and
// walking it reads memory in sequence. The document owns its arena and releases it
// after its nodes; a node placed in an arena carries an ArenaMark, and deleting it
// runs its destructor only (its class's destroying delete), the memory going with
// the arena. Arena nodes never leave their document: detaching one hands out a copy.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace Korvane::DataReader {

// Whether a node lives in an arena. A copy of a node is made elsewhere, so the mark
// is never copied.
class ArenaMark {
 public:
  ArenaMark() noexcept = default;
  ArenaMark(const ArenaMark&) noexcept {}
  ArenaMark& operator=(const ArenaMark&) noexcept { return *this; }

  bool InArena() const noexcept { return inArena_; }

 private:
  friend class XMLArena;
  bool inArena_ = false;
};

class XMLArena {
 public:
  XMLArena() = default;
  XMLArena(const XMLArena&) = delete;
  XMLArena& operator=(const XMLArena&) = delete;

  // A node of type T (which has an ArenaMark member `arenaMark_` and befriends
  // XMLArena) built in the arena. The pointer owns the node's life, not its memory.
  template <class T, class... Args>
  std::unique_ptr<T> New(Args&&... args) {
    void* memory = Allocate(sizeof(T), alignof(T));
    T* node = ::new (memory) T(std::forward<Args>(args)...);
    node->arenaMark_.inArena_ = true;
    return std::unique_ptr<T>(node);
  }

  // Bytes taken from the system so far.
  size_t ReservedBytes() const noexcept { return reserved_; }

 private:
  // Blocks grow from a few kilobytes, so that small documents stay small, to a size
  // that the C library still serves from its heap rather than by mapping fresh pages.
  static constexpr size_t kFirstBlockBytes = size_t{4} << 10;
  static constexpr size_t kLargestBlockBytes = size_t{64} << 10;

  void* Allocate(size_t bytes, size_t alignment);

  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  std::byte* next_ = nullptr;
  size_t left_ = 0;
  size_t nextBlockBytes_ = kFirstBlockBytes;
  size_t reserved_ = 0;
};

}  // namespace Korvane::DataReader

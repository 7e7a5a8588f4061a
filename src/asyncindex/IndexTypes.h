// Names shared by the index's nodes, channels, iterators and managers: the search,
// move and load enumerations (values fixed, callers pass them as numbers), node
// positions as stored in the node stream, and the limits that keep a damaged tree
// from turning a search into an endless walk.
#pragma once

#include <cstdint>

enum class DuplFoundStrategy : int32_t { First = 0, Last = 1 };

// Values above NearestPreferPrevious behave as Fail.
enum class NotFoundStrategy : int32_t {
  Fail = 0,
  Next = 1,
  Previous = 2,
  NextOrPrevious = 3,
  PreviousOrNext = 4,
  NearestPreferNext = 5,
  NearestPreferPrevious = 6,
};

enum class FoundPosition : int32_t { Exact = 0, After = 1, Before = 2, NotFound = 3 };

enum class MoveFailStrategy : int32_t { ReturnEmpty = 0, StopAtEnd = 1 };

enum class NeedNodeDirection : int32_t { PreviousLeaf = 0, NextLeaf = 1, ChildOfItem = 2 };

// A stored node position: all ones is no node; bit 63 set marks an inner node at
// the offset in the low 63 bits; otherwise a leaf at that offset. Offsets count from
// the channel's node-stream start.
namespace NodePosition {
constexpr uint64_t kNone = ~uint64_t{0};
constexpr uint64_t kInnerBit = uint64_t{1} << 63;

constexpr bool isNone(uint64_t position) noexcept { return position == kNone; }
constexpr bool isInner(uint64_t position) noexcept { return (position & kInnerBit) != 0; }
constexpr uint64_t offsetOf(uint64_t position) noexcept { return position & ~kInnerBit; }
}  // namespace NodePosition

// A tree of fan-out 8 over at most 2^64 samples is at most 22 inner levels deep; a
// descent past this depth follows a loop of a damaged file.
constexpr uint32_t kMaxTreeDepth = 32;

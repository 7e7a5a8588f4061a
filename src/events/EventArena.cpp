// Blocks of the event arena.
#include "events/EventArena.h"

#include <algorithm>

namespace Korvane::DataReader::Events {

void EventArena::AddBlock(size_t bytes) {
  const size_t blockBytes = std::max(bytes, kBlockBytes);
  // operator new[] aligns for max_align_t, so every place handed out is aligned;
  // the bytes are left as they are, each place is written before it is read.
  blocks_.push_back(std::unique_ptr<std::byte[]>(new std::byte[blockBytes]));
  next_ = blocks_.back().get();
  left_ = blockBytes;
}

}  // namespace Korvane::DataReader::Events

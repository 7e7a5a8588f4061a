// Whole data blocks shared by the channels that read one stretch in turn, in a
// ring of block slots.
#include "engine/DataBlockWindow.h"

#include <algorithm>

#include "common/DataReaderLibException.h"
#include "engine/StoredReads.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader {

void DataBlockWindow::Reset() noexcept {
  bytes_.reset();
  slots_ = blockBytes_ = firstBlock_ = blockCount_ = 0;
  lastChannel_ = currentChannel_ = nullptr;
  lastFirst_ = lastEnd_ = currentFirst_ = currentEnd_ = -1;
}

bool DataBlockWindow::BeginRead(const void* channelKey, int64_t firstStoredBlock) noexcept {
  if (currentChannel_ != nullptr) {
    lastChannel_ = currentChannel_;
    lastFirst_ = currentFirst_;
    lastEnd_ = currentEnd_;
  }
  currentChannel_ = channelKey;
  currentFirst_ = currentEnd_ = firstStoredBlock;
  // The stretch the other channel read, or the one right after it (the first
  // channel of a host's next window).
  return lastChannel_ != nullptr && lastChannel_ != channelKey && firstStoredBlock >= lastFirst_ &&
         firstStoredBlock <= lastEnd_ + 1;
}

void DataBlockWindow::Touch(int64_t storedBlock) noexcept {
  currentFirst_ = std::min(currentFirst_, storedBlock);
  currentEnd_ = std::max(currentEnd_, storedBlock);
}

const uint8_t* DataBlockWindow::Block(int64_t block) const noexcept {
  if (block < firstBlock_ || block >= firstBlock_ + blockCount_) return nullptr;
  return Slot(block);
}

void DataBlockWindow::ReadBlocks(MultiStream::CStream* stream, int64_t from, int64_t to) {
  // A run that wraps round the ring is two reads.
  while (from < to) {
    const int64_t run = std::min(to - from, slots_ - from % slots_);
    ReadAt(stream, from * blockBytes_, Slot(from), run * blockBytes_, "DBDATA");
    from += run;
  }
}

const uint8_t* DataBlockWindow::Load(MultiStream::CStream* stream, int64_t block, int64_t wanted,
                                     int64_t blockBytes) {
  if (block < 0 || blockBytes <= 0) throw FileCorruptException("DBDATA");
  const int64_t at = CheckedMul(block, blockBytes, "block position");
  const int64_t streamBlocks = stream->Size() / blockBytes;
  const int64_t limit = std::max<int64_t>(1, std::min(kMaxBytes / blockBytes, streamBlocks));
  const int64_t count = std::min({wanted, limit, streamBlocks - block});
  if (at > stream->Size() || count < 1) throw FileCorruptException("DBDATA");

  // The ring grows to the largest stretch asked for (and some spare slots), never
  // beyond the limit nor the stream; a new size or block size starts it empty.
  const int64_t slots = std::min(limit, std::max(slots_, count + kSpareSlots));
  if (slots != slots_ || blockBytes != blockBytes_) {
    bytes_.reset();  // the old ring goes before the new one comes
    bytes_.reset(new uint8_t[static_cast<size_t>(slots * blockBytes)]);
    slots_ = slots;
    blockBytes_ = blockBytes;
    blockCount_ = 0;
  }

  const int64_t end = block + count;
  const int64_t heldEnd = firstBlock_ + blockCount_;
  if (blockCount_ == 0 || end < firstBlock_ || block > heldEnd) {
    // Nothing held next to the stretch: the ring starts again with it.
    blockCount_ = 0;
    ReadBlocks(stream, block, end);
    firstBlock_ = block;
    blockCount_ = count;
    return Slot(block);
  }
  // The stretch extends the held range: keep what it overlaps, give up the far end
  // of the held range when the ring would overflow, read the rest.
  int64_t first = std::min(firstBlock_, block);
  int64_t last = std::max(heldEnd, end);
  if (last - first > slots_) {
    if (block >= firstBlock_) {
      first = last - slots_;
    } else {
      last = first + slots_;
    }
  }
  const int64_t keptFirst = std::max(firstBlock_, first);
  const int64_t keptEnd = std::min(heldEnd, last);
  // Until the reads succeed only the kept blocks count as held (slots being read
  // may belong to blocks given up).
  firstBlock_ = keptFirst;
  blockCount_ = std::max<int64_t>(0, keptEnd - keptFirst);
  if (blockCount_ == 0) {
    ReadBlocks(stream, block, end);
    firstBlock_ = block;
    blockCount_ = count;
    return Slot(block);
  }
  ReadBlocks(stream, first, keptFirst);
  ReadBlocks(stream, keptEnd, last);
  firstBlock_ = first;
  blockCount_ = last - first;
  return Slot(block);
}

}  // namespace Korvane::DataReader

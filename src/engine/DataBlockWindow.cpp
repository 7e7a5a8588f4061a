// Whole data blocks shared by the channels that read one stretch in turn.
#include "engine/DataBlockWindow.h"

#include <algorithm>

#include "common/DataReaderLibException.h"
#include "engine/StoredReads.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader {

void DataBlockWindow::Reset() noexcept {
  bytes_.clear();
  bytes_.shrink_to_fit();
  firstBlock_ = blockCount_ = blockBytes_ = 0;
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
  return lastChannel_ != nullptr && lastChannel_ != channelKey && firstStoredBlock >= lastFirst_ &&
         firstStoredBlock <= lastEnd_;
}

void DataBlockWindow::Touch(int64_t storedBlock) noexcept {
  currentFirst_ = std::min(currentFirst_, storedBlock);
  currentEnd_ = std::max(currentEnd_, storedBlock);
}

const uint8_t* DataBlockWindow::Block(int64_t block) const noexcept {
  if (block < firstBlock_ || block >= firstBlock_ + blockCount_) return nullptr;
  return bytes_.data() + (block - firstBlock_) * blockBytes_;
}

const uint8_t* DataBlockWindow::Load(MultiStream::CStream* stream, int64_t block, int64_t wanted,
                                     int64_t blockBytes) {
  const int64_t at = CheckedMul(block, blockBytes, "block position");
  const int64_t available = stream->Size() - at;
  const int64_t count = std::min({wanted, kMaxBytes / blockBytes, available / blockBytes});
  if (block < 0 || count < 1) throw FileCorruptException("DBDATA");
  bytes_.resize(static_cast<size_t>(count * blockBytes));
  blockCount_ = 0;  // nothing valid until the read succeeded
  ReadAt(stream, at, bytes_.data(), count * blockBytes, "DBDATA");
  firstBlock_ = block;
  blockCount_ = count;
  blockBytes_ = blockBytes;
  return bytes_.data();
}

}  // namespace Korvane::DataReader

// DataBlockWindow: whole data blocks of "DBDATA" held in memory for the channels
// that read the same stretch of the recording one after the other. A host that
// reads every channel window by window would otherwise make one small read per
// channel and block; once a second channel asks for blocks the previous call just
// read, the window loads those blocks whole, in one large read, and serves the
// other channels from memory. It only does so for a stretch that fits kMaxBytes
// (a larger one would push out what the next channel needs), so its memory is
// bounded whatever the recording's size. Owned by the engine; it never outlives
// the open file.
#pragma once

#include <cstdint>
#include <vector>

namespace Korvane::DataReader {

namespace MultiStream {
class CStream;
}

class DataBlockWindow {
 public:
  static constexpr int64_t kMaxBytes = int64_t{64} << 20;

  // Forgets the blocks and the history (a new file, or no file).
  void Reset() noexcept;

  // Starts a read of `channelKey`'s slices; returns whether the window should load
  // whole blocks for it: another channel read this stretch in the last call.
  bool BeginRead(const void* channelKey, int64_t firstStoredBlock) noexcept;
  // Notes a stored block the current read touches (for the next BeginRead).
  void Touch(int64_t storedBlock) noexcept;

  // The bytes of stored block `block` when the window holds it, else null.
  const uint8_t* Block(int64_t block) const noexcept;
  // Loads `count` whole blocks from `block` on (fewer where the stream or kMaxBytes
  // ends them; at least one); FileCorruptException when the stream cannot give the
  // first one.
  const uint8_t* Load(MultiStream::CStream* stream, int64_t block, int64_t count, int64_t blockBytes);

 private:
  std::vector<uint8_t> bytes_;
  int64_t firstBlock_ = 0;
  int64_t blockCount_ = 0;
  int64_t blockBytes_ = 0;
  // The stretch and channel of the previous read, and of the read in progress.
  const void* lastChannel_ = nullptr;
  int64_t lastFirst_ = -1;
  int64_t lastEnd_ = -1;
  const void* currentChannel_ = nullptr;
  int64_t currentFirst_ = -1;
  int64_t currentEnd_ = -1;
};

}  // namespace Korvane::DataReader

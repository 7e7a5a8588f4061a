// DataBlockWindow: whole data blocks of "DBDATA" held in memory for the channels
// that read the same stretch of the recording one after the other. A host that
// reads every channel window by window would otherwise make one small read per
// channel and block; once a second channel asks for blocks the previous call just
// read, the window loads those blocks whole, in one large read, and serves the
// other channels from memory. It only does so for a stretch that fits kMaxBytes
// (a larger one would push out what the next channel needs), so its memory is
// bounded whatever the recording's size. The blocks sit in a ring of slots (block
// b in slot b mod the slot count): channels whose windows begin or end a block or
// two apart (dividers round region edges differently) extend the held range at
// either end instead of replacing it, so each block is read once per stretch.
// Owned by the engine; it never outlives the open file.
#pragma once

#include <cstdint>
#include <memory>

namespace Korvane::DataReader {

namespace MultiStream {
class CStream;
}

class DataBlockWindow {
 public:
  static constexpr int64_t kMaxBytes = int64_t{32} << 20;
  // Slots beyond the blocks a read asks for, for the next channel's window that
  // begins or ends a little apart.
  static constexpr int64_t kSpareSlots = 4;

  // Forgets the blocks and the history (a new file, or no file).
  void Reset() noexcept;

  // Starts a read of `channelKey`'s slices; returns whether the window should load
  // whole blocks for it: another channel read this stretch, or the one just before
  // it, in the last call.
  bool BeginRead(const void* channelKey, int64_t firstStoredBlock) noexcept;
  // Notes a stored block the current read touches (for the next BeginRead).
  void Touch(int64_t storedBlock) noexcept;

  // The bytes of stored block `block` when the window holds it, else null.
  const uint8_t* Block(int64_t block) const noexcept;
  // Holds `count` whole blocks from `block` on (fewer where the stream or kMaxBytes
  // ends them; at least one), reading only those not held, and returns the first;
  // FileCorruptException when the stream cannot give the first one.
  const uint8_t* Load(MultiStream::CStream* stream, int64_t block, int64_t count, int64_t blockBytes);

 private:
  uint8_t* Slot(int64_t block) const noexcept { return bytes_.get() + (block % slots_) * blockBytes_; }
  // Reads blocks [from, to) into their slots.
  void ReadBlocks(MultiStream::CStream* stream, int64_t from, int64_t to);

  std::unique_ptr<uint8_t[]> bytes_;
  int64_t slots_ = 0;
  int64_t blockBytes_ = 0;
  // The blocks held: [firstBlock_, firstBlock_ + blockCount_), at most slots_.
  int64_t firstBlock_ = 0;
  int64_t blockCount_ = 0;
  // The stretch and channel of the previous read, and of the read in progress.
  const void* lastChannel_ = nullptr;
  int64_t lastFirst_ = -1;
  int64_t lastEnd_ = -1;
  const void* currentChannel_ = nullptr;
  int64_t currentFirst_ = -1;
  int64_t currentEnd_ = -1;
};

}  // namespace Korvane::DataReader

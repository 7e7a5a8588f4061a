// CFileStream: a whole file on disk as a read-only stream; the carrier of a
// multi-stream container. Reads go through positioned reads and a small buffer,
// so many streams can share one carrier without disturbing each other's
// positions. The stream owns its file descriptor and closes it on destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "multistream/CStream.h"

namespace Korvane::DataReader::MultiStream {

// One destination of a gathered read: the next `length` bytes of the file go to
// `buffer`.
struct ReadPiece {
  void* buffer = nullptr;
  int64_t length = 0;
};

class CFileStream : public CStream {
 public:
  // Opens path for binary reading at position 0; throws CannotOpenFileException when
  // the path is not a readable regular file.
  explicit CFileStream(const char* path);
  ~CFileStream() override;

  // Origin 0 takes a negative offset as 0, origin 2 a positive one as 0; a move to
  // before the start lands on 0; an unknown origin leaves the position. Returns the
  // new position.
  int64_t Seek(int64_t offset, EnumSeekOrigin origin) override;
  // Always -1: the file is read-only.
  int32_t Write(const void* data, int32_t length) override;
  // 1 when all `length` bytes were read, -1 otherwise (the bytes that exist are
  // still copied and the position advances past them).
  int32_t Read(void* buffer, int32_t length) override;
  // The file's size when it was opened.
  int64_t Size() override { return size_; }

  // Copies up to `length` bytes from absolute `position` without touching the read
  // position; returns how many bytes the file held there. `readAhead` is how many
  // bytes the caller expects to want right after these, so small reads of one
  // region share one system call while large reads go straight to the caller.
  int64_t ReadAt(int64_t position, void* buffer, int64_t length, int64_t readAhead);
  // Copies the consecutive bytes from absolute `position` on into the pieces in
  // order, in one system call for up to kMaxGatherPieces pieces; returns how many
  // bytes the file held there. Leaves the read position alone.
  int64_t ReadGathered(int64_t position, std::span<const ReadPiece> pieces);

 private:
  int64_t ReadDirect(int64_t position, uint8_t* buffer, int64_t length);

  int fd_ = -1;
  int64_t size_ = 0;
  int64_t position_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
  int64_t bufferStart_ = 0;
  int64_t bufferBytes_ = 0;
  int64_t fillBytes_ = 0;
};

}  // namespace Korvane::DataReader::MultiStream

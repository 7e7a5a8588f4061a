// Stream: the byte stream the timestamp index reads its three streams through. The
// index knows nothing else of the file; an adapter over the container's streams (or
// MemoryStream, or a test's file stream) implements it. Streams are shared between a
// manager, its channels and their iterators through kit::local_shared_ptr.
#pragma once

#include <cstdint>

enum class SeekOrigin : int32_t { Begin = 0, Current = 1 };

class Stream {
 public:
  virtual ~Stream() = default;

  // Copies exactly length bytes from the current position and advances; a stream
  // that cannot deliver them all throws StreamException. Returns length.
  virtual uint64_t read(void* buffer, uint64_t length) = 0;
  // Writes length bytes at the current position; returns the bytes written (0 for
  // read-only streams).
  virtual uint64_t write(const void* buffer, uint64_t length) = 0;
  // As write, for a record whose tail follows later; returns the bytes written.
  virtual uint64_t writeIncomplete(const void* buffer, uint64_t length) = 0;
  // Writes length bytes at an earlier position (a link patched once its target is
  // known); keepPosition leaves the current position where it was. Returns the
  // bytes written.
  virtual uint64_t writeBackwards(const void* buffer, uint64_t length, uint64_t position,
                                  bool keepPosition) = 0;
  // Moves the current position; returns the new position from the beginning.
  virtual uint64_t seek(SeekOrigin origin, int64_t offset) = 0;
  virtual uint64_t getCurrentPos() = 0;
  virtual uint64_t getSize() = 0;
  // True when the current position is at (or past) the end.
  virtual bool isEof() = 0;
  // Moves back to position 0.
  virtual void rewind() = 0;
};

// CVirtualZipStream: one unpacked member of a zip-packaged data file, read from its
// temporary file through the C runtime's buffered files. The stream owns that
// file: destroying the stream closes it and deletes it from disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "multistream/CBaseStream.h"

namespace Korvane::DataReader::MultiStream {

class CVirtualZipStream : public CBaseStream {
 public:
  CVirtualZipStream();
  ~CVirtualZipStream() override;

  // Takes ownership of the file at path (it is deleted with the stream) and opens it
  // for binary reading at position 0; false when it cannot be opened.
  bool Open(const std::string& path);

  // Origins 0, 1, 2 map to the C runtime's; returns the new position. Throws
  // FileCorruptException for another origin ("Invalid seek origin") or when the
  // seek fails ("Seek failed", e.g. before the start).
  int64_t Seek(int64_t offset, EnumSeekOrigin origin) override;
  // Returns 0: the stream is read-only.
  int32_t Write(const void* data, int32_t length) override;
  // Returns the number of bytes actually read.
  int32_t Read(void* buffer, int32_t length) override;
  // The unpacked file's size (it never changes while the stream lives).
  int64_t Size() override { return size_; }

  const std::string& FilePath() const noexcept { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  int64_t size_ = 0;
};

}  // namespace Korvane::DataReader::MultiStream

// CVirtualZipStream: one unpacked member of a zip-packaged data file, read from its
// temporary file through the C runtime's buffered files. The stream owns that
// file: destroying the stream closes it and deletes it from disk. The file is open
// only while the member is among the most recently read ones (ZipOpenFiles); the
// stream keeps its own position and reopens the file where it left off.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "multistream/CBaseStream.h"

namespace Korvane::DataReader::MultiStream {

class ZipOpenFiles;

class CVirtualZipStream : public CBaseStream {
 public:
  CVirtualZipStream();
  ~CVirtualZipStream() override;

  // Takes ownership of the file at path (it is deleted with the stream), checks
  // that it opens for binary reading and takes its size; the read position is 0.
  // With `openFiles` the file is held open only while the list keeps the stream;
  // without, it stays open for the stream's life. False when it cannot be opened.
  bool Open(const std::string& path, ZipOpenFiles* openFiles = nullptr);

  // Origins 0, 1, 2 are from the start, the read position and the end; returns the
  // new position. Throws FileCorruptException for another origin ("Invalid seek
  // origin") or when the position would fall before the start ("Seek failed").
  int64_t Seek(int64_t offset, EnumSeekOrigin origin) override;
  // Returns 0: the stream is read-only.
  int32_t Write(const void* data, int32_t length) override;
  // Returns the number of bytes actually read. Throws
  // CannotOpenExtractedFileException when the file cannot be reopened.
  int32_t Read(void* buffer, int32_t length) override;
  // The unpacked file's size (it never changes while the stream lives).
  int64_t Size() override { return size_; }

  const std::string& FilePath() const noexcept { return path_; }
  bool HoldsOpenFile() const noexcept { return file_ != nullptr; }
  // Closes the file; the next read reopens it. Called by ZipOpenFiles.
  void ReleaseFile() noexcept;

 private:
  // Opens the file unless it is open and moves its cursor to the read position.
  bool PrepareFile();

  std::FILE* file_ = nullptr;
  ZipOpenFiles* openFiles_ = nullptr;
  std::string path_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  // Where the file's own cursor stands while the file is open.
  int64_t filePosition_ = 0;
  bool opened_ = false;
};

}  // namespace Korvane::DataReader::MultiStream

// ZipOpenFiles: the bound on how many unpacked zip members hold an open file at a
// time. An archive may have thousands of members, and a host process has few
// descriptors to spare, so a member opens its file when it is read and the least
// recently read member closes its file when one more would pass the bound. The
// container owns the list; the streams in it are borrowed.
#pragma once

#include <cstddef>
#include <vector>

namespace Korvane::DataReader::MultiStream {

class CVirtualZipStream;

// Enough for every stream a reader keeps reading side by side (data, events,
// indexes), so that reads that alternate between them never reopen a file.
inline constexpr size_t kMaxOpenZipMembers = 12;

class ZipOpenFiles {
 public:
  explicit ZipOpenFiles(size_t capacity = kMaxOpenZipMembers);

  ZipOpenFiles(const ZipOpenFiles&) = delete;
  ZipOpenFiles& operator=(const ZipOpenFiles&) = delete;

  // Marks `stream` as the most recently read; when it is new to the list and the
  // list is full, the least recently read stream releases its file.
  void Use(CVirtualZipStream* stream);
  // Drops `stream` from the list without touching its file (it is going away).
  void Forget(const CVirtualZipStream* stream) noexcept;

  size_t Count() const noexcept { return recent_.size(); }

 private:
  size_t capacity_;
  std::vector<CVirtualZipStream*> recent_;  // most recently read first
};

}  // namespace Korvane::DataReader::MultiStream

// CZipStream: a zip-packaged data file. Opening unpacks every member (but folder
// entries and "BinaryFiles" content) into a private temporary directory that this
// container creates under the system's temporary directory, and hands out one
// CVirtualZipStream per member; only a few of them hold an open file at a time.
// The container owns the elements, their files and the directory; all of them are
// removed at CloseFile, at destruction and after an open that failed part-way.
// CZipElement pairs a member name with its stream.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "multistream/CStreamContainer.h"
#include "multistream/CVirtualZipStream.h"
#include "multistream/ZipOpenFiles.h"

namespace Korvane::DataReader::MultiStream {

// Member names are kept to this many characters.
inline constexpr int32_t kZipMemberNameChars = 511;

class CZipElement {
 public:
  CZipElement(const char* name, std::unique_ptr<CVirtualZipStream> stream);
  ~CZipElement();

  CZipElement(const CZipElement&) = delete;
  CZipElement& operator=(const CZipElement&) = delete;

  // The member name as stored in the archive (folders included).
  const char* Name() const noexcept { return name_.c_str(); }
  CVirtualZipStream* Stream() noexcept { return stream_.get(); }

 private:
  std::string name_;
  std::unique_ptr<CVirtualZipStream> stream_;
};

class CZipStream : public CStreamContainer {
 public:
  CZipStream();
  ~CZipStream() override;

  // Closes any open file, then unpacks the archive at path. Throws
  // CannotOpenFileException (archive cannot be opened), FileCorruptException
  // (archive structure, or a member holds more data than its declared size),
  // CreateDestFileException (no place to unpack), ExtractingFileException (the
  // declared sizes exceed the free space of the temporary directory, or a member
  // does not inflate or fails its checksum) or CannotOpenExtractedFileException;
  // after a failure nothing stays on disk.
  void OpenFile(const char* path) override;
  // Deletes every unpacked file and the private directory.
  void CloseFile() override;
  // The stream of the first member whose whole name equals `code`, or null.
  CBaseStream* StreamByCode(const char* code) override;
  // Always 8000: packaged files use the current event layout.
  int32_t GetFileVersionInt() override;

  size_t ElementCount() const noexcept { return elements_.size(); }
  CZipElement* ElementAt(size_t index) noexcept { return elements_[index].get(); }
  // The private directory of the unpacked members; empty when none exists.
  const std::filesystem::path& Folder() const noexcept { return folder_; }
  const std::string& Path() const noexcept { return path_; }

 private:
  void Unpack(const char* path);
  // Refuses the archive before anything is unpacked when the members to unpack
  // declare more bytes than the temporary directory has free. Leaves the archive
  // at its first member.
  void CheckFreeSpace(void* archive, uint64_t entries);
  void UnpackCurrentMember(void* archive, const char* name, const void* memberInfo);
  // Creates a new file in the private directory for member `name`: named after the
  // member when that name is a plain file name not yet used, otherwise under a
  // generated name. Returns the descriptor and sets `filePath`.
  int CreateDestination(const char* name, std::string& filePath);
  void CreateFolder();
  // The description is the comment's first 96 characters, cut at "-=-".
  void SetDescriptionFromComment(const char* comment);

  std::string path_;
  std::filesystem::path folder_;
  // Declared before the elements so that it outlives every stream in it.
  ZipOpenFiles openFiles_;
  std::vector<std::unique_ptr<CZipElement>> elements_;
  // The first element of each name, for StreamByCode.
  std::unordered_map<std::string, CVirtualZipStream*> byName_;
};

}  // namespace Korvane::DataReader::MultiStream

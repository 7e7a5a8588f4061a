// CMultiStream: a plain data file, a multi-stream container. It checks the header,
// reads the stream directory ("___INDEX") and the optional page table
// ("___PAGES"), and owns one CVirtualStream per directory entry, handed out by
// code and valid until CloseFile. It owns the carrier file while a file is open.
//
// Header layout (little-endian):
//    0  25  magic "MULTI_STREAM_FILE_VER0100" | 0200 | 0201 | 0210 (generations 1-4)
//   25   4  int32 description length, 0 to 96
//   29  96  description text
//  125   1  reserved, 0
//  126  44|45|46  the directory stream's own entry (see CVirtualStream)
// The directory stream holds an int32 count and that many entries; the page table
// holds an int32 (unused), an int32 count and records of int32 stream number and
// int64 page position, in page order per stream.
#pragma once

#include <cstdint>
#include <memory>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "multistream/CStreamContainer.h"
#include "multistream/CVirtualStream.h"

namespace Korvane::DataReader::MultiStream {

class CFileStream;

class CMultiStream : public CStreamContainer {
 public:
  // An empty container with the page-table switch on.
  CMultiStream();
  ~CMultiStream() override;

  // Closes any open file, then opens path. Throws CannotOpenFileException when the
  // file cannot be opened and FileCorruptException when its header, directory or
  // page table is damaged; a failed open leaves the container closed.
  void OpenFile(const char* path) override;
  // Reads header, directory and page table from the open carrier.
  void OpenExistingFile();
  // Releases the carrier and every stream; harmless when no file is open.
  void CloseFile() override;
  // Resets the generation and the directory stream.
  void Clear();

  // The first directory stream whose code equals `code` exactly, or null; the
  // directory stream itself is not among them. Looked up in a map built at open:
  // the engine asks for several streams per channel.
  CBaseStream* StreamByCode(const char* code) override;
  int32_t GetFileVersionInt() override;

  // Reads "___PAGES" into the page lists of the streams that have the page-table
  // flag. Records naming no directory stream are dropped.
  void ReadPageEntries();

  // Writes every stream, then the directory stream, to folder + code + ".bin" (the
  // caller supplies the trailing separator). Characters of a code that could leave
  // the folder are replaced by '_'. Returns true when every file was written.
  bool SaveStreamsToFolder(const char* folder);

  // Copies a name of at most 8 characters into a 9-byte code buffer, zero-filled.
  static void StringToStreamCode(const char* name, char* out);

  // Switches reading of the page table at open (on by default).
  void SetUsePageTable(bool use) noexcept { usePageTable_ = use; }

  int32_t Generation() const noexcept { return generation_; }
  int32_t PageHeaderSize() const noexcept { return pageHeaderSize_; }
  CFileStream* Carrier() noexcept { return carrier_.get(); }
  CVirtualStream* DirectoryStream() noexcept { return directory_.get(); }
  size_t StreamCount() const noexcept { return streams_.size(); }
  CVirtualStream* StreamAt(size_t index) noexcept { return streams_[index].get(); }
  const std::string& Path() const noexcept { return path_; }

 private:
  std::unique_ptr<CFileStream> carrier_;
  std::unique_ptr<CVirtualStream> directory_;
  std::vector<std::unique_ptr<CVirtualStream>> streams_;
  // Code -> first stream with that code (transparent, so a lookup copies nothing).
  std::map<std::string, CVirtualStream*, std::less<>> byCode_;
  std::string path_;
  int32_t generation_ = 0;
  int32_t pageHeaderSize_ = 0;
  bool usePageTable_ = true;
};

}  // namespace Korvane::DataReader::MultiStream

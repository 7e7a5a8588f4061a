// Unpacking a zip-packaged data file with minizip into a private directory.
#include "multistream/CZipStream.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "common/DataReaderLibException.h"

namespace Korvane::DataReader::MultiStream {
namespace {

// Members are copied out in chunks of this size.
constexpr int kUnpackChunkBytes = 8192;
// The archive comment may carry further text behind this separator.
constexpr const char kCommentSeparator[] = "-=-";
constexpr int32_t kZipVersion = 8000;
// Tries of generated names before giving up on creating a destination.
constexpr int kGeneratedNameTries = 1000;

class ArchiveHandle {
 public:
  explicit ArchiveHandle(const char* path) : zip_(unzOpen64(path)) {}
  ~ArchiveHandle() {
    if (zip_ != nullptr) unzClose(zip_);
  }
  ArchiveHandle(const ArchiveHandle&) = delete;
  ArchiveHandle& operator=(const ArchiveHandle&) = delete;
  unzFile get() const noexcept { return zip_; }

 private:
  unzFile zip_;
};

// Closes the destination descriptor and, unless the file was kept, deletes it.
class DestinationFile {
 public:
  DestinationFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~DestinationFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!kept_) std::remove(path_.c_str());
  }
  DestinationFile(const DestinationFile&) = delete;
  DestinationFile& operator=(const DestinationFile&) = delete;

  bool WriteAll(const char* data, size_t size) {
    while (size > 0) {
      const ssize_t done = ::write(fd_, data, size);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      data += done;
      size -= static_cast<size_t>(done);
    }
    return true;
  }
  bool Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }
  void Keep() noexcept { kept_ = true; }

 private:
  int fd_;
  std::string path_;
  bool kept_ = false;
};

// A name that can only mean a file directly inside the directory.
bool IsPlainFileName(const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
  return std::strchr(name, '/') == nullptr && std::strchr(name, '\\') == nullptr;
}

// An archive without members is nothing but its end record (22 bytes and the
// comment). minizip cannot open one (it never finds an end record at offset 0), so
// it is recognised here; `comment` receives the comment.
bool ReadEmptyArchive(const char* path, std::string& comment) {
  constexpr size_t kEndRecordBytes = 22;
  constexpr uint8_t kEndSignature[] = {'P', 'K', 5, 6};
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::vector<uint8_t> bytes(kEndRecordBytes + 0xFFFF + 1);
  const size_t size = std::fread(bytes.data(), 1, bytes.size(), file);
  const uint8_t* record = bytes.data();
  std::fclose(file);
  if (size < kEndRecordBytes || std::memcmp(record, kEndSignature, 4) != 0) return false;
  // Disk numbers, both entry counts, directory size and offset are all zero.
  for (size_t i = 4; i < 20; ++i) {
    if (record[i] != 0) return false;
  }
  const size_t commentBytes = static_cast<size_t>(record[20] | (record[21] << 8));
  if (size != kEndRecordBytes + commentBytes) return false;
  comment.assign(reinterpret_cast<const char*>(record + kEndRecordBytes), commentBytes);
  return true;
}

bool IsSkippedMember(const char* name) {
  const size_t length = std::strlen(name);
  return std::strstr(name, "BinaryFiles") != nullptr || (length > 0 && name[length - 1] == '/');
}

}  // namespace

CZipElement::CZipElement(const char* name, std::unique_ptr<CVirtualZipStream> stream)
    : name_(name), stream_(std::move(stream)) {}

CZipElement::~CZipElement() = default;

CZipStream::CZipStream() = default;

CZipStream::~CZipStream() { CloseFile(); }

void CZipStream::CloseFile() {
  elements_.clear();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
  }
  ClearDescription();
}

void CZipStream::OpenFile(const char* path) {
  CloseFile();
  path_ = path != nullptr ? path : "";
  try {
    Unpack(path);
  } catch (...) {
    CloseFile();
    throw;
  }
}

void CZipStream::Unpack(const char* path) {
  if (path == nullptr) throw CannotOpenFileException();
  ArchiveHandle archive(path);
  if (archive.get() == nullptr) {
    std::string comment;
    if (!ReadEmptyArchive(path, comment)) throw CannotOpenFileException();
    SetDescriptionFromComment(comment.c_str());
    return;
  }

  unz_global_info64 info{};
  if (unzGetGlobalInfo64(archive.get(), &info) != UNZ_OK) throw FileCorruptException();

  char comment[kDescriptionChars + 1] = {};
  if (unzGetGlobalComment(archive.get(), comment, kDescriptionChars) < 0) throw FileCorruptException();
  SetDescriptionFromComment(comment);

  if (info.number_entry == 0) return;
  for (ZPOS64_T entry = 0;; ++entry) {
    char name[kZipMemberNameChars + 1] = {};
    unz_file_info64 member{};
    if (unzGetCurrentFileInfo64(archive.get(), &member, name, kZipMemberNameChars, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
      throw FileCorruptException();
    }
    if (!IsSkippedMember(name)) UnpackCurrentMember(archive.get(), name);
    if (entry + 1 >= info.number_entry) break;
    if (unzGoToNextFile(archive.get()) != UNZ_OK) throw FileCorruptException();
  }
}

void CZipStream::SetDescriptionFromComment(const char* comment) {
  char text[kDescriptionChars + 1] = {};
  std::strncpy(text, comment, kDescriptionChars);
  if (char* separator = std::strstr(text, kCommentSeparator)) *separator = '\0';
  ClearDescription();
  std::memcpy(DescriptionField(), text, sizeof text);
}

void CZipStream::CreateFolder() {
  if (!folder_.empty()) return;
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) throw CreateDestFileException();
  std::string pattern = (base / "kvzip-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw CreateDestFileException();
  folder_ = pattern;
}

int CZipStream::CreateDestination(const char* name, std::string& filePath) {
  CreateFolder();
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
  constexpr mode_t kMode = 0600;
  if (IsPlainFileName(name)) {
    filePath = (folder_ / name).string();
    const int fd = ::open(filePath.c_str(), kFlags, kMode);
    if (fd >= 0) return fd;
  }
  // Members in folders, unsafe names and repeated names get a name of their own.
  for (int attempt = 0; attempt < kGeneratedNameTries; ++attempt) {
    filePath = (folder_ / ("member-" + std::to_string(elements_.size()) + "-" + std::to_string(attempt))).string();
    const int fd = ::open(filePath.c_str(), kFlags, kMode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  throw CreateDestFileException();
}

void CZipStream::UnpackCurrentMember(void* archiveHandle, const char* name) {
  auto archive = static_cast<unzFile>(archiveHandle);
  if (unzOpenCurrentFile(archive) != UNZ_OK) throw FileCorruptException();
  // The member is closed on every way out; its result tells whether the checksum held.
  struct MemberCloser {
    unzFile archive;
    bool open = true;
    int Close() {
      open = false;
      return unzCloseCurrentFile(archive);
    }
    ~MemberCloser() {
      if (open) unzCloseCurrentFile(archive);
    }
  } member{archive};

  std::string filePath;
  DestinationFile destination(CreateDestination(name, filePath), filePath);
  char chunk[kUnpackChunkBytes];
  for (;;) {
    const int got = unzReadCurrentFile(archive, chunk, kUnpackChunkBytes);
    if (got < 0) throw ExtractingFileException();
    if (got == 0) break;
    if (!destination.WriteAll(chunk, static_cast<size_t>(got))) throw ExtractingFileException();
  }
  if (!destination.Close()) throw ExtractingFileException();
  if (member.Close() != UNZ_OK) throw ExtractingFileException();

  // From here the stream owns the file and deletes it whatever happens.
  destination.Keep();
  auto stream = std::make_unique<CVirtualZipStream>();
  if (!stream->Open(filePath)) throw CannotOpenExtractedFileException();
  stream->SetCode(name);
  elements_.push_back(std::make_unique<CZipElement>(name, std::move(stream)));
}

CBaseStream* CZipStream::StreamByCode(const char* code) {
  if (code == nullptr) return nullptr;
  for (auto& element : elements_) {
    if (std::strcmp(element->Name(), code) == 0) return element->Stream();
  }
  return nullptr;
}

int32_t CZipStream::GetFileVersionInt() { return kZipVersion; }

}  // namespace Korvane::DataReader::MultiStream

// Unpacking a zip-packaged data file with minizip into a private directory, after
// making sure the members' declared sizes fit into the free space there.
#include "multistream/CZipStream.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "common/DataReaderLibException.h"
#include "multistream/ZipMemberInflater.h"

namespace Korvane::DataReader::MultiStream {
namespace {

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

// The system's temporary directory, under which the private directory is made.
std::filesystem::path TemporaryBase() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) throw CreateDestFileException();
  return base;
}

// Bytes an unprivileged process may still write on the file system of `folder`.
uint64_t FreeBytes(const std::filesystem::path& folder) {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) throw CreateDestFileException();
  uint64_t bytes = 0;
  if (__builtin_mul_overflow(static_cast<uint64_t>(info.f_bavail), static_cast<uint64_t>(info.f_frsize), &bytes)) {
    return UINT64_MAX;
  }
  return bytes;
}

// Reads the current member's name and information; false when the archive fails.
bool ReadMemberInfo(unzFile archive, unz_file_info64& member, char (&name)[kZipMemberNameChars + 1]) {
  std::memset(name, 0, sizeof name);
  return unzGetCurrentFileInfo64(archive, &member, name, kZipMemberNameChars, nullptr, 0, nullptr, 0) == UNZ_OK;
}

}  // namespace

CZipElement::CZipElement(const char* name, std::unique_ptr<CVirtualZipStream> stream)
    : name_(name), stream_(std::move(stream)) {}

CZipElement::~CZipElement() = default;

CZipStream::CZipStream() = default;

CZipStream::~CZipStream() { CloseFile(); }

void CZipStream::CloseFile() {
  byName_.clear();
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
  CheckFreeSpace(archive.get(), info.number_entry);
  for (ZPOS64_T entry = 0;; ++entry) {
    char name[kZipMemberNameChars + 1];
    unz_file_info64 member{};
    if (!ReadMemberInfo(archive.get(), member, name)) throw FileCorruptException();
    if (!IsSkippedMember(name)) UnpackCurrentMember(archive.get(), name, &member);
    if (entry + 1 >= info.number_entry) break;
    if (unzGoToNextFile(archive.get()) != UNZ_OK) throw FileCorruptException();
  }
}

void CZipStream::CheckFreeSpace(void* archiveHandle, uint64_t entries) {
  auto archive = static_cast<unzFile>(archiveHandle);
  uint64_t declared = 0;
  for (uint64_t entry = 0;; ++entry) {
    char name[kZipMemberNameChars + 1];
    unz_file_info64 member{};
    if (!ReadMemberInfo(archive, member, name)) throw FileCorruptException();
    // Sizes that do not even add up cannot fit anywhere.
    if (!IsSkippedMember(name) && __builtin_add_overflow(declared, member.uncompressed_size, &declared)) {
      throw ExtractingFileException();
    }
    if (entry + 1 >= entries) break;
    if (unzGoToNextFile(archive) != UNZ_OK) throw FileCorruptException();
  }
  if (declared > FreeBytes(TemporaryBase())) throw ExtractingFileException();
  if (unzGoToFirstFile(archive) != UNZ_OK) throw FileCorruptException();
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
  std::string pattern = (TemporaryBase() / "kvzip-XXXXXX").string();
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

void CZipStream::UnpackCurrentMember(void* archive, const char* name, const void* memberInfo) {
  const auto& member = *static_cast<const unz_file_info64*>(memberInfo);
  ZipMemberDeclaration declared;
  declared.uncompressedSize = member.uncompressed_size;
  declared.crc = static_cast<uint32_t>(member.crc);
  declared.encrypted = (member.flag & 1u) != 0;

  std::string filePath;
  DestinationFile destination(CreateDestination(name, filePath), filePath);
  InflateCurrentMember(archive, declared, [&destination](const uint8_t* data, size_t size) {
    return destination.WriteAll(reinterpret_cast<const char*>(data), size);
  });
  if (!destination.Close()) throw ExtractingFileException();

  // From here the stream owns the file and deletes it whatever happens.
  destination.Keep();
  auto stream = std::make_unique<CVirtualZipStream>();
  CVirtualZipStream* kept = stream.get();
  if (!stream->Open(filePath, &openFiles_)) throw CannotOpenExtractedFileException();
  stream->SetCode(name);
  elements_.push_back(std::make_unique<CZipElement>(name, std::move(stream)));
  byName_.emplace(name, kept);
}

CBaseStream* CZipStream::StreamByCode(const char* code) {
  if (code == nullptr) return nullptr;
  const auto found = byName_.find(code);
  return found == byName_.end() ? nullptr : found->second;
}
int32_t CZipStream::GetFileVersionInt() { return kZipVersion; }

}  // namespace Korvane::DataReader::MultiStream

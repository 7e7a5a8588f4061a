// Unpacked zip members as streams: the position is the stream's own, so seeks
// cost nothing and a file closed to spare descriptors reopens at the right place.
#include "multistream/CVirtualZipStream.h"

#include <sys/types.h>

#include "common/DataReaderLibException.h"
#include "multistream/ZipOpenFiles.h"

namespace Korvane::DataReader::MultiStream {

CVirtualZipStream::CVirtualZipStream() = default;

CVirtualZipStream::~CVirtualZipStream() {
  if (openFiles_ != nullptr) openFiles_->Forget(this);
  ReleaseFile();
  if (!path_.empty()) std::remove(path_.c_str());
}

void CVirtualZipStream::ReleaseFile() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

bool CVirtualZipStream::Open(const std::string& path, ZipOpenFiles* openFiles) {
  path_ = path;
  openFiles_ = openFiles;
  if (openFiles_ != nullptr) openFiles_->Use(this);
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr || fseeko(file_, 0, SEEK_END) != 0) return false;
  size_ = static_cast<int64_t>(ftello(file_));
  filePosition_ = size_;
  position_ = 0;
  opened_ = size_ >= 0;
  return opened_;
}

bool CVirtualZipStream::PrepareFile() {
  if (openFiles_ != nullptr) openFiles_->Use(this);
  if (file_ == nullptr) {
    file_ = std::fopen(path_.c_str(), "rb");
    if (file_ == nullptr) return false;
    filePosition_ = 0;
  }
  if (filePosition_ != position_) {
    if (fseeko(file_, static_cast<off_t>(position_), SEEK_SET) != 0) return false;
    filePosition_ = position_;
  }
  return true;
}

int64_t CVirtualZipStream::Seek(int64_t offset, EnumSeekOrigin origin) {
  int64_t base;
  switch (origin) {
    case kSeekBegin:
      base = 0;
      break;
    case kSeekCurrent:
      base = position_;
      break;
    case kSeekEnd:
      base = size_;
      break;
    default:
      throw FileCorruptException("Invalid seek origin");
  }
  int64_t target = 0;
  if (!opened_ || __builtin_add_overflow(base, offset, &target) || target < 0) {
    throw FileCorruptException("Seek failed");
  }
  position_ = target;
  return position_;
}

int32_t CVirtualZipStream::Write(const void* /*data*/, int32_t /*length*/) { return 0; }

int32_t CVirtualZipStream::Read(void* buffer, int32_t length) {
  if (!opened_ || length <= 0 || position_ >= size_) return 0;
  if (!PrepareFile()) {
    ReleaseFile();
    throw CannotOpenExtractedFileException();
  }
  const size_t got = std::fread(buffer, 1, static_cast<size_t>(length), file_);
  position_ += static_cast<int64_t>(got);
  filePosition_ = position_;
  if (got < static_cast<size_t>(length) && std::ferror(file_)) {
    // A failed read leaves the cursor unknown; the next read starts afresh.
    ReleaseFile();
  }
  return static_cast<int32_t>(got);
}

}  // namespace Korvane::DataReader::MultiStream

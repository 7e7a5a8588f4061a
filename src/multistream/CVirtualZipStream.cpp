// Unpacked zip members as streams: 64-bit seeks and buffered reads on a private
// temporary file.
#include "multistream/CVirtualZipStream.h"

#include <sys/types.h>

#include "common/DataReaderLibException.h"

namespace Korvane::DataReader::MultiStream {

CVirtualZipStream::CVirtualZipStream() = default;

CVirtualZipStream::~CVirtualZipStream() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!path_.empty()) std::remove(path_.c_str());
}

bool CVirtualZipStream::Open(const std::string& path) {
  path_ = path;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return false;
  if (fseeko(file_, 0, SEEK_END) != 0) return false;
  size_ = static_cast<int64_t>(ftello(file_));
  return size_ >= 0 && fseeko(file_, 0, SEEK_SET) == 0;
}

int64_t CVirtualZipStream::Seek(int64_t offset, EnumSeekOrigin origin) {
  int whence;
  switch (origin) {
    case kSeekBegin:
      whence = SEEK_SET;
      break;
    case kSeekCurrent:
      whence = SEEK_CUR;
      break;
    case kSeekEnd:
      whence = SEEK_END;
      break;
    default:
      throw FileCorruptException("Invalid seek origin");
  }
  if (file_ == nullptr || fseeko(file_, static_cast<off_t>(offset), whence) != 0) {
    throw FileCorruptException("Seek failed");
  }
  return static_cast<int64_t>(ftello(file_));
}

int32_t CVirtualZipStream::Write(const void* /*data*/, int32_t /*length*/) { return 0; }

int32_t CVirtualZipStream::Read(void* buffer, int32_t length) {
  if (file_ == nullptr || length <= 0) return 0;
  return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(length), file_));
}

}  // namespace Korvane::DataReader::MultiStream

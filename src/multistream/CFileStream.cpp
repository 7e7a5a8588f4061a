// The carrier file: positioned reads (pread) with a read-ahead buffer for small
// requests. POSIX calls only, so the same code serves Linux and macOS.
#include "multistream/CFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

#include "common/DataReaderLibException.h"

namespace Korvane::DataReader::MultiStream {
namespace {

// Requests of at least kDirectReadBytes bypass the buffer; smaller ones refill it.
// A refill that continues the previous one doubles in size up to kReadBufferBytes
// (sequential reading), any other starts again at kFirstFillBytes (random access),
// and none reaches past the caller's read-ahead.
constexpr int64_t kReadBufferBytes = 64 * 1024;
constexpr int64_t kFirstFillBytes = 4 * 1024;
constexpr int64_t kDirectReadBytes = 8 * 1024;

// Pieces per system call of a gathered read: the system's limit, at most 1,024.
#if defined(IOV_MAX)
constexpr size_t kMaxGatherPieces = IOV_MAX < 1024 ? IOV_MAX : 1024;
#else
constexpr size_t kMaxGatherPieces = 16;
#endif

}  // namespace

CFileStream::CFileStream(const char* path) {
  if (path == nullptr) throw CannotOpenFileException();
  fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw CannotOpenFileException();
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw CannotOpenFileException();
  }
  size_ = static_cast<int64_t>(info.st_size);
  buffer_ = std::make_unique<uint8_t[]>(kReadBufferBytes);
}

CFileStream::~CFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t CFileStream::Seek(int64_t offset, EnumSeekOrigin origin) {
  if (fd_ < 0) return 0;
  int64_t target;
  switch (origin) {
    case kSeekBegin:
      target = offset < 0 ? 0 : offset;
      break;
    case kSeekCurrent:
      target = offset < -position_ ? 0 : (offset > INT64_MAX - position_ ? INT64_MAX : position_ + offset);
      break;
    case kSeekEnd:
      target = offset > 0 ? size_ : (offset < -size_ ? 0 : size_ + offset);
      break;
    default:
      return position_;
  }
  position_ = target;
  return position_;
}

int32_t CFileStream::Write(const void* /*data*/, int32_t /*length*/) { return -1; }

int32_t CFileStream::Read(void* buffer, int32_t length) {
  if (fd_ < 0 || length < 0) return -1;
  const int64_t got = ReadAt(position_, buffer, length, kReadBufferBytes);
  position_ += got;
  return got == length ? 1 : -1;
}

int64_t CFileStream::ReadDirect(int64_t position, uint8_t* buffer, int64_t length) {
  int64_t done = 0;
  while (done < length) {
    const ssize_t got = ::pread(fd_, buffer + done, static_cast<size_t>(length - done),
                                static_cast<off_t>(position + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

int64_t CFileStream::ReadAt(int64_t position, void* buffer, int64_t length, int64_t readAhead) {
  if (fd_ < 0 || length <= 0 || position < 0 || position >= size_) return 0;
  if (length > size_ - position) length = size_ - position;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;

  // Whatever the buffer already holds of the request.
  if (position >= bufferStart_ && position < bufferStart_ + bufferBytes_) {
    const int64_t available = bufferStart_ + bufferBytes_ - position;
    done = length < available ? length : available;
    std::memcpy(out, buffer_.get() + (position - bufferStart_), static_cast<size_t>(done));
  }
  if (done == length) return done;

  const int64_t rest = length - done;
  const int64_t at = position + done;
  if (rest >= kDirectReadBytes || readAhead <= 0) return done + ReadDirect(at, out + done, rest);

  const bool sequential = at == bufferStart_ + bufferBytes_;
  fillBytes_ = sequential ? std::clamp(fillBytes_ * 2, kFirstFillBytes, kReadBufferBytes) : kFirstFillBytes;
  int64_t fill = rest + readAhead;
  if (fill > fillBytes_) fill = fillBytes_ > rest ? fillBytes_ : rest;
  bufferStart_ = at;
  bufferBytes_ = ReadDirect(at, buffer_.get(), fill);
  const int64_t copied = rest < bufferBytes_ ? rest : bufferBytes_;
  std::memcpy(out + done, buffer_.get(), static_cast<size_t>(copied));
  return done + copied;
}

int64_t CFileStream::ReadGathered(int64_t position, std::span<const ReadPiece> pieces) {
  if (fd_ < 0 || position < 0) return 0;
  std::array<iovec, kMaxGatherPieces> vectors;
  int64_t done = 0;
  // The piece the next byte goes to, and how much of it is filled.
  size_t first = 0;
  int64_t filled = 0;
  while (first < pieces.size()) {
    size_t count = 0;
    for (size_t i = first; i < pieces.size() && count < vectors.size(); ++i, ++count) {
      const int64_t skip = i == first ? filled : 0;
      vectors[count].iov_base = static_cast<uint8_t*>(pieces[i].buffer) + skip;
      vectors[count].iov_len = static_cast<size_t>(pieces[i].length - skip);
    }
    const ssize_t got = ::preadv(fd_, vectors.data(), static_cast<int>(count), static_cast<off_t>(position + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
    for (int64_t left = got; left > 0 && first < pieces.size();) {
      const int64_t rest = pieces[first].length - filled;
      if (left < rest) {
        filled += left;
        break;
      }
      left -= rest;
      ++first;
      filled = 0;
    }
  }
  return done;
}

}  // namespace Korvane::DataReader::MultiStream

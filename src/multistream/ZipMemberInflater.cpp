// Raw member reads through minizip, inflated with zlib under the declared size
// and checked against the declared checksum.
#include "multistream/ZipMemberInflater.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include "common/DataReaderLibException.h"

namespace Korvane::DataReader::MultiStream {
namespace {

// Compressed input and inflated output move in chunks of this size.
constexpr unsigned kInflateChunkBytes = 8192;
constexpr int kMethodStored = 0;

// Closes the member on every way out; Close() reports whether minizip agreed.
class MemberCloser {
 public:
  explicit MemberCloser(unzFile archive) : archive_(archive) {}
  ~MemberCloser() {
    if (open_) unzCloseCurrentFile(archive_);
  }
  MemberCloser(const MemberCloser&) = delete;
  MemberCloser& operator=(const MemberCloser&) = delete;
  int Close() {
    open_ = false;
    return unzCloseCurrentFile(archive_);
  }

 private:
  unzFile archive_;
  bool open_ = true;
};

// Counts, checksums and passes on the inflated bytes, refusing any beyond the
// declared size before they reach the sink.
class InflatedOutput {
 public:
  InflatedOutput(const ZipMemberDeclaration& declared, const ZipMemberSink& sink)
      : declared_(declared), sink_(sink), crc_(crc32(0, nullptr, 0)) {}

  void Emit(const uint8_t* data, unsigned size) {
    if (size == 0) return;
    if (size > declared_.uncompressedSize - total_) {
      throw FileCorruptException("Member inflates past its declared size");
    }
    crc_ = crc32(crc_, data, size);
    total_ += size;
    if (!sink_(data, size)) throw ExtractingFileException();
  }
  // The member ended: it must have delivered exactly what was declared.
  void Finish() const {
    if (total_ != declared_.uncompressedSize || crc_ != declared_.crc) throw ExtractingFileException();
  }

 private:
  const ZipMemberDeclaration& declared_;
  const ZipMemberSink& sink_;
  uLong crc_;
  uint64_t total_ = 0;
};

class RawInflater {
 public:
  RawInflater() {
    // Negative window bits: zip members carry bare deflate data, no zlib header.
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw ExtractingFileException();
  }
  ~RawInflater() { inflateEnd(&stream_); }
  RawInflater(const RawInflater&) = delete;
  RawInflater& operator=(const RawInflater&) = delete;

  // Inflates one chunk of compressed input; data behind the end of the deflate
  // stream is ignored.
  void Feed(uint8_t* input, unsigned size, InflatedOutput& output) {
    if (ended_) return;
    stream_.next_in = input;
    stream_.avail_in = size;
    uint8_t inflated[kInflateChunkBytes];
    do {
      stream_.next_out = inflated;
      stream_.avail_out = kInflateChunkBytes;
      const int result = inflate(&stream_, Z_NO_FLUSH);
      // Z_BUF_ERROR only says that this call could make no progress.
      if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) throw ExtractingFileException();
      output.Emit(inflated, kInflateChunkBytes - stream_.avail_out);
      if (result == Z_STREAM_END) {
        ended_ = true;
        return;
      }
    } while (stream_.avail_out == 0);
  }
  bool Ended() const noexcept { return ended_; }

 private:
  z_stream stream_{};
  bool ended_ = false;
};

}  // namespace

void InflateCurrentMember(void* archiveHandle, const ZipMemberDeclaration& declared, const ZipMemberSink& sink) {
  auto archive = static_cast<unzFile>(archiveHandle);
  int method = 0;
  int level = 0;
  if (unzOpenCurrentFile2(archive, &method, &level, /*raw=*/1) != UNZ_OK) throw FileCorruptException();
  MemberCloser member(archive);
  if (method != kMethodStored && method != Z_DEFLATED) throw FileCorruptException("Unsupported compression method");
  // No password is ever given, so encrypted data cannot be extracted.
  if (declared.encrypted) throw ExtractingFileException();

  InflatedOutput output(declared, sink);
  RawInflater inflater;
  bool sawInput = false;
  uint8_t chunk[kInflateChunkBytes];
  for (;;) {
    const int got = unzReadCurrentFile(archive, chunk, kInflateChunkBytes);
    if (got < 0) throw ExtractingFileException();
    if (got == 0) break;
    sawInput = true;
    if (method == kMethodStored) {
      output.Emit(chunk, static_cast<unsigned>(got));
    } else {
      inflater.Feed(chunk, static_cast<unsigned>(got), output);
    }
  }
  // A deflate stream that stops short of its end was cut off.
  if (method != kMethodStored && sawInput && !inflater.Ended()) throw ExtractingFileException();
  output.Finish();
  if (member.Close() != UNZ_OK) throw ExtractingFileException();
}

}  // namespace Korvane::DataReader::MultiStream

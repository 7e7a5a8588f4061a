// Zip archives through minizip's zip API.
#include "testkit/ZipWriter.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <stdexcept>

namespace Korvane::DataReader::TestKit {
namespace {

// Bare deflate data, as a zip member holds it.
std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
  stream.next_in = const_cast<uint8_t*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(out.size() - stream.avail_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

// A member whose directory entry declares a size of the writer's choosing: its
// bytes are written as stored and the sizes given at close.
bool WriteDeclaredMember(zipFile zip, const ZipMember& member) {
  zip_fileinfo info{};
  const uint64_t declared = *member.declaredSize;
  const int zip64 = declared >= 0xFFFFFFFFu ? 1 : 0;
  const std::vector<uint8_t> stored = member.deflate ? RawDeflate(member.data) : member.data;
  const uLong crc = crc32(crc32(0, nullptr, 0), member.data.data(), static_cast<uInt>(member.data.size()));
  return zipOpenNewFileInZip2_64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                 member.deflate ? Z_DEFLATED : 0, Z_DEFAULT_COMPRESSION, /*raw=*/1, zip64) == ZIP_OK &&
         (stored.empty() || zipWriteInFileInZip(zip, stored.data(), static_cast<unsigned>(stored.size())) == ZIP_OK) &&
         zipCloseFileInZipRaw64(zip, declared, crc) == ZIP_OK;
}

}  // namespace

void WriteZipFile(const std::string& path, const std::vector<ZipMember>& members, const std::string& comment) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) throw std::runtime_error("cannot create " + path);
  for (const ZipMember& member : members) {
    if (member.declaredSize) {
      if (!WriteDeclaredMember(zip, member)) {
        zipClose(zip, nullptr);
        throw std::runtime_error("cannot write member " + member.name);
      }
      continue;
    }
    zip_fileinfo info{};
    const int method = member.folder || !member.deflate ? 0 : Z_DEFLATED;
    if (zipOpenNewFileInZip64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                              Z_DEFAULT_COMPRESSION, 0) != ZIP_OK ||
        (!member.data.empty() &&
         zipWriteInFileInZip(zip, member.data.data(), static_cast<unsigned>(member.data.size())) != ZIP_OK) ||
        zipCloseFileInZip(zip) != ZIP_OK) {
      zipClose(zip, nullptr);
      throw std::runtime_error("cannot write member " + member.name);
    }
  }
  if (zipClose(zip, comment.empty() ? nullptr : comment.c_str()) != ZIP_OK) {
    throw std::runtime_error("cannot close " + path);
  }
}

}  // namespace Korvane::DataReader::TestKit

// Zip archives through minizip's zip API.
#include "testkit/ZipWriter.h"

#include <minizip/zip.h>

#include <stdexcept>

namespace Korvane::DataReader::TestKit {

void WriteZipFile(const std::string& path, const std::vector<ZipMember>& members, const std::string& comment) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) throw std::runtime_error("cannot create " + path);
  for (const ZipMember& member : members) {
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

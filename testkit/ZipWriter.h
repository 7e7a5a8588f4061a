// Writer of zip-packaged data files for tests and fuzz seeds, on minizip's zip API.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Korvane::DataReader::TestKit {

struct ZipMember {
  std::string name;  // as stored, folders included ("BinaryFiles/a.png")
  std::vector<uint8_t> data;
  bool folder = false;  // a folder entry: the name should end in '/'
  bool deflate = true;  // otherwise stored uncompressed
  // When set, the directory declares this uncompressed size (with the checksum of
  // `data`) instead of the data's length: sizes beyond 4 GiB are written as zip64.
  std::optional<uint64_t> declaredSize = std::nullopt;
};

// Writes an archive with the members in order and the archive comment; throws
// std::runtime_error when minizip fails.
void WriteZipFile(const std::string& path, const std::vector<ZipMember>& members, const std::string& comment = {});

}  // namespace Korvane::DataReader::TestKit

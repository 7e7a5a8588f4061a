#include "testkit/TempDir.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

namespace Korvane::DataReader::TestKit {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kvtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return (path_ / name).string(); }

}  // namespace Korvane::DataReader::TestKit

// A private temporary directory that removes itself and everything in it when
// it goes out of scope. Created under TMPDIR (or the system's default).
#pragma once

#include <filesystem>
#include <string>

namespace Korvane::DataReader::TestKit {

class TempDir {
 public:
  TempDir();
  ~TempDir();

  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }

  // The full path of a file named `name` inside the directory.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace Korvane::DataReader::TestKit

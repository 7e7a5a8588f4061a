// Temporary files made with mkstemp in the target's directory (a rename within
// one file system is atomic), given the permissions a plain create would give.
#include "PendingFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ToolError.h"

namespace kvtool {
namespace {

[[noreturn]] void ThrowCreateFailure(const std::string& target, int error) {
  throw ToolError(kExitOutputFailure, "cannot create " + target + ": " + std::strerror(error));
}

mode_t CreateMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void ThrowWriteFailure(const std::string& path) {
  throw ToolError(kExitOutputFailure, "writing " + path + ": " + std::strerror(errno));
}

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
  struct stat status {};
  if (stat(target_.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) ThrowCreateFailure(target_, EISDIR);
  const std::filesystem::path path(target_);
  const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  std::string pattern = (directory / ("." + path.filename().string() + ".kvtool-XXXXXX")).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) ThrowCreateFailure(target_, errno);
  temporary_ = pattern;
  fchmod(descriptor, CreateMode());
  stream_ = fdopen(descriptor, "wb");
  if (stream_ == nullptr) {
    const int error = errno;
    close(descriptor);
    unlink(temporary_.c_str());
    ThrowCreateFailure(target_, error);
  }
}

PendingFile::~PendingFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!committed_) unlink(temporary_.c_str());
}

void PendingFile::CloseStream() {
  if (stream_ == nullptr) return;
  const bool failed = std::fflush(stream_) != 0 || std::ferror(stream_) != 0;
  const int error = errno;
  std::fclose(stream_);
  stream_ = nullptr;
  errno = error;
  if (failed) ThrowWriteFailure(target_);
}

void PendingFile::Commit() {
  CloseStream();
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) ThrowCreateFailure(target_, errno);
  committed_ = true;
}

void PendingFile::Retract() {
  if (committed_) unlink(target_.c_str());
}

void CommitAll(const std::vector<PendingFile*>& files) {
  for (size_t i = 0; i < files.size(); ++i) {
    try {
      files[i]->Commit();
    } catch (...) {
      for (size_t j = 0; j < i; ++j) files[j]->Retract();
      throw;
    }
  }
}

}  // namespace kvtool

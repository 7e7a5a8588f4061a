// An output file written under a temporary name beside its target and renamed to
// the target only once complete. A PendingFile that goes without Commit removes
// what it wrote, so an export that fails half way leaves no file that looks whole.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kvtool {

class PendingFile {
 public:
  // Creates the temporary file in target's directory; throws ToolError
  // (kExitOutputFailure) "cannot create TARGET: REASON" when it cannot.
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  const std::string& Target() const { return target_; }
  const std::string& TemporaryPath() const { return temporary_; }

  // The file open for writing (for sinks that write it themselves).
  std::FILE* Stream() { return stream_; }
  // Closes the stream, for libraries that open the file by its path; throws
  // ToolError (kExitOutputFailure) when buffered data cannot be written.
  void CloseStream();

  // Renames the file to its target; throws ToolError (kExitOutputFailure).
  void Commit();
  // Removes the target of a committed file (a later file of its export failed).
  void Retract();

 private:
  std::string target_;
  std::string temporary_;
  std::FILE* stream_ = nullptr;
  bool committed_ = false;
};

// Commits every file, or none: when one fails, those committed before it are
// retracted and the error is thrown.
void CommitAll(const std::vector<PendingFile*>& files);

// Throws ToolError (kExitOutputFailure) "writing PATH: REASON" from errno.
[[noreturn]] void ThrowWriteFailure(const std::string& path);

}  // namespace kvtool

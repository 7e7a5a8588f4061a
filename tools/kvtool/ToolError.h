// What a kvtool command throws when it cannot go on, and the exit statuses the
// tool documents in its --help. One place, main, turns a ToolError into a message
// on standard error and the process's exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace kvtool {

// Exit statuses of every command but check (which has its own, see CheckCommand.h).
enum ExitStatus : int {
  kExitOk = 0,
  kExitLibraryFailure = 1,  // the library refused: missing or damaged file (its status and message)
  kExitBadInput = 2,        // bad command line: unknown option, format, channel, window
  kExitOutputFailure = 3,   // an output that cannot be created or written
};

class ToolError : public std::runtime_error {
 public:
  ToolError(int exitStatus, const std::string& message, int libraryStatus = 0)
      : std::runtime_error(message), exitStatus_(exitStatus), libraryStatus_(libraryStatus) {}
  int ExitStatus() const { return exitStatus_; }
  // The library's status when the library refused (check reports it apart), else 0.
  int LibraryStatusCode() const { return libraryStatus_; }

 private:
  int exitStatus_;
  int libraryStatus_;
};

// Throws a kExitLibraryFailure ToolError "what: status N: message" from the
// library's last status when status is not 0.
void CheckStatus(int status, const std::string& what);

// The library's last status and message on this thread.
struct LibraryStatus {
  int status = 0;
  std::string message;
};
LibraryStatus LastLibraryStatus();

}  // namespace kvtool

// The library's last status as a ToolError.
#include "ToolError.h"

#include "KVDataReaderLib.h"

namespace kvtool {

LibraryStatus LastLibraryStatus() {
  LibraryStatus result;
  int32_t status = 0;
  char message[1024] = {};
  int32_t size = sizeof message;
  if (KVGetLastStatus(&status, message, &size) != 0) {
    result.message = "(message too long)";
  } else {
    result.message = message;
  }
  result.status = status;
  return result;
}

void CheckStatus(int status, const std::string& what) {
  if (status == 0) return;
  const LibraryStatus last = LastLibraryStatus();
  throw ToolError(kExitLibraryFailure, what + ": status " + std::to_string(status) + ": " + last.message, status);
}

}  // namespace kvtool

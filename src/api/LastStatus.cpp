// Thread-local storage of the last status; nothing here is shared between threads.
#include "api/LastStatus.h"

#include <cstring>
#include <limits>

namespace Korvane::DataReader::Api {
namespace {

struct ThreadStatus {
  KVStatus status = KVOk;
  std::string message;
};

ThreadStatus& Current() noexcept {
  thread_local ThreadStatus current;
  return current;
}

}  // namespace

void SetLastStatus(KVStatus status, const char* message) noexcept {
  ThreadStatus& current = Current();
  current.status = status;
  try {
    current.message.assign(message != nullptr ? message : "");
  } catch (...) {
    // Out of memory while keeping the text: the status still tells what happened.
    current.message.clear();
  }
}

KVStatus LastStatus() noexcept { return Current().status; }

const std::string& LastStatusMessage() noexcept { return Current().message; }

int32_t CopyLastStatus(int32_t* status, char* buffer, int32_t* size) noexcept {
  const ThreadStatus& current = Current();
  if (size == nullptr) return KVBufferTooSmall;
  const size_t length = current.message.size();
  const int32_t capacity = *size;
  if (capacity < 0 || static_cast<size_t>(capacity) <= length || buffer == nullptr ||
      status == nullptr) {
    const size_t needed = length + 1;
    *size = needed > static_cast<size_t>(std::numeric_limits<int32_t>::max())
                ? std::numeric_limits<int32_t>::max()
                : static_cast<int32_t>(needed);
    return KVBufferTooSmall;
  }
  *status = current.status;
  std::memcpy(buffer, current.message.data(), length);
  std::memset(buffer + length, 0, static_cast<size_t>(capacity) - length);
  return KVOk;
}

}  // namespace Korvane::DataReader::Api

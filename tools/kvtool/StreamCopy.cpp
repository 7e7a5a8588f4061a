// Stream copies: the size first (a null buffer), then the bytes.
#include "StreamCopy.h"

#include <algorithm>

#include "KVDataReaderLib.h"
#include "ToolError.h"

namespace kvtool {

StreamCopy CopyFirstStream(const std::vector<std::string>& codes) {
  StreamCopy copy;
  for (const std::string& code : codes) {
    int32_t size = 0;
    if (KVGetStream(code.c_str(), nullptr, &size) != KVOk) continue;  // not under this code
    copy.code = code;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max(size, 1)));
    const KVStatus status = KVGetStream(code.c_str(), buffer.data(), &size);
    if (status != KVOk) {
      copy.status = status;
      copy.message = LastLibraryStatus().message;
      return copy;
    }
    buffer.resize(static_cast<size_t>(std::max(size, 1)) - 1);  // the size counts the zero byte
    copy.bytes = std::move(buffer);
    return copy;
  }
  copy.status = KVError;
  copy.message = "no stream under any of its codes";
  return copy;
}

}  // namespace kvtool

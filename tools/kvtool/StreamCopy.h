// A whole stream of the open recording copied through KVGetStream, looked up under
// the codes a recording may use for it ("EVENTS__", "EVENTS_", "EVENTS"): check
// reads the setup and the stored events that the library offers only interpreted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvtool {

struct StreamCopy {
  std::string code;            // the code found, empty when none of them was
  std::vector<uint8_t> bytes;  // the stream, without the library's zero byte
  int status = 0;              // the library's status when the copy failed
  std::string message;
  bool Readable() const { return status == 0 && !code.empty(); }
};

// The first of codes the recording holds, copied whole; never throws on a
// library failure (it comes back with status and message).
StreamCopy CopyFirstStream(const std::vector<std::string>& codes);

}  // namespace kvtool

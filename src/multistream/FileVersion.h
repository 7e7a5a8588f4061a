// The writer's version number, derived from a plain file's 96-byte description
// field (for example "...VERX3 SP5" gives 7305). Used by CMultiStream.
#pragma once

#include <cstdint>

namespace Korvane::DataReader::MultiStream {

// `field` is the zero-terminated description text of kDescriptionChars + 1 bytes;
// bytes behind the terminator (as stored in the file) take part in the ".x" test.
int32_t FileVersionFromDescription(const char* field);

}  // namespace Korvane::DataReader::MultiStream

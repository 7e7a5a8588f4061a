// Checked reads of the fields of stored event records. Every read that the stream
// cannot satisfy, and every stored count or length larger than what remains in the
// stream, is a corrupt file: nothing is allocated on the strength of a count alone.
#pragma once

#include <cstdint>
#include <string>

namespace Korvane::DataReader::MultiStream {
class CStream;
}

namespace Korvane::DataReader::Events {

using MultiStream::CStream;

int32_t ReadInt32(CStream& stream);
uint8_t ReadUInt8(CStream& stream);

// Reads and drops `count` bytes.
void SkipBytes(CStream& stream, int64_t count);

// Bytes between the read position and the end of the stream.
int64_t RemainingBytes(CStream& stream);

// A length-prefixed event text: 8-bit characters in the old format, UTF-16 code
// units (narrowed to 8 bits) otherwise.
std::string ReadEventText(CStream& stream, bool oldFormat);

}  // namespace Korvane::DataReader::Events

// Copying one zip member out of its archive. The member is read as stored and
// inflated here rather than by minizip, so that the declared size is a hard
// limit: minizip would silently stop at the declared size, and a member whose
// data goes on past it is a damaged (or hostile) archive, not a shorter member.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace Korvane::DataReader::MultiStream {

// What the archive's directory says about a member.
struct ZipMemberDeclaration {
  uint64_t uncompressedSize = 0;
  uint32_t crc = 0;
  bool encrypted = false;
};

// Receives the next piece of the member; false when it could not be kept.
using ZipMemberSink = std::function<bool(const uint8_t* data, size_t size)>;

// Inflates the archive's current member (`archive` is minizip's unzFile) into
// `sink`, at most `declared.uncompressedSize` bytes. Throws FileCorruptException
// when the member cannot be opened, uses a method other than stored or deflate,
// or holds more data than declared (the excess is never handed to `sink`), and
// ExtractingFileException when the data is damaged, encrypted, shorter than
// declared, fails its checksum or `sink` fails.
void InflateCurrentMember(void* archive, const ZipMemberDeclaration& declared, const ZipMemberSink& sink);

}  // namespace Korvane::DataReader::MultiStream

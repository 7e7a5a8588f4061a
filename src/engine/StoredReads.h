// Checked arithmetic and checked reads on values that come from a file. Every
// position the engine derives from stored numbers (block numbers, offsets, region
// bases, record sizes) goes through these before a seek, so that a damaged file
// gives FileCorruptException instead of a wild read or a silent zero.
#pragma once

#include <cstdint>

namespace Korvane::DataReader {

class CKVChannel;
class DataReaderLibException;
namespace MultiStream {
class CStream;
}

// a / b rounded toward +infinity for b > 0 (a may be negative).
int64_t CeilDiv(int64_t a, int64_t b) noexcept;
// a x b and a + b; FileCorruptException(what) when the result leaves int64.
int64_t CheckedMul(int64_t a, int64_t b, const char* what);
int64_t CheckedAdd(int64_t a, int64_t b, const char* what);
// a + b and a - b, held at +-(largest int64) instead of overflowing.
int64_t SaturatingAdd(int64_t a, int64_t b) noexcept;
int64_t SaturatingSub(int64_t a, int64_t b) noexcept;

// Seeks to `position` and reads exactly `length` bytes; a range outside the stream
// or a short read is FileCorruptException(what).
void ReadAt(MultiStream::CStream* stream, int64_t position, void* buffer, int64_t length, const char* what);

// "Channel not stored" (status 1): the streams a channel's data lie in are missing.
DataReaderLibException ChannelNotStored();

// Whether the channel's samples lie in streams of its own (offline Status not 0).
bool HasOfflineData(const CKVChannel* channel) noexcept;

}  // namespace Korvane::DataReader

// BinaryChannelsRecording: a small recording of the channel kinds the sample
// recording lacks: four binary payloads of 25, 10, 0 and 30 bytes through the
// timestamp index (locators in the index, payloads in "BINDATA" behind seven lead
// bytes), a CAN message channel and a complex channel (sample k is k - ki) stored in
// blocks, beside a double channel, in one region of ten blocks.
#pragma once

#include <cstdint>
#include <vector>

#include "testkit/RecordingWriter.h"

namespace Korvane::DataReader::TestKit {

// Where a payload lies in "BINDATA": the stored 16-byte locator (int64 position,
// int64 size, little-endian).
struct BinaryLocator {
  int64_t position = 0;
  int64_t size = 0;
};

struct BinaryChannelsContents {
  Recording recording;
  std::vector<BinaryLocator> locators;  // one per binary sample, in time order
  std::vector<uint8_t> payloads;        // the "BINDATA" stream
};

BinaryChannelsContents BinaryChannelsRecording();

}  // namespace Korvane::DataReader::TestKit

// ScaleType: the output form a sample query asks for, shared by the channel model
// (which decodes one stored sample) and the data load engine (which walks the
// stored samples).
#pragma once

namespace Korvane::DataReader {

enum class ScaleType : int {
  Scaled = 0,        // one scaled double per value (a KVComplex for complex channels)
  Raw = 1,           // the stored bytes; complex channels give an unscaled KVComplex
  RawEx = 2,         // the stored bytes, also for complex channels
  Text = 3,          // nothing in the value buffer: the character output is used
  BinaryData = 4,    // the payload of one binary sample
  BinaryPacked = 5,  // payloads appended, each behind a 32-bit length
  BinaryRecords = 6, // KVBinarySample locators
};

}  // namespace Korvane::DataReader

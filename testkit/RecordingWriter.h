// RecordingWriter: writes a whole recording as a data file: the setup document,
// the optional measurement-info document, the event stream, the measurement data
// streams and the timestamp index streams, either as a plain multi-stream file or
// zip-packaged (one member per stream, the description in the archive comment).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testkit/AsyncIndexWriter.h"
#include "testkit/EventStreamWriter.h"
#include "testkit/MeasurementDataWriter.h"

namespace Korvane::DataReader::TestKit {

// Codes of the streams every recording has.
inline constexpr char kSetupStreamCode[] = "SETUP___";
inline constexpr char kMeasInfoStreamCode[] = "MEASINFO";
inline constexpr char kEventStreamCode[] = "EVENTS__";

struct Recording {
  std::string setupText;
  std::optional<std::string> measInfoText;
  std::vector<uint8_t> events;
  // Further streams in file order: "DBDATA", "IBDATA0", own channel streams, ...
  std::vector<std::pair<std::string, std::vector<uint8_t>>> streams;
  int version = 7305;
  // Words behind the version text of the description ("reduced", "mixed").
  std::string storingWords;
  bool zipPackaged = false;

  Recording& Add(const std::string& code, std::vector<uint8_t> data) {
    streams.emplace_back(code, std::move(data));
    return *this;
  }
  // The three index streams under the given codes.
  Recording& AddIndex(const AsyncIndexStreams& index, const std::string& valueCode = "DBASDATX",
                      const std::string& nodeCode = "NDASDATX", const std::string& rootCode = "RNASDATX");
};

// The start and stop events of the layout's regions, each start with its
// stored-record offsets (one list per region, or none).
std::vector<uint8_t> RegionEventStream(const DataLayout& layout,
                                       const std::vector<std::vector<int32_t>>& levelOffsets = {});

// Writes the recording to path (a ".KXZ" name for zip-packaged ones is the
// caller's choice); throws std::runtime_error when the file cannot be written.
void WriteRecording(const std::string& path, const Recording& recording);

}  // namespace Korvane::DataReader::TestKit

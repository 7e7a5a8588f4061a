// Writes a whole recording as a plain data file with its large streams produced
// piece by piece (see StreamedMultiStreamWriter.h): the same file WriteRecording
// writes for the same contents, without holding the measurement data in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "testkit/StreamedMultiStreamWriter.h"

namespace Korvane::DataReader::TestKit {

struct StreamedRecording {
  std::string setupText;
  std::optional<std::string> measInfoText;
  std::vector<uint8_t> events;
  // Further streams in file order: "DBDATA", "IBDATA0", own channel streams, ...
  std::vector<StreamSource> streams;
  int version = 7305;
  // Words behind the version text of the description ("reduced", "mixed").
  std::string storingWords;
  // Page payload of the setup, measurement-info and event streams (the further
  // streams bring their own).
  int32_t payloadSize = 4096;
};

StreamedMultiStream WriteRecordingStreamed(const std::string& path, const StreamedRecording& recording);

}  // namespace Korvane::DataReader::TestKit

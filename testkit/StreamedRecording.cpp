// A recording's streams in the order WriteRecording stores them.
#include "testkit/StreamedRecording.h"

#include "testkit/RecordingWriter.h"

namespace Korvane::DataReader::TestKit {

StreamedMultiStream WriteRecordingStreamed(const std::string& path, const StreamedRecording& recording) {
  const std::vector<uint8_t> setup(recording.setupText.begin(), recording.setupText.end());
  std::vector<uint8_t> measInfo;
  std::vector<StreamSource> sources = {BytesSource(kSetupStreamCode, setup, recording.payloadSize)};
  if (recording.measInfoText) {
    measInfo.assign(recording.measInfoText->begin(), recording.measInfoText->end());
    sources.push_back(BytesSource(kMeasInfoStreamCode, measInfo, recording.payloadSize));
  }
  sources.push_back(BytesSource(kEventStreamCode, recording.events, recording.payloadSize));
  sources.insert(sources.end(), recording.streams.begin(), recording.streams.end());

  MultiStreamOptions options;
  options.description = DescriptionForVersion(recording.version);
  if (!recording.storingWords.empty()) options.description += " " + recording.storingWords;
  return WriteMultiStreamFileStreamed(path, options, sources);
}

}  // namespace Korvane::DataReader::TestKit

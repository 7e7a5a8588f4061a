// Whole recordings as plain or zip-packaged data files.
#include "testkit/RecordingWriter.h"

#include "testkit/MultiStreamWriter.h"
#include "testkit/ZipWriter.h"

namespace Korvane::DataReader::TestKit {

namespace {

// Event stream layout version the recordings carry.
constexpr int32_t kEventStreamVersion = 2;
// Page payload of the written streams: large enough to keep files small, small
// enough that data streams span several pages.
constexpr int32_t kPayloadBytes = 4096;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

Recording& Recording::AddIndex(const AsyncIndexStreams& index, const std::string& valueCode,
                               const std::string& nodeCode, const std::string& rootCode) {
  Add(valueCode, index.valueStream);
  Add(nodeCode, index.nodeStream);
  return Add(rootCode, index.rootNodeStream);
}

std::vector<uint8_t> RegionEventStream(const DataLayout& layout, const std::vector<std::vector<int32_t>>& levelOffsets) {
  EventStreamWriter writer(kEventStreamVersion, false);
  for (size_t r = 0; r < layout.regions.size(); ++r) {
    const RecordedRegion& region = layout.regions[r];
    writer.AddStart(region.startBlock, region.startOffset, r < levelOffsets.size() ? levelOffsets[r] : std::vector<int32_t>{});
    writer.AddStop(region.stopBlock, region.stopOffset);
  }
  return writer.Finish();
}

void WriteRecording(const std::string& path, const Recording& recording) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> all;
  all.emplace_back(kSetupStreamCode, Bytes(recording.setupText));
  if (recording.measInfoText) all.emplace_back(kMeasInfoStreamCode, Bytes(*recording.measInfoText));
  all.emplace_back(kEventStreamCode, recording.events);
  all.insert(all.end(), recording.streams.begin(), recording.streams.end());

  std::string description = DescriptionForVersion(recording.version);
  if (!recording.storingWords.empty()) description += " " + recording.storingWords;

  if (recording.zipPackaged) {
    std::vector<ZipMember> members;
    for (auto& [code, data] : all) members.push_back({.name = code, .data = data});
    WriteZipFile(path, members, recording.storingWords.empty() ? description : recording.storingWords);
    return;
  }
  std::vector<StoredStreamLayout> layouts;
  for (auto& [code, data] : all) layouts.push_back({.code = code, .data = data, .payloadSize = kPayloadBytes});
  MultiStreamOptions options;
  options.description = description;
  WriteMultiStreamFile(path, options, layouts);
}

}  // namespace Korvane::DataReader::TestKit

// Small recordings for the interface tests: a setup document with the channels a
// test asks for, one start/stop region, and enough data streams for a file to
// open, stored as a plain multi-stream file or as a zip-packaged file.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "testkit/EventStreamWriter.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/ZipWriter.h"

namespace Korvane::DataReader::AbiTest {

struct Recording {
  TestKit::SetupBuilder setup;
  std::string setupCode = "SETUP___";
  bool withSetup = true;
  int fileVersion = 7305;
  std::string measInfo;  // MEASINFO text; empty: no such stream
  std::string description;
  int32_t stopBlock = 10;
  std::vector<TestKit::StoredStreamLayout> extraStreams;

  Recording() {
    setup.Property("SampleRate", 1000.0).Property("BlockSize", 100);
    setup.MeasurementOnlineInfo(400, {64});
  }

  std::vector<TestKit::StoredStreamLayout> Streams() const {
    std::vector<TestKit::StoredStreamLayout> streams;
    if (withSetup) {
      const std::string text = setup.Text();
      streams.push_back({.code = setupCode, .data = std::vector<uint8_t>(text.begin(), text.end())});
    }
    if (!measInfo.empty()) streams.push_back({.code = "MEASINFO", .data = {measInfo.begin(), measInfo.end()}});
    TestKit::EventStreamWriter events(2, fileVersion < 7100);
    events.AddStart(0, 0, {0, 0, 0, 0, 0, 0}).AddStop(stopBlock, 0);
    streams.push_back({.code = "EVENTS__", .data = events.Finish()});
    streams.push_back({.code = "DBDATA", .data = TestKit::PatternBytes(400 * static_cast<size_t>(stopBlock)),
                       .payloadSize = 4096});
    streams.push_back({.code = "IBDATA0", .data = TestKit::PatternBytes(64 * static_cast<size_t>(stopBlock))});
    streams.insert(streams.end(), extraStreams.begin(), extraStreams.end());
    return streams;
  }

  std::string DescriptionText() const {
    return description.empty() ? TestKit::DescriptionForVersion(fileVersion) : description;
  }

  void WritePlain(const std::string& path) const {
    TestKit::MultiStreamOptions options;
    options.description = DescriptionText();
    TestKit::WriteMultiStreamFile(path, options, Streams());
  }

  void WriteZip(const std::string& path) const {
    std::vector<TestKit::ZipMember> members;
    for (const auto& stream : Streams()) members.push_back({.name = stream.code, .data = stream.data});
    TestKit::WriteZipFile(path, members, DescriptionText());
  }
};

}  // namespace Korvane::DataReader::AbiTest

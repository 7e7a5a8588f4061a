// Shared by the setup tests: a setup document (and optionally a measurement-info
// document and further streams) written into a multi-stream container file in a
// temporary directory, opened with the container, and interpreted the way the
// reader does it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "multistream/CMultiStream.h"
#include "setup/CKVXMLHelper.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/SetupBuilder.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::SetupTest {

// The version of the files the tests write unless a test says otherwise.
inline constexpr int kCurrentVersion = 7305;

struct SetupFileOptions {
  int version = kCurrentVersion;
  std::optional<std::string> measInfo;
  std::vector<TestKit::StoredStreamLayout> extraStreams;
};

// One interpreted setup, with the file and container it was read from.
class OpenedSetup {
 public:
  // Writes `setupText` as "SETUP___" and interprets it; failures of the
  // interpretation propagate.
  explicit OpenedSetup(const std::string& setupText, const SetupFileOptions& options = {}) {
    std::vector<TestKit::StoredStreamLayout> streams;
    streams.push_back({"SETUP___", std::vector<uint8_t>(setupText.begin(), setupText.end())});
    if (options.measInfo) {
      streams.push_back({"MEASINFO", std::vector<uint8_t>(options.measInfo->begin(), options.measInfo->end())});
    }
    for (const auto& stream : options.extraStreams) streams.push_back(stream);
    TestKit::MultiStreamOptions fileOptions;
    fileOptions.description = TestKit::DescriptionForVersion(options.version);
    const std::string path = dir_.File("setup.kvd");
    TestKit::WriteMultiStreamFile(path, fileOptions, streams);
    container_.OpenFile(path.c_str());
    measInfoAccepted_ = helper_.OpenAndParseFile(container_.StreamByCode("SETUP___"),
                                                 container_.StreamByCode("MEASINFO"), options.version);
  }

  CKVXMLHelper& helper() { return helper_; }
  MultiStream::CMultiStream& container() { return container_; }
  bool measInfoAccepted() const { return measInfoAccepted_; }

  // The channel with that index text (first match); fails the test when missing.
  CKVChannel& Channel(const std::string& index) {
    CKVChannel* channel = helper_.FindChannelByKVIndex(index.c_str());
    if (channel == nullptr) throw std::runtime_error("no channel " + index);
    return *channel;
  }

 private:
  TestKit::TempDir dir_;
  MultiStream::CMultiStream container_;
  CKVXMLHelper helper_;
  bool measInfoAccepted_ = false;
};

// Interprets a builder's document.
inline std::unique_ptr<OpenedSetup> Open(const TestKit::SetupBuilder& setup, const SetupFileOptions& options = {}) {
  return std::make_unique<OpenedSetup>(setup.Text(), options);
}

}  // namespace Korvane::DataReader::SetupTest

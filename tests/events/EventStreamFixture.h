// Reads an event stream the way an open file does: the bytes are stored as the
// "EVENTS__" stream of a multi-stream file in a temporary directory, the file is
// opened as a container and the stream handed to the event list owner.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Events {

class EventStreamFixture : public ::testing::Test {
 protected:
  // Reads `bytes` as the event stream (appending to the list) and returns the list.
  const CKVEventHelper::EventList& Read(const std::vector<uint8_t>& bytes) {
    container_.CloseFile();
    const std::string path = directory_.File("events" + std::to_string(files_++) + ".kvd");
    TestKit::MultiStreamOptions options;
    options.generation = 4;
    TestKit::WriteMultiStreamFile(path, options, {{.code = "EVENTS__", .data = bytes, .payloadSize = 512}});
    container_.OpenFile(path.c_str());
    MultiStream::CBaseStream* stream = container_.StreamByCode("EVENTS__");
    EXPECT_NE(stream, nullptr);
    helper_.ReadFromStream(stream);
    return helper_.Events();
  }

  TestKit::TempDir directory_;
  MultiStream::CMultiStream container_;
  CKVEventHelper helper_;
  int files_ = 0;
};

}  // namespace Korvane::DataReader::Events

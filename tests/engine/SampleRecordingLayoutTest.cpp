// The demo's sample recording places every channel where the setup interpreter
// would lay it out itself: the same recording without any "OnlineInfo" record
// makes the interpreter compute slices, reduced parts and single-value entries
// from the item-size rule, and both openings must agree channel by channel.
#include <gtest/gtest.h>

#include <regex>

#include "EngineTestSupport.h"
#include "testkit/SampleRecording.h"

namespace Korvane::DataReader {
namespace {

using EngineTest::OpenedRecording;

TEST(SampleRecording, ChannelsLieWhereTheSetupsOwnLayoutPutsThem) {
  const TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
  TestKit::Recording computed = contents.recording;
  computed.setupText = std::regex_replace(computed.setupText, std::regex("<OnlineInfo>[\\s\\S]*?</OnlineInfo>"), "");
  ASSERT_EQ(computed.setupText.find("OnlineInfo"), std::string::npos);
  OpenedRecording given(contents.recording);
  OpenedRecording own(computed);

  const CKVOnlineInfo* layout = given.setup().GetOnlineInfo();
  const CKVOnlineInfo* expected = own.setup().GetOnlineInfo();
  EXPECT_EQ(layout->DBOffset, expected->DBOffset);
  // Behind the level-0 item of the asynchronous channel (last in the records) the
  // interpreter's own rule reserves the 24-byte tail of a channel in legacy blocks:
  // without its record it cannot know the channel is in the timestamp index, whose
  // records carry a 1-byte tail.
  constexpr int kTailDifference = 24 - 1;
  for (int level = 0; level < kIBLevelCount; ++level) {
    EXPECT_EQ(layout->IBOffset[level] + (level == 0 ? kTailDifference : 0), expected->IBOffset[level]) << level;
  }
  ASSERT_EQ(given.setup().GetChannelCount(), 7);
  for (int i = 0; i < given.setup().GetChannelCount(); ++i) {
    const CKVChannel& channel = *given.setup().GetChannel(i);
    const CKVChannel& reference = *own.setup().GetChannel(i);
    ASSERT_NE(channel.OnlineInfo, nullptr) << channel.Name;
    EXPECT_EQ(channel.OnlineInfo->DBOffset, reference.OnlineInfo->DBOffset) << channel.Name;
    for (int level = 0; level < kIBLevelCount; ++level) {
      EXPECT_EQ(channel.OnlineInfo->IBOffset[level], reference.OnlineInfo->IBOffset[level]) << channel.Name << level;
    }
    if (i < static_cast<int>(contents.channels.size())) {
      EXPECT_EQ(channel.KVIndex, contents.channels[static_cast<size_t>(i)].index);
      // The kit writes statistics as doubles.
      EXPECT_TRUE(channel.IsDoublePrecision()) << channel.Name;
      EXPECT_EQ(channel.GetArraySize(), contents.channels[static_cast<size_t>(i)].arraySize);
    }
  }
  // The stored streams hold whole blocks and records of that layout: 20 + 16 + 20
  // blocks, as many level-0 records, and 1 + 2 + 1 level-1 records.
  EXPECT_EQ(given.engine().GetAllBlocksInStream(0), 56);
  EXPECT_EQ(given.engine().GetAllBlocksInStream(1), 4);
  ASSERT_EQ(given.engine().GetRegionCount(), 3);
  EXPECT_EQ(given.engine().GetRegions()[2].stored_block_base[0], 36);
}

}  // namespace
}  // namespace Korvane::DataReader

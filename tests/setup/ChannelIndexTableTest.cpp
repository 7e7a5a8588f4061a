// The table that finds stored channels by index text must answer as a linear
// search of the channel list does: the first channel not yet filled with that
// (converted) index, and the n-th channel with it, whatever order the lookups
// come in and however channels get filled in between.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "setup/ChannelIndexTable.h"
#include "setup/KVIndex.h"

namespace Korvane::DataReader {
namespace {

std::string Converted(const std::string& text) {
  char key[CKVChannel::kKVIndexBytes];
  ConvertToKVIndex(text.c_str(), key, sizeof key);
  return key;
}

CKVChannel* LinearFirstUnfilled(const std::vector<std::unique_ptr<CKVChannel>>& channels, const std::string& text) {
  for (const auto& channel : channels) {
    if (channel->KVIndex == Converted(text) && !channel->Filled) return channel.get();
  }
  return nullptr;
}

CKVChannel* LinearNth(const std::vector<std::unique_ptr<CKVChannel>>& channels, const std::string& text, int n) {
  for (const auto& channel : channels) {
    if (channel->KVIndex == Converted(text) && n-- == 0) return channel.get();
  }
  return nullptr;
}

struct Sequence {
  const char* name;
  bool reverse;   // look the channels up from the end of the list
  int stride;     // visit every stride-th channel (mod the count), 1 for list order
  int fillEvery;  // fill the channel found, except every fillEvery-th time
};

TEST(ChannelIndexTable, AnswersAsALinearSearchInAnyLookupOrder) {
  std::vector<std::string> stored = {"AI;0", "AI;1", "AI;1", "DI;0", "1;2", "CAN;0;100", "AI;1", "Math;0", "AI;2"};
  for (int i = 10; i < 210; ++i) stored.push_back("AI;" + std::to_string(i));
  // Lookups name channels in their stored form, in numeric group form, and
  // channels that are not stored.
  std::vector<std::string> queries = stored;
  queries.insert(queries.end(), {"1;0", "1;1", "AI;2", "AI;999", "DI;1", "AI;1", "AI;1", "AI;1"});

  for (const Sequence& sequence : {Sequence{"list order", false, 1, 0}, Sequence{"reverse", true, 1, 3},
                                   Sequence{"strided", false, 7, 4}, Sequence{"list order, some left", false, 1, 2}}) {
    std::vector<std::unique_ptr<CKVChannel>> channels;
    for (const std::string& text : stored) {
      channels.push_back(std::make_unique<CKVChannel>());
      channels.back()->SetKVIndex(text.c_str());
    }
    ChannelIndexTable table;
    table.Build(channels);
    const size_t count = queries.size();
    for (size_t step = 0; step < 2 * count; ++step) {
      size_t at = (step * static_cast<size_t>(sequence.stride)) % count;
      if (sequence.reverse) at = count - 1 - at;
      const std::string& query = queries[at];
      SCOPED_TRACE(std::string(sequence.name) + ": " + query + " at step " + std::to_string(step));
      CKVChannel* expected = LinearFirstUnfilled(channels, query);
      CKVChannel* found = table.FindUnfilled(query.c_str());
      ASSERT_EQ(found, expected);
      for (int n = 0; n < 4; ++n) EXPECT_EQ(table.Find(query.c_str(), n), LinearNth(channels, query, n));
      // The interpreter fills what it finds, and fills channels it reaches by
      // other paths too.
      if (found != nullptr && (sequence.fillEvery == 0 || step % static_cast<size_t>(sequence.fillEvery) != 0)) {
        found->Filled = true;
      }
      if (step % 11 == 5) channels[(step * 13) % channels.size()]->Filled = true;
    }
  }
}

}  // namespace
}  // namespace Korvane::DataReader

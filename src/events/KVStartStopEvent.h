// KVStartStopEvent: one recorded region between a start and a stop event, with
// what the data load engine needs to find the region in the stored streams of
// every reduced-data level. Level 0 is the full-rate data.
#pragma once

#include <cstdint>

namespace Korvane::DataReader::Events {

constexpr int kReducedLevelCount = 6;

struct KVStartStopEvent {
  int64_t start_pos;                               // position of the start event
  int64_t stop_pos;                                // position of the stop event
  int32_t start_block;
  int32_t start_offset;
  int32_t stop_block;
  int32_t stop_offset;
  // Per level: the region's first block in that level's stored stream, counted in
  // level-0 blocks, with the blocks of the gaps before it left out.
  int64_t stored_block_base[kReducedLevelCount];
  // Per level: the index of the reduced value that holds the start.
  int64_t first_index[kReducedLevelCount];
  // Per level: the stop rounded up to whole reduced values.
  int64_t end_index[kReducedLevelCount];
  // Per level: the start event's stored-record offset (0 when it stored none).
  int64_t event_first_block[kReducedLevelCount];
};

static_assert(sizeof(KVStartStopEvent) == 224, "the region record is 224 bytes");

}  // namespace Korvane::DataReader::Events

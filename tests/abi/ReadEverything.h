// ReadEverything: opens a file in a reader of the C interface and asks every query a
// host asks of a whole recording (lists, properties, samples and reduced values in
// windows, binary payloads, array axes, header entries, events, both tables), then
// closes it. Used by the thread, memcheck and damaged-file tests, which compare or
// check the transcript it returns.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader::AbiTest {

struct ReadLimits {
  // Windows read per channel and per kind of read; a channel with more windows is
  // read at this many windows spread over it, the last one included.
  int64_t windowsPerChannel = INT64_MAX;
  int32_t window = 211;  // samples or values per window: odd, so windows cross blocks and regions
};

struct ReadTranscript {
  KVStatus openStatus = KVOk;
  // Every status and every value the queries gave, in call order, as bytes: two
  // transcripts of the same file are equal exactly when every answer was equal.
  std::string answers;
  std::set<KVStatus> statuses;  // the statuses the queries returned, the open's not included
  int64_t calls = 0;
};

// Opens `path` in `reader`, reads everything and closes the file again. The reader
// stays the caller's.
ReadTranscript ReadEverything(KVReaderHandle reader, const std::string& path, const ReadLimits& limits = {});

// The text channels on the active reader of the registry (they have no handle
// form): opens `path` in a fresh registry reader, reads every text value and
// de-initialises the registry. Returns the open's status and adds to `transcript`.
KVStatus ReadTextValues(const std::string& path, ReadTranscript& transcript);

}  // namespace Korvane::DataReader::AbiTest

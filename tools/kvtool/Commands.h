// The kvtool commands. Each works on the active reader of the library's registry,
// which holds the open file, and returns the process exit code: 0, or 1 after
// printing the library's status and message.
#pragma once

#include "KVDataReaderLib.h"

namespace kvtool {

// Sample rate, start times, duration, storing type, multi-file index and list counts.
int Info();
// Every listed channel as a table, or as a JSON array.
int Channels(bool json);
// The setup document to stdout, or to a file.
int Header(const char* outPath);

}  // namespace kvtool

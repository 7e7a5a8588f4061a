// The kvtool commands. Each works on one reader created for the call and returns
// the process exit code: 0, or 1 after printing the library's status and message.
#pragma once

#include "KVDataReaderLib.h"

namespace kvtool {

// Sample rate, start times, duration, storing type, multi-file index and list counts.
int Info(KVReaderHandle reader);
// Every listed channel as a table, or as a JSON array.
int Channels(KVReaderHandle reader, bool json);
// The setup document to stdout, or to a file.
int Header(KVReaderHandle reader, const char* outPath);

}  // namespace kvtool

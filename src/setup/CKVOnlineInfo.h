// Where a channel's samples lie: CKVOnlineInfo for channels stored in the shared
// streams ("DBDATA" and the reduced-level streams), CKVOfflineInfo for channels
// stored in streams of their own. Each record is owned by its channel, or, for
// the measurement-wide layout, by the setup interpreter.
#pragma once

#include <cstdint>

namespace Korvane::DataReader {

// Number of reduced-data ("IB") levels a file can hold.
inline constexpr int kIBLevelCount = 6;

// Layout of a channel inside the shared streams. The measurement-wide record
// holds the block size in bytes in DBOffset and the record size of level L in
// IBOffset[L].
struct CKVOnlineInfo {
  int DBOffset = 0;                 // byte offset of the channel's slice in a data block
  int IBOffset[kIBLevelCount] = {}; // byte offset of the channel's item in a level-L record
  char BinStream[100] = {};         // stream holding binary payloads
  int AsyncIndex = -1;              // channel number inside the asynchronous index
};

// Streams of a channel stored on its own. Status 0 means the shared streams hold
// the data after all, 1 that nothing readable was stored, 2 and more that these
// streams hold it.
class CKVOfflineInfo {
 public:
  CKVOfflineInfo() = default;
  virtual ~CKVOfflineInfo() = default;

  char DBStreamName[20] = {};
  int64_t PosInDBStream = -1;
  char IBStreamName[kIBLevelCount][20] = {};
  int64_t PosInIBStream[kIBLevelCount] = {-1, -1, -1, -1, -1, -1};
  int IBStreamCount = 0;
  char NodeStreamName[20] = {};
  int64_t PosInNodeStream = -1;
  char RootNodeStreamName[20] = {};
  int Status = 3;
  int StartPos = -1;
  int EndPos = -1;
  int AsyncIndex = -1;
};

}  // namespace Korvane::DataReader

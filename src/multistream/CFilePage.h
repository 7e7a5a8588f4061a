// CFilePage: one page header of a multi-stream file, read from the carrier;
// CPageEntry: one record of the container's page table. Both are plain values
// owned by whoever reads them.
//
// Page layout at position P (little-endian):
//   0  4  magic "PAGE" (generation 1) or "PAG1" (generations 2 to 4)
//   4  4  int32 page number within the stream, from 0
//   8  8  int64 position of the previous page, -1 for page 0
//  16  8  int64 position of the next page; -1 none; -2 taken from the page table
//  24  4  "PAG1" only: int32, unused
//  28  4  "PAG1" only: int32 extra, unused
// The payload follows the container's page header size (24 or 32), whatever the
// magic says.
#pragma once

#include <cstdint>

namespace Korvane::DataReader::MultiStream {

class CFileStream;
class CMultiStream;

inline constexpr int64_t kNoPage = -1;
inline constexpr int64_t kPageFromTable = -2;

inline constexpr int32_t kPageHeaderBytesGen1 = 24;
inline constexpr int32_t kPageHeaderBytesLater = 32;

class CFilePage {
 public:
  CFilePage() = default;
  CFilePage(CMultiStream* pageOwner, int64_t pagePosition) : owner(pageOwner), position(pagePosition) {}
  virtual ~CFilePage() = default;
  CFilePage(const CFilePage&) = default;
  CFilePage& operator=(const CFilePage&) = default;

  // Reads the header at `position` from the carrier; false when the file ends
  // inside the header's fixed part (the fields are then unchanged).
  bool ReadHeader(CFileStream& carrier);
  // Takes the fields from header bytes read elsewhere (`available` of them); false
  // like ReadHeader when they end inside the fixed part.
  bool ParseHeader(const uint8_t* header, int64_t available);
  // Bytes of the longest header ("PAG1" with its two trailing fields).
  static constexpr int32_t kMaxHeaderBytes = 32;

  CMultiStream* owner = nullptr;
  int64_t position = kNoPage;
  int64_t next = kNoPage;
  int64_t previous = kNoPage;
  int32_t number = 0;
  int32_t extra = 0;
  bool recognised = false;
};

// One page-table record: the page at `position` belongs to directory stream
// `streamNumber`; records of one stream come in page order.
struct CPageEntry {
  int32_t streamNumber = 0;
  int64_t position = kNoPage;
};

}  // namespace Korvane::DataReader::MultiStream

// CVirtualStream: one named stream of a multi-stream container, stored as a chain
// of fixed-size pages that interleave with other streams' pages in the file, and
// presented as one contiguous, seekable byte stream. The container creates and
// owns it; it reads through the container's carrier.
//
// Stream position p lies in page p / payload size at offset p % payload size. The
// positions of the pages are learnt once: from the page table when the stream has
// one, otherwise by following the next links of the page headers, each header
// being read at most once and remembered, so neither seeks nor reads ever walk the
// chain again. Every page used is checked against the file: its header must carry
// its own page number (which also stops link loops) and its payload must lie
// inside the file. A read across pages that lie one behind the other in the file
// (how a stream written on its own is laid out) takes them, headers included, in
// one gathered system call instead of two calls per page.
#pragma once

#include <cstdint>
#include <vector>

#include "multistream/CBaseStream.h"
#include "multistream/CFileStream.h"
#include "multistream/CFilePage.h"

namespace Korvane::DataReader::MultiStream {

class CMultiStream;

class CVirtualStream : public CBaseStream {
 public:
  // A stream of `owner` with number `streamNumber` (its directory index; -1 for the
  // directory itself). It is empty until ReadSettings.
  CVirtualStream(CMultiStream* owner, int32_t streamNumber);
  ~CVirtualStream() override;

  // Directory entry size in bytes for a file generation (44, 45 or 46).
  static int32_t EntryBytes(int32_t generation);

  // Reads this stream's directory entry at `entryPosition` of `source` and checks it
  // against the carrier file; throws FileCorruptException when the entry cannot
  // describe pages inside the file. Leaves the stream at position 0.
  void ReadSettings(CStream& source, int64_t entryPosition);

  // Seek origins 0, 1, 2; any other returns -1 without moving. Throws
  // FileCorruptException ("Cursor before BOF", "Cursor beyond EOF") for a target
  // outside the stream or in pages the chain does not reach.
  int64_t Seek(int64_t offset, EnumSeekOrigin origin) override;
  // Returns -1: streams are read-only.
  int32_t Write(const void* data, int32_t length) override;
  // Returns `length`, or -1 when the stream ended first (bytes before the end are
  // copied). A chunk that starts before the last page's fill is still copied whole,
  // up to the page's payload size, and the position moves past it, but the result
  // is then -1. Throws FileCorruptException on a damaged page chain.
  int32_t Read(void* buffer, int32_t length) override;
  int32_t ReadBytesAt(int64_t position, void* buffer, int32_t length) override;
  // Last page number * payload size + last fill; 0 for an empty stream.
  int64_t Size() override;

  int64_t SeekFromBeginning(int64_t offset);
  int64_t SeekFromCurrent(int64_t offset);
  int64_t SeekFromEnd(int64_t offset);

  // Position of the page after `page`, or -1: a -2 link is resolved through the page
  // table, and the chain ends at the last page number whatever its link says.
  int64_t NextPagePos(const CFilePage& page) const;

  // Appends one page-table record (the page after the ones already listed).
  void AddPageEntry(const CPageEntry& entry);
  // Takes the page-table records into the page map; called once the table is read.
  void AdoptPageEntries();

  int32_t StreamNumber() const noexcept { return streamNumber_; }
  bool HasPageTable() const noexcept { return hasPageTable_; }
  int32_t PayloadSize() const noexcept { return payloadSize_; }
  int32_t LastFill() const noexcept { return lastFill_; }
  int32_t LastNumber() const noexcept { return lastNumber_; }
  int64_t FirstPage() const noexcept { return firstPage_; }
  int64_t LastPage() const noexcept { return lastPage_; }
  const std::vector<CPageEntry>& PageEntries() const noexcept { return pages_; }

 private:
  bool IsEmpty() const noexcept { return firstPage_ == kNoPage; }
  // Read, asking the carrier to read ahead to the end of each page or not.
  int32_t ReadPages(void* buffer, int32_t length, bool readAhead);
  // Reads on from `offset` of checked page `pageIndex` into the pages behind it, in
  // one gathered read while each next page lies right behind the one before and
  // its header is the one the chain expects there; returns the bytes delivered
  // (at most `length`), 0 when no page behind it qualifies.
  int64_t ReadRun(int64_t pageIndex, int64_t offset, uint8_t* out, int64_t length);
  // Where the chain puts page `pageIndex` given the header of the page before it
  // (`before`, or null when this run did not read it), or kNoPage when that is
  // not known without reading another header.
  int64_t ExpectedPosition(int64_t pageIndex, const CFilePage* before) const;
  // Records page `pageIndex` at `position` with its header read and checked.
  void AdoptCheckedPage(int64_t pageIndex, int64_t position, const CFilePage& page);
  int32_t PageExtent(int64_t pageIndex) const noexcept;
  // Position of page `pageIndex` (at most the last number), checked against the
  // file, or -1 when the chain ends before it.
  int64_t PagePosition(int64_t pageIndex);
  bool ExtendChain();
  void CheckPage(int64_t pageIndex);
  // Sets the position after checking that the pages up to it are reachable.
  int64_t MoveTo(int64_t target);
  bool SeekInEmpty(int64_t offset);

  CMultiStream* owner_;
  CFileStream* carrier_ = nullptr;
  int32_t streamNumber_;
  int32_t pageHeaderBytes_ = 0;
  int64_t fileSize_ = 0;

  // The directory entry.
  int64_t entryPosition_ = -1;
  int64_t firstPage_ = kNoPage;
  int64_t lastPage_ = kNoPage;
  int32_t lastFill_ = 0;
  int32_t lastNumber_ = 0;
  int32_t payloadSize_ = 0;
  uint8_t generationFlag_ = 0;
  bool hasPageTable_ = false;
  std::vector<CPageEntry> pages_;

  int64_t size_ = 0;
  int64_t position_ = 0;

  // Known page positions of pages 0 .. map_.size()-1, and whether each header has
  // been checked. tailNext_ is the resolved next link of page tailNextIndex_.
  std::vector<int64_t> map_;
  std::vector<uint8_t> checked_;
  int64_t tailNext_ = kNoPage;
  int64_t tailNextIndex_ = -1;
  bool chainEnded_ = false;
  // Scratch of ReadRun: the headers it reads and the pieces of its gathered read.
  std::vector<uint8_t> runHeaders_;
  std::vector<ReadPiece> runPieces_;
  // Pages a run may read behind its first on the guess that they follow it.
  int64_t runGuess_ = 1;
};

}  // namespace Korvane::DataReader::MultiStream

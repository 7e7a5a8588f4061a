// Paged streams: the directory entry, the page map and the byte-level read and
// seek operations over it.
#include "multistream/CVirtualStream.h"

#include <algorithm>
#include <cstring>

#include "common/DataReaderLibException.h"
#include "common/LittleEndian.h"
#include "multistream/CFileStream.h"
#include "multistream/CMultiStream.h"

namespace Korvane::DataReader::MultiStream {
namespace {

// Directory entry layout (the same for the directory's own entry in the header):
//   0  8  int64 entry position field
//   8  8  stream code, zero-padded
//  16  8  int64 first page position, -1 when empty
//  24  8  int64 last page position, -1 when empty
//  32  4  int32 payload bytes used in the last page
//  36  4  int32 page number of the last page
//  40  1  generations 3 and 4: flag byte, unused
//  40|41  4  int32 page payload size
//  44|45  1  generations 2 to 4: page-table flag
constexpr int32_t kEntryPositionOffset = 0;
constexpr int32_t kEntryCodeOffset = 8;
constexpr int32_t kEntryFirstPageOffset = 16;
constexpr int32_t kEntryLastPageOffset = 24;
constexpr int32_t kEntryLastFillOffset = 32;
constexpr int32_t kEntryLastNumberOffset = 36;
constexpr int32_t kEntryCommonBytes = 40;
constexpr int32_t kEntryMaxBytes = 46;

// Pages one gathered read takes at most, which bounds its scratch whatever the
// page size.
constexpr int64_t kMaxRunPages = 4096;

const char kBeforeBof[] = "Cursor before BOF";
const char kBeyondEof[] = "Cursor beyond EOF";

}  // namespace

CVirtualStream::CVirtualStream(CMultiStream* owner, int32_t streamNumber)
    : owner_(owner), streamNumber_(streamNumber) {}

CVirtualStream::~CVirtualStream() = default;

int32_t CVirtualStream::EntryBytes(int32_t generation) {
  if (generation <= 1) return 44;
  if (generation == 2) return 45;
  return 46;
}

void CVirtualStream::ReadSettings(CStream& source, int64_t entryPosition) {
  const int32_t generation = owner_->Generation();
  const int32_t entryBytes = EntryBytes(generation);
  uint8_t entry[kEntryMaxBytes] = {};
  if (source.Seek(entryPosition, kSeekBegin) != entryPosition || source.ReadBytes(entry, entryBytes) != entryBytes) {
    throw FileCorruptException("Directory entry beyond its stream");
  }

  entryPosition_ = LoadI64(entry + kEntryPositionOffset);
  char code[kStreamCodeChars + 1] = {};
  std::memcpy(code, entry + kEntryCodeOffset, kStreamCodeChars);
  SetCode(code);
  firstPage_ = LoadI64(entry + kEntryFirstPageOffset);
  lastPage_ = LoadI64(entry + kEntryLastPageOffset);
  lastFill_ = LoadI32(entry + kEntryLastFillOffset);
  lastNumber_ = LoadI32(entry + kEntryLastNumberOffset);
  int32_t cursor = kEntryCommonBytes;
  if (generation >= 3) generationFlag_ = entry[cursor++];
  payloadSize_ = LoadI32(entry + cursor);
  cursor += 4;
  hasPageTable_ = generation >= 2 && entry[cursor] != 0;

  carrier_ = owner_->Carrier();
  pageHeaderBytes_ = owner_->PageHeaderSize();
  fileSize_ = carrier_ != nullptr ? carrier_->Size() : 0;
  position_ = 0;
  map_.clear();
  checked_.clear();
  pages_.clear();
  tailNextIndex_ = -1;
  chainEnded_ = false;

  if (firstPage_ == kNoPage && lastPage_ == kNoPage) {
    size_ = 0;
    return;
  }
  // A stream of L + 1 pages needs L full pages and the header and fill of the last
  // one inside the file; anything else cannot have been written.
  const int64_t header = pageHeaderBytes_;
  if (firstPage_ < 0 || lastPage_ < 0 || payloadSize_ <= 0 || lastFill_ < 0 || lastFill_ > payloadSize_ ||
      lastNumber_ < 0 || firstPage_ > fileSize_ - header || lastPage_ > fileSize_ - header - lastFill_ ||
      static_cast<int64_t>(lastNumber_) * (header + payloadSize_) > fileSize_ - header - lastFill_) {
    throw FileCorruptException("Directory entry does not fit the file");
  }
  size_ = static_cast<int64_t>(lastNumber_) * payloadSize_ + lastFill_;
  map_.push_back(firstPage_);
  checked_.push_back(0);
}

int32_t CVirtualStream::PageExtent(int64_t pageIndex) const noexcept {
  return pageIndex == lastNumber_ ? lastFill_ : payloadSize_;
}

int64_t CVirtualStream::NextPagePos(const CFilePage& page) const {
  if (page.next == kPageFromTable) {
    const int64_t wanted = static_cast<int64_t>(page.number) + 1;
    return wanted >= 0 && wanted < static_cast<int64_t>(pages_.size()) ? pages_[static_cast<size_t>(wanted)].position
                                                                        : kNoPage;
  }
  if (page.next == kNoPage) return kNoPage;
  if (page.number == lastNumber_) return kNoPage;
  return page.next;
}

void CVirtualStream::CheckPage(int64_t pageIndex) {
  const int64_t position = map_[static_cast<size_t>(pageIndex)];
  if (position < 0) throw FileCorruptException("Fast stream does not have page index");
  if (position > fileSize_ - pageHeaderBytes_ - PageExtent(pageIndex)) {
    throw FileCorruptException("Page outside the file");
  }
  CFilePage page(owner_, position);
  if (!page.ReadHeader(*carrier_)) throw FileCorruptException("Page header outside the file");
  // A page in the wrong place of the chain (a bad link, a loop, a wrong table
  // record) shows as a number other than its index.
  if (page.number != pageIndex) throw FileCorruptException("Page number out of sequence");
  checked_[static_cast<size_t>(pageIndex)] = 1;
  tailNext_ = NextPagePos(page);
  tailNextIndex_ = pageIndex;
}

bool CVirtualStream::ExtendChain() {
  if (chainEnded_) return false;
  const int64_t tail = static_cast<int64_t>(map_.size()) - 1;
  if (tailNextIndex_ != tail) CheckPage(tail);
  if (tailNext_ == kNoPage) {
    chainEnded_ = true;
    return false;
  }
  if (tailNext_ < 0) throw FileCorruptException("Fast stream does not have page index");
  map_.push_back(tailNext_);
  checked_.push_back(0);
  return true;
}

int64_t CVirtualStream::PagePosition(int64_t pageIndex) {
  if (pageIndex < 0 || pageIndex > lastNumber_ || map_.empty()) return kNoPage;
  while (static_cast<int64_t>(map_.size()) <= pageIndex) {
    if (!ExtendChain()) return kNoPage;
  }
  if (!checked_[static_cast<size_t>(pageIndex)]) CheckPage(pageIndex);
  return map_[static_cast<size_t>(pageIndex)];
}

void CVirtualStream::AddPageEntry(const CPageEntry& entry) { pages_.push_back(entry); }

void CVirtualStream::AdoptPageEntries() {
  if (IsEmpty()) return;
  const size_t wanted = static_cast<size_t>(lastNumber_) + 1;
  const size_t known = pages_.size() < wanted ? pages_.size() : wanted;
  if (map_.size() >= known) return;
  for (size_t k = map_.size(); k < known; ++k) {
    map_.push_back(pages_[k].position);
    checked_.push_back(0);
  }
  chainEnded_ = false;
}

int32_t CVirtualStream::Read(void* buffer, int32_t length) { return ReadPages(buffer, length, true); }

int32_t CVirtualStream::ReadBytesAt(int64_t position, void* buffer, int32_t length) {
  if (length <= 0) return 0;
  if (position < 0) throw FileCorruptException(kBeforeBof);
  if (position > Size()) throw FileCorruptException(kBeyondEof);
  // Only the pages that hold the bytes are reached (a seek would also reach the
  // page before a page boundary), so whether a piece can be read does not depend
  // on where the read begins.
  position_ = position;
  const int64_t before = position;
  // Only what the stream holds: the slack behind the last page's fill is not data.
  if (length > Size() - before) length = static_cast<int32_t>(std::max<int64_t>(Size() - before, 0));
  if (length == 0) return 0;
  ReadPages(buffer, length, false);
  const int64_t moved = Position() - before;
  if (moved <= 0) return 0;
  return moved > length ? length : static_cast<int32_t>(moved);
}

int32_t CVirtualStream::ReadPages(void* buffer, int32_t length, bool readAhead) {
  if (length <= 0) return length;
  if (IsEmpty()) return -1;
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t remaining = length;
  while (remaining > 0) {
    const int64_t pageIndex = position_ / payloadSize_;
    const int64_t offset = position_ % payloadSize_;
    if (pageIndex > lastNumber_ || (pageIndex == lastNumber_ && offset >= lastFill_)) return -1;
    const int64_t page = PagePosition(pageIndex);
    if (page == kNoPage) return -1;

    const int64_t room = payloadSize_ - offset;
    if (remaining > room) {
      const int64_t run = ReadRun(pageIndex, offset, out, remaining);
      if (run > 0) {
        position_ += run;
        out += run;
        remaining -= run;
        continue;
      }
    }
    const int64_t chunk = remaining < room ? remaining : room;
    const int64_t got = carrier_->ReadAt(page + pageHeaderBytes_ + offset, out, chunk, readAhead ? room - chunk : 0);
    if (got < chunk) {
      // Only the unused tail of the last page may lie beyond the end of the file.
      std::memset(out + got, 0, static_cast<size_t>(chunk - got));
      if (offset + got < PageExtent(pageIndex)) throw FileCorruptException("Page payload cannot be read");
    }
    position_ += chunk;
    out += chunk;
    remaining -= chunk;
  }
  // The slack behind the last fill was copied as stored, but it is not stream data.
  return position_ > size_ ? -1 : length;
}

int64_t CVirtualStream::ExpectedPosition(int64_t pageIndex, const CFilePage* before) const {
  const auto known = static_cast<int64_t>(map_.size());
  if (pageIndex < known) return map_[static_cast<size_t>(pageIndex)];
  if (pageIndex > known) return kNoPage;
  if (before != nullptr) return NextPagePos(*before);
  return tailNextIndex_ == pageIndex - 1 ? tailNext_ : kNoPage;
}

void CVirtualStream::AdoptCheckedPage(int64_t pageIndex, int64_t position, const CFilePage& page) {
  if (pageIndex == static_cast<int64_t>(map_.size())) {
    map_.push_back(position);
    checked_.push_back(1);
  } else {
    checked_[static_cast<size_t>(pageIndex)] = 1;
  }
  tailNext_ = NextPagePos(page);
  tailNextIndex_ = pageIndex;
}

int64_t CVirtualStream::ReadRun(int64_t pageIndex, int64_t offset, uint8_t* out, int64_t length) {
  const int64_t header = pageHeaderBytes_;
  const int64_t stride = header + payloadSize_;
  const int64_t start = map_[static_cast<size_t>(pageIndex)];
  const int64_t first = payloadSize_ - offset;
  // The pages behind this one that the read would take, where they would lie if the
  // stream's pages follow one another. A page whose place is known must lie there;
  // beyond those the run guesses only as far as the guesses of the runs before it
  // came true, so a stream whose pages interleave with others' wastes at most as
  // much reading as it uses.
  runHeaders_.resize(static_cast<size_t>(runGuess_ * header));
  runPieces_.assign(1, {out, first});
  int64_t pages = 1;
  for (int64_t planned = first; planned < length && pages <= runGuess_; ++pages) {
    const int64_t next = pageIndex + pages;
    const int64_t position = start + pages * stride;
    const int64_t wanted = std::min<int64_t>(payloadSize_, length - planned);
    // The last page's slack and pages that would leave the file are read page by page.
    if (next > lastNumber_ || (next == lastNumber_ && wanted > lastFill_)) break;
    if (position > fileSize_ - header - PageExtent(next)) break;
    const int64_t expected = ExpectedPosition(next, nullptr);
    if (expected != kNoPage && expected != position) break;
    runPieces_.push_back({runHeaders_.data() + (pages - 1) * header, header});
    runPieces_.push_back({out + planned, wanted});
    planned += wanted;
  }
  if (pages < 2) return 0;
  const int64_t got = carrier_->ReadGathered(start + header + offset, runPieces_);
  if (got < first) return 0;

  // Keep the pages that came whole and stand where the chain puts them.
  int64_t delivered = first;
  int64_t consumed = first;
  CFilePage before;
  int64_t p = 1;
  for (; p < pages; ++p) {
    const int64_t page = pageIndex + p;
    const int64_t position = start + p * stride;
    const int64_t wanted = runPieces_[static_cast<size_t>(2 * p)].length;
    if (got < consumed + header + wanted) break;
    if (ExpectedPosition(page, p > 1 ? &before : nullptr) != position) break;
    CFilePage read(owner_, position);
    read.ParseHeader(static_cast<const uint8_t*>(runPieces_[static_cast<size_t>(2 * p - 1)].buffer), header);
    if (read.number != page) throw FileCorruptException("Page number out of sequence");
    AdoptCheckedPage(page, position, read);
    before = read;
    delivered += wanted;
    consumed += header + wanted;
  }
  runGuess_ = p == pages ? std::min(runGuess_ * 2, kMaxRunPages) : 1;
  return delivered;
}

int64_t CVirtualStream::Size() { return IsEmpty() ? 0 : size_; }

int32_t CVirtualStream::Write(const void* /*data*/, int32_t /*length*/) { return -1; }

int64_t CVirtualStream::Seek(int64_t offset, EnumSeekOrigin origin) {
  switch (origin) {
    case kSeekBegin:
      return SeekFromBeginning(offset);
    case kSeekCurrent:
      return SeekFromCurrent(offset);
    case kSeekEnd:
      return SeekFromEnd(offset);
    default:
      return -1;
  }
}

int64_t CVirtualStream::MoveTo(int64_t target) {
  if (target > size_) throw FileCorruptException(kBeyondEof);
  // Byte target - 1 must be reachable: a position at a page boundary is the end of
  // the page before it.
  if (target > 0 && PagePosition((target - 1) / payloadSize_) == kNoPage) throw FileCorruptException(kBeyondEof);
  position_ = target;
  return position_;
}

// An empty stream has only position 0; true when the stream is empty and the seek
// is done.
bool CVirtualStream::SeekInEmpty(int64_t offset) {
  if (!IsEmpty()) return false;
  if (offset > 0) throw FileCorruptException(kBeyondEof);
  if (offset < 0) throw FileCorruptException(kBeforeBof);
  position_ = 0;
  return true;
}

int64_t CVirtualStream::SeekFromBeginning(int64_t offset) {
  if (SeekInEmpty(offset)) return 0;
  if (offset < 0) throw FileCorruptException(kBeforeBof);
  return MoveTo(offset);
}

int64_t CVirtualStream::SeekFromCurrent(int64_t offset) {
  if (SeekInEmpty(offset)) return 0;
  if (offset == 0) return position_;
  if (offset < 0) {
    if (offset < -position_) throw FileCorruptException(kBeforeBof);
    // Every page before the current position has been reached already.
    position_ += offset;
    return position_;
  }
  if (offset > size_ - position_) throw FileCorruptException(kBeyondEof);
  return MoveTo(position_ + offset);
}

int64_t CVirtualStream::SeekFromEnd(int64_t offset) {
  if (SeekInEmpty(offset)) return 0;
  if (offset > 0) {
    position_ = size_;
    throw FileCorruptException(kBeyondEof);
  }
  if (offset < -size_) throw FileCorruptException(kBeforeBof);
  return MoveTo(size_ + offset);
}

}  // namespace Korvane::DataReader::MultiStream

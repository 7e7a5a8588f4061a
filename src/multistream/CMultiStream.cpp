// Opening a plain data file: header, stream directory and page table.
#include "multistream/CMultiStream.h"

#include <cstring>

#include "common/DataReaderLibException.h"
#include "common/LittleEndian.h"
#include "multistream/CFileStream.h"
#include "multistream/FileVersion.h"

namespace Korvane::DataReader::MultiStream {
namespace {

constexpr int32_t kMagicBytes = 25;
constexpr const char* kMagics[] = {
    "MULTI_STREAM_FILE_VER0100",
    "MULTI_STREAM_FILE_VER0200",
    "MULTI_STREAM_FILE_VER0201",
    "MULTI_STREAM_FILE_VER0210",
};
constexpr int32_t kDescriptionLengthOffset = 25;
constexpr int32_t kDescriptionOffset = 29;
constexpr int32_t kReservedOffset = 125;
constexpr int32_t kDirectoryEntryOffset = 126;

constexpr int32_t kDirectoryCountBytes = 4;
constexpr int32_t kPageTableHeadBytes = 8;
constexpr int32_t kPageTableCountOffset = 4;
constexpr int32_t kPageTableRecordBytes = 12;
// Page-table records are read in batches of this many.
constexpr int64_t kPageTableBatchRecords = 4096;

constexpr const char kDirectoryCode[] = "___INDEX";
constexpr const char kPageTableCode[] = "___PAGES";

}  // namespace

CMultiStream::CMultiStream() { Clear(); }

CMultiStream::~CMultiStream() { CloseFile(); }

void CMultiStream::Clear() {
  generation_ = 0;
  pageHeaderSize_ = 0;
  ClearDescription();
  directory_ = std::make_unique<CVirtualStream>(this, -1);
  directory_->SetCode(kDirectoryCode);
}

void CMultiStream::CloseFile() {
  if (!carrier_) return;
  byCode_.clear();
  while (!streams_.empty()) streams_.pop_back();
  directory_.reset();
  carrier_.reset();
  Clear();
}

void CMultiStream::OpenFile(const char* path) {
  CloseFile();
  Clear();
  path_ = path != nullptr ? path : "";
  carrier_ = std::make_unique<CFileStream>(path);
  try {
    OpenExistingFile();
  } catch (...) {
    CloseFile();
    throw;
  }
}

void CMultiStream::OpenExistingFile() {
  if (!carrier_) throw CannotOpenFileException();
  uint8_t header[kDirectoryEntryOffset];
  if (carrier_->ReadAt(0, header, sizeof header, 0) != static_cast<int64_t>(sizeof header)) {
    throw FileCorruptException();
  }
  generation_ = 0;
  for (int32_t i = 0; i < 4; ++i) {
    if (std::memcmp(header, kMagics[i], kMagicBytes) == 0) generation_ = i + 1;
  }
  if (generation_ == 0) throw FileCorruptException();
  pageHeaderSize_ = generation_ == 1 ? kPageHeaderBytesGen1 : kPageHeaderBytesLater;

  ClearDescription();
  const int32_t length = LoadI32(header + kDescriptionLengthOffset);
  if (length < 0 || length > kDescriptionChars) throw FileCorruptException();
  char* field = DescriptionField();
  std::memcpy(field, header + kDescriptionOffset, kDescriptionChars);
  field[length] = '\0';
  if (header[kReservedOffset] != 0) throw FileCorruptException();

  directory_->ReadSettings(*carrier_, kDirectoryEntryOffset);
  const int64_t directorySize = directory_->Size();
  int64_t count = 0;
  if (directorySize >= kDirectoryCountBytes) {
    uint8_t countBytes[kDirectoryCountBytes];
    directory_->Seek(0, kSeekBegin);
    if (directory_->ReadBytes(countBytes, kDirectoryCountBytes) != kDirectoryCountBytes) throw FileCorruptException();
    count = LoadI32(countBytes);
  }
  // Entries that would end beyond the directory stream do not exist.
  const int32_t entryBytes = CVirtualStream::EntryBytes(generation_);
  const int64_t fitting = directorySize >= kDirectoryCountBytes ? (directorySize - kDirectoryCountBytes) / entryBytes : 0;
  if (count > fitting) count = fitting;
  streams_.reserve(static_cast<size_t>(count > 0 ? count : 0));
  for (int64_t i = 0; i < count; ++i) {
    auto stream = std::make_unique<CVirtualStream>(this, static_cast<int32_t>(streams_.size()));
    stream->ReadSettings(*directory_, kDirectoryCountBytes + i * entryBytes);
    // The first entry with a code is the one found by it; later duplicates stay
    // reachable by index only.
    byCode_.emplace(std::string(stream->Code()), stream.get());
    streams_.push_back(std::move(stream));
  }

  if (usePageTable_) ReadPageEntries();
}

void CMultiStream::ReadPageEntries() {
  auto* table = static_cast<CVirtualStream*>(StreamByCode(kPageTableCode));
  if (table == nullptr) return;
  const int64_t size = table->Size();
  if (size < kPageTableHeadBytes) return;
  uint8_t head[kPageTableHeadBytes];
  table->Seek(0, kSeekBegin);
  if (table->ReadBytes(head, kPageTableHeadBytes) != kPageTableHeadBytes) throw FileCorruptException();
  int64_t records = LoadI32(head + kPageTableCountOffset);
  if (records <= 0) return;
  // Records the stream does not hold do not exist.
  const int64_t fitting = (size - kPageTableHeadBytes) / kPageTableRecordBytes;
  if (records > fitting) records = fitting;

  std::vector<uint8_t> batch(static_cast<size_t>(
      (records < kPageTableBatchRecords ? records : kPageTableBatchRecords) * kPageTableRecordBytes));
  for (int64_t done = 0; done < records;) {
    const int64_t now = records - done < kPageTableBatchRecords ? records - done : kPageTableBatchRecords;
    const int32_t bytes = static_cast<int32_t>(now * kPageTableRecordBytes);
    if (table->ReadBytes(batch.data(), bytes) != bytes) throw FileCorruptException();
    for (int64_t r = 0; r < now; ++r) {
      const uint8_t* record = batch.data() + r * kPageTableRecordBytes;
      const int32_t number = LoadI32(record);
      if (number < 0 || static_cast<size_t>(number) >= streams_.size()) continue;
      CVirtualStream& stream = *streams_[static_cast<size_t>(number)];
      if (stream.HasPageTable()) stream.AddPageEntry(CPageEntry{number, LoadI64(record + 4)});
    }
    done += now;
  }
  for (auto& stream : streams_) stream->AdoptPageEntries();
}

CBaseStream* CMultiStream::StreamByCode(const char* code) {
  if (code == nullptr) return nullptr;
  const auto found = byCode_.find(std::string_view(code));
  return found != byCode_.end() ? found->second : nullptr;
}

int32_t CMultiStream::GetFileVersionInt() { return FileVersionFromDescription(Description()); }

void CMultiStream::StringToStreamCode(const char* name, char* out) {
  std::memset(out, 0, kStreamCodeChars + 1);
  if (name != nullptr) std::strncpy(out, name, kStreamCodeChars);
}

bool CMultiStream::SaveStreamsToFolder(const char* folder) {
  if (folder == nullptr) return false;
  auto fileName = [folder](const char* code) {
    std::string name = folder;
    for (const char* c = code; *c != '\0'; ++c) {
      const bool plain = (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') ||
                         *c == '_' || *c == '-';
      name += plain ? *c : '_';
    }
    return name + ".bin";
  };
  bool complete = true;
  for (auto& stream : streams_) complete = stream->WriteToFile(fileName(stream->Code()).c_str()) && complete;
  complete = directory_->WriteToFile(fileName(directory_->Code()).c_str()) && complete;
  return complete;
}

}  // namespace Korvane::DataReader::MultiStream

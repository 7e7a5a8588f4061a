// Multi-stream container writer: header, interleaved pages, page table and
// directory, in the order a recording would leave them.
#include "testkit/MultiStreamWriter.h"

#include <algorithm>
#include <stdexcept>

#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

const char* const kMagic[] = {"MULTI_STREAM_FILE_VER0100", "MULTI_STREAM_FILE_VER0200", "MULTI_STREAM_FILE_VER0201",
                              "MULTI_STREAM_FILE_VER0210"};
constexpr size_t kDescriptionField = 96;

size_t PageHeaderBytes(int generation) { return generation == 1 ? 24 : 32; }
size_t EntryBytes(int generation) { return generation == 1 ? 44 : generation == 2 ? 45 : 46; }

// A stream being laid out; `data` is the caller's (large streams are not copied).
struct PlacedStream {
  std::string code;
  const std::vector<uint8_t>& data;
  int32_t payloadSize;
  bool inPageTable;
  bool nextLinksFromTable;
  std::vector<int64_t> positions;
  size_t PageCount() const { return data.empty() ? 0 : (data.size() + payloadSize - 1) / payloadSize; }
  int32_t LastFill() const {
    return data.empty() ? 0 : static_cast<int32_t>(data.size() - (PageCount() - 1) * payloadSize);
  }
};

class Layout {
 public:
  explicit Layout(int generation) : generation_(generation) {}

  // Reserves the page slots of `streams`, one page of each in turn or stream after stream.
  void Place(std::vector<PlacedStream*> streams, bool interleave) {
    if (interleave) {
      for (size_t round = 0;; ++round) {
        bool any = false;
        for (PlacedStream* s : streams) {
          if (round < s->PageCount()) {
            s->positions.push_back(Reserve(*s));
            any = true;
          }
        }
        if (!any) break;
      }
    } else {
      for (PlacedStream* s : streams) {
        for (size_t k = 0; k < s->PageCount(); ++k) s->positions.push_back(Reserve(*s));
      }
    }
  }

  // Writes the pages of a placed stream into the image.
  void Emit(std::vector<uint8_t>& image, const PlacedStream& s) const {
    for (size_t k = 0; k < s.positions.size(); ++k) {
      ByteWriter page;
      page.Text(generation_ == 1 ? "PAGE" : "PAG1").I32(static_cast<int32_t>(k));
      page.I64(k == 0 ? -1 : s.positions[k - 1]);
      const bool last = k + 1 == s.positions.size();
      page.I64(last ? -1 : (s.nextLinksFromTable ? -2 : s.positions[k + 1]));
      if (generation_ != 1) page.I32(0).I32(0);
      std::copy(page.bytes().begin(), page.bytes().end(), image.begin() + s.positions[k]);
      // The payload follows the header; the unused rest of the last page stays zero.
      const size_t from = k * s.payloadSize;
      const size_t count = std::min<size_t>(s.payloadSize, s.data.size() - from);
      std::copy_n(s.data.begin() + static_cast<std::ptrdiff_t>(from), count,
                  image.begin() + s.positions[k] + static_cast<std::ptrdiff_t>(page.size()));
    }
  }

  int64_t end() const { return end_; }
  void SetEnd(int64_t end) { end_ = end; }

 private:
  int64_t Reserve(const PlacedStream& s) {
    const int64_t at = end_;
    end_ += static_cast<int64_t>(PageHeaderBytes(generation_)) + s.payloadSize;
    return at;
  }
  int generation_;
  int64_t end_ = 0;
};

void AppendEntry(ByteWriter& out, int generation, int64_t positionField, const PlacedStream& s) {
  out.I64(positionField).FixedText(s.code, 8);
  out.I64(s.positions.empty() ? -1 : s.positions.front());
  out.I64(s.positions.empty() ? -1 : s.positions.back());
  out.I32(s.LastFill()).I32(s.positions.empty() ? 0 : static_cast<int32_t>(s.positions.size() - 1));
  if (generation >= 3) out.U8(0);
  out.I32(s.payloadSize);
  if (generation >= 2) out.U8(s.inPageTable ? 1 : 0);
}

}  // namespace

std::vector<uint8_t> BuildPageTable(const std::vector<const std::vector<int64_t>*>& listedPages,
                                    const std::vector<std::pair<int32_t, int64_t>>& extra) {
  ByteWriter table;
  table.I32(1).I32(0);
  int32_t records = 0;
  for (size_t number = 0; number < listedPages.size(); ++number) {
    if (listedPages[number] == nullptr) continue;
    for (int64_t position : *listedPages[number]) {
      table.I32(static_cast<int32_t>(number)).I64(position);
      ++records;
    }
  }
  for (const auto& [number, position] : extra) {
    table.I32(number).I64(position);
    ++records;
  }
  table.PatchU32(4, static_cast<uint32_t>(records));
  return table.Take();
}

WrittenMultiStream BuildMultiStreamFile(const MultiStreamOptions& options, const std::vector<StoredStreamLayout>& layouts) {
  const int generation = options.generation;
  if (generation < 1 || generation > 4) throw std::invalid_argument("generation must be 1 to 4");
  if (options.description.size() > kDescriptionField) throw std::invalid_argument("description too long");

  std::vector<PlacedStream> streams;
  streams.reserve(layouts.size() + 1);
  for (const StoredStreamLayout& layout : layouts) {
    streams.push_back({layout.code, layout.data, layout.payloadSize, layout.inPageTable && generation >= 2,
                       layout.nextLinksFromTable, {}});
  }
  Layout layout(generation);
  layout.SetEnd(static_cast<int64_t>(kTestDirectoryEntryOffset + EntryBytes(generation)));
  {
    std::vector<PlacedStream*> data;
    for (PlacedStream& s : streams) data.push_back(&s);
    layout.Place(data, options.interleave);
  }

  std::vector<uint8_t> tableContent;
  if (options.writePageTable) {
    std::vector<const std::vector<int64_t>*> listed;
    for (const auto& stream : streams) listed.push_back(stream.inPageTable ? &stream.positions : nullptr);
    tableContent = BuildPageTable(listed, options.extraPageTableRecords);
    streams.push_back({"___PAGES", tableContent, options.pageTablePayloadSize, false, false, {}});
    layout.Place({&streams.back()}, false);
  }

  ByteWriter directoryContent;
  directoryContent.I32(static_cast<int32_t>(streams.size()));
  std::vector<int64_t> entryOffsets;
  for (const PlacedStream& s : streams) {
    entryOffsets.push_back(static_cast<int64_t>(directoryContent.size()));
    AppendEntry(directoryContent, generation, entryOffsets.back(), s);
  }
  const std::vector<uint8_t> directoryBytes = directoryContent.Take();
  PlacedStream directory{"___INDEX", directoryBytes, options.directoryPayloadSize, false, false, {}};
  layout.Place({&directory}, false);

  ByteWriter header;
  header.Text(kMagic[generation - 1]).I32(static_cast<int32_t>(options.description.size()));
  header.FixedText(options.description, kDescriptionField).U8(0);
  AppendEntry(header, generation, static_cast<int64_t>(kTestDirectoryEntryOffset), directory);

  WrittenMultiStream written;
  written.bytes.assign(static_cast<size_t>(layout.end()), 0);
  std::copy(header.bytes().begin(), header.bytes().end(), written.bytes.begin());
  for (const PlacedStream& s : streams) layout.Emit(written.bytes, s);
  layout.Emit(written.bytes, directory);

  for (size_t i = 0; i < streams.size(); ++i) {
    written.streams.push_back(
        {streams[i].code, static_cast<int32_t>(i), streams[i].payloadSize, streams[i].positions, entryOffsets[i]});
  }
  written.directory = {directory.code, -1, directory.payloadSize, directory.positions, -1};
  return written;
}

WrittenMultiStream WriteMultiStreamFile(const std::string& path, const MultiStreamOptions& options,
                                        const std::vector<StoredStreamLayout>& streams) {
  WrittenMultiStream written = BuildMultiStreamFile(options, streams);
  WriteFile(path, written.bytes);
  return written;
}

std::string DescriptionForVersion(int version) {
  // Characters 15 and 16 must be ".x" for the version to count.
  std::string text = "KorvaneRecorder.x VER";
  if (version >= 7000 && version < 8000) {
    text += "X" + std::to_string((version - 7000) / 100) + " SP" + std::to_string(version % 100);
  } else if (version >= 8000) {
    text += std::to_string(2000 + (version - 7000) / 100) + "." + std::to_string(version % 100);
  } else {
    text += std::to_string(version / 1000) + "." + std::to_string(version / 100 % 10) + "." +
            std::to_string(version % 10);
  }
  return text;
}

std::vector<uint8_t> PatternBytes(size_t count, uint8_t seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + seed) % 251);
  return bytes;
}

void PatchI32(std::vector<uint8_t>& bytes, size_t position, int32_t value) {
  for (size_t i = 0; i < 4; ++i) bytes.at(position + i) = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

void PatchI64(std::vector<uint8_t>& bytes, size_t position, int64_t value) {
  for (size_t i = 0; i < 8; ++i) bytes.at(position + i) = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}

}  // namespace Korvane::DataReader::TestKit

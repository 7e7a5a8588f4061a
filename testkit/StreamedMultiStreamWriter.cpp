// The streamed container writer: the layout pass places every page from the stream
// sizes alone, then each page is produced and written at its place.
#include "testkit/StreamedMultiStreamWriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "testkit/ByteWriter.h"

namespace Korvane::DataReader::TestKit {
namespace {

const char* const kMagic[] = {"MULTI_STREAM_FILE_VER0100", "MULTI_STREAM_FILE_VER0200", "MULTI_STREAM_FILE_VER0201",
                              "MULTI_STREAM_FILE_VER0210"};
constexpr size_t kDescriptionField = 96;
constexpr char kPageTableCode[] = "___PAGES";
constexpr char kDirectoryCode[] = "___INDEX";

int32_t PageHeaderBytes(int generation) { return generation == 1 ? 24 : 32; }
size_t EntryBytes(int generation) { return generation == 1 ? 44 : generation == 2 ? 45 : 46; }

// A stream while it is laid out: its source and the positions of its pages.
struct Placed {
  const StreamSource* source;
  bool inPageTable;
  std::vector<int64_t> positions;

  int64_t PageCount() const {
    return source->size == 0 ? 0 : (source->size + source->payloadSize - 1) / source->payloadSize;
  }
  int32_t LastFill() const {
    return source->size == 0 ? 0 : static_cast<int32_t>(source->size - (PageCount() - 1) * source->payloadSize);
  }
};

class PageLayout {
 public:
  PageLayout(int generation, int64_t start) : generation_(generation), end_(start) {}

  void Place(const std::vector<Placed*>& streams, bool interleave) {
    if (interleave) {
      for (int64_t round = 0;; ++round) {
        bool any = false;
        for (Placed* s : streams) {
          if (round < s->PageCount()) {
            s->positions.push_back(Reserve(*s));
            any = true;
          }
        }
        if (!any) break;
      }
      return;
    }
    for (Placed* s : streams) {
      for (int64_t k = 0; k < s->PageCount(); ++k) s->positions.push_back(Reserve(*s));
    }
  }

  int64_t end() const { return end_; }

 private:
  int64_t Reserve(const Placed& s) {
    const int64_t at = end_;
    end_ += PageHeaderBytes(generation_) + s.source->payloadSize;
    return at;
  }
  int generation_;
  int64_t end_;
};

void AppendEntry(ByteWriter& out, int generation, int64_t positionField, const Placed& s) {
  out.I64(positionField).FixedText(s.source->code, 8);
  out.I64(s.positions.empty() ? -1 : s.positions.front());
  out.I64(s.positions.empty() ? -1 : s.positions.back());
  out.I32(s.LastFill()).I32(s.positions.empty() ? 0 : static_cast<int32_t>(s.positions.size() - 1));
  if (generation >= 3) out.U8(0);
  out.I32(s.source->payloadSize);
  if (generation >= 2) out.U8(s.inPageTable ? 1 : 0);
}

// Writes the pages of one stream, each header followed by its payload and the
// zero-filled rest of the page.
void WritePages(std::ofstream& out, int generation, const Placed& s) {
  const int32_t header = PageHeaderBytes(generation);
  std::vector<uint8_t> page(static_cast<size_t>(header + s.source->payloadSize));
  for (size_t k = 0; k < s.positions.size(); ++k) {
    ByteWriter head;
    head.Text(generation == 1 ? "PAGE" : "PAG1").I32(static_cast<int32_t>(k));
    head.I64(k == 0 ? -1 : s.positions[k - 1]);
    const bool last = k + 1 == s.positions.size();
    head.I64(last ? -1 : (s.source->nextLinksFromTable ? -2 : s.positions[k + 1]));
    if (generation != 1) head.I32(0).I32(0);
    std::memcpy(page.data(), head.bytes().data(), head.size());
    const int64_t from = static_cast<int64_t>(k) * s.source->payloadSize;
    const auto count = static_cast<size_t>(std::min<int64_t>(s.source->payloadSize, s.source->size - from));
    s.source->fill(from, page.data() + header, count);
    std::fill(page.begin() + header + static_cast<std::ptrdiff_t>(count), page.end(), 0);
    out.seekp(s.positions[k]);
    out.write(reinterpret_cast<const char*>(page.data()), static_cast<std::streamsize>(page.size()));
  }
}

}  // namespace

StreamSource BytesSource(const std::string& code, const std::vector<uint8_t>& bytes, int32_t payloadSize) {
  const uint8_t* data = bytes.data();
  return {.code = code,
          .size = static_cast<int64_t>(bytes.size()),
          .fill = [data](int64_t offset, uint8_t* out, size_t count) {
            if (count > 0) std::memcpy(out, data + offset, count);
          },
          .payloadSize = payloadSize};
}

StreamedMultiStream WriteMultiStreamFileStreamed(const std::string& path, const MultiStreamOptions& options,
                                                 const std::vector<StreamSource>& sources) {
  const int generation = options.generation;
  if (generation < 1 || generation > 4) throw std::invalid_argument("generation must be 1 to 4");
  if (options.description.size() > kDescriptionField) throw std::invalid_argument("description too long");
  for (const StreamSource& source : sources) {
    if (source.payloadSize <= 0 || source.size < 0) throw std::invalid_argument("stream " + source.code + " unusable");
  }

  std::vector<Placed> streams;
  streams.reserve(sources.size() + 1);
  for (const StreamSource& source : sources) streams.push_back({&source, source.inPageTable && generation >= 2, {}});
  PageLayout layout(generation, static_cast<int64_t>(kTestDirectoryEntryOffset + EntryBytes(generation)));
  {
    std::vector<Placed*> data;
    for (Placed& s : streams) data.push_back(&s);
    layout.Place(data, options.interleave);
  }

  // The page table and the directory are small enough to build in memory.
  std::vector<uint8_t> tableContent;
  StreamSource tableSource;
  if (options.writePageTable) {
    std::vector<const std::vector<int64_t>*> listed;
    for (const auto& stream : streams) listed.push_back(stream.inPageTable ? &stream.positions : nullptr);
    tableContent = BuildPageTable(listed, options.extraPageTableRecords);
    tableSource = BytesSource(kPageTableCode, tableContent, options.pageTablePayloadSize);
    streams.push_back({&tableSource, false, {}});
    layout.Place({&streams.back()}, false);
  }

  ByteWriter directoryContent;
  directoryContent.I32(static_cast<int32_t>(streams.size()));
  std::vector<int64_t> entryOffsets;
  for (const Placed& s : streams) {
    entryOffsets.push_back(static_cast<int64_t>(directoryContent.size()));
    AppendEntry(directoryContent, generation, entryOffsets.back(), s);
  }
  const std::vector<uint8_t> directoryBytes = directoryContent.Take();
  const StreamSource directorySource = BytesSource(kDirectoryCode, directoryBytes, options.directoryPayloadSize);
  Placed directory{&directorySource, false, {}};
  layout.Place({&directory}, false);

  ByteWriter header;
  header.Text(kMagic[generation - 1]).I32(static_cast<int32_t>(options.description.size()));
  header.FixedText(options.description, kDescriptionField).U8(0);
  AppendEntry(header, generation, static_cast<int64_t>(kTestDirectoryEntryOffset), directory);

  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.bytes().data()), static_cast<std::streamsize>(header.size()));
  for (const Placed& s : streams) WritePages(out, generation, s);
  WritePages(out, generation, directory);
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);

  StreamedMultiStream written;
  for (size_t i = 0; i < streams.size(); ++i) {
    written.streams.push_back({streams[i].source->code, static_cast<int32_t>(i), streams[i].source->payloadSize,
                               streams[i].positions, entryOffsets[i]});
  }
  written.directory = {kDirectoryCode, -1, options.directoryPayloadSize, directory.positions, -1};
  written.fileBytes = layout.end();
  written.pageHeaderBytes = PageHeaderBytes(generation);
  return written;
}

void ForEachFilePiece(const WrittenStream& stream, int32_t pageHeaderBytes, int64_t offset, int64_t count,
                      const std::function<void(int64_t filePosition, int64_t byteCount)>& visit) {
  while (count > 0) {
    const int64_t page = offset / stream.payloadSize;
    const int64_t within = offset % stream.payloadSize;
    if (page >= static_cast<int64_t>(stream.pagePositions.size())) throw std::out_of_range("range past the stream");
    const int64_t piece = std::min<int64_t>(count, stream.payloadSize - within);
    visit(stream.pagePositions[static_cast<size_t>(page)] + pageHeaderBytes + within, piece);
    offset += piece;
    count -= piece;
  }
}

}  // namespace Korvane::DataReader::TestKit

// A whole data file behind a small header of parameter bytes: the file is opened
// through the C interface and every exported query runs on it, with channel indexes,
// positions, counts, levels and capacities drawn from the parameters around the
// counts the library reports (negative, zero, huge, exactly at the end). Every host
// buffer has guard bytes on both sides, checked after each call.
// Input: kParamBytes parameter bytes (byte 0: bit 0 opens the file as zip-packaged,
// bit 1 also runs the registry forms, bit 2 closes the file before the reader is
// destroyed), then the file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "fuzz/QueryArguments.h"
#include "fuzz/ReaderQueries.h"
#include "testkit/ByteWriter.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::Fuzz {
namespace {

// The channels a pass visits: those the lists name, and indexes no list has.
constexpr size_t kMaxChannels = 24;

struct ListedChannel {
  int32_t index = 0;
  int32_t arraySize = 1;
  std::string name;
};

using CountFunction = KVStatus (*)(KVReaderHandle, int32_t*);
using ListFunction = KVStatus (*)(KVReaderHandle, KVChannel*);
using ItemFunction = KVStatus (*)(KVReaderHandle, int32_t, int32_t*, char*, char*, char*, int32_t*, int32_t*,
                                  int32_t);

int32_t Count(KVReaderHandle reader, CountFunction count, const char* call) {
  Out<int32_t> n;
  count(reader, n.p());
  n.Check(call);
  return n.Get();
}

// A channel list: its records, then single items at positions around its end.
void QueryList(KVReaderHandle reader, Params& params, CountFunction count, ListFunction list, ItemFunction item,
               std::vector<ListedChannel>& seen) {
  const int32_t n = Count(reader, count, "channel list count");
  if (n >= 0 && n <= 100000) {
    Guarded records(static_cast<size_t>(n) * sizeof(KVChannel));
    if (list(reader, records.As<KVChannel>()) == KVOk) {
      for (int32_t i = 0; i < n && seen.size() < kMaxChannels; ++i) {
        const KVChannel& c = records.As<KVChannel>()[i];
        seen.push_back({c.index, c.array_size, std::string(c.name, strnlen(c.name, sizeof c.name))});
      }
    }
    records.Check("channel list");
  }
  if (item == nullptr) return;
  for (int round = 0; round < 3; ++round) {
    const int32_t position = params.Around32(n);
    const int32_t maxLength = params.TextLength(100);
    const auto cut = [&](int32_t field) { return static_cast<size_t>(std::clamp(maxLength, 0, field)); };
    Out<int32_t> index, color, arraySize;
    Guarded name(cut(100)), unit(cut(20)), description(cut(200));
    item(reader, position, index.p(), name.Chars(), unit.Chars(), description.Chars(), color.p(), arraySize.p(),
         maxLength);
    CheckAll("channel list item", index, color, arraySize, name, unit, description);
  }
}

void QueryFile(KVReaderHandle reader, Params& params, const std::string& exportPath) {
  Out<KVMeasurementInfo> info;
  KVIGetMeasurementInfo(reader, info.p());
  Out<int32_t> value;
  KVIGetMultiFileIndex(reader, value.p());
  KVIGetStoringType(reader, value.p());
  CheckAll("file queries", info, value);

  static const char* const kStreams[] = {"SETUP___", "MEASINFO", "EVENTS__", "DBASDATX", "___INDEX",
                                         "NDASDATX", "IBDATA0",  "DBDATA",   "BINDATA",  "",
                                         "NOSUCHST"};
  const char* stream = kStreams[params.Byte() % std::size(kStreams)];
  Out<int32_t> size;
  KVIGetStream(reader, stream, nullptr, size.p());
  size.Check("stream size");
  const int64_t needed = size.Get();
  if (needed >= 0 && needed <= kMaxBufferBytes) {
    const int64_t capacity = params.Bit() ? needed : std::max<int64_t>(needed - 1 - params.Byte() % 3, 0);
    Guarded buffer(static_cast<size_t>(capacity));
    *size.p() = static_cast<int32_t>(capacity);
    KVIGetStream(reader, stream, buffer.As(), size.p());
    CheckAll("stream", buffer, size);
  }
  KVIExportHeader(reader, exportPath.c_str());
}

void QueryHeaderEntries(KVReaderHandle reader, Params& params, std::vector<ListedChannel>& seen) {
  const int32_t n = Count(reader, KVIGetHeaderEntryCount, "header entry count");
  std::vector<int32_t> indexes;
  if (n >= 0 && n <= 100000) {
    Guarded records(static_cast<size_t>(n) * sizeof(KVChannel));
    if (KVIGetHeaderEntryList(reader, records.As<KVChannel>()) == KVOk) {
      for (int32_t i = 0; i < n && i < 8; ++i) indexes.push_back(records.As<KVChannel>()[i].index);
    }
    records.Check("header entry list");
  }
  for (const int32_t index : indexes) {
    if (seen.size() < kMaxChannels) seen.push_back({index, 1, {}});
  }
  indexes.push_back(params.Around32(n));
  for (const int32_t index : indexes) {
    const int32_t maxLength = std::min(params.TextLength(256), 4096);
    Guarded text(static_cast<size_t>(std::max(maxLength, 0)));
    KVIGetHeaderEntryText(reader, index, text.Chars(), maxLength);
    text.Check("header entry text");
  }
  using PositionText = KVStatus (*)(KVReaderHandle, int32_t, char*, int32_t);
  for (int round = 0; round < 2; ++round) {
    const int32_t position = params.Around32(n);
    for (const PositionText f : {PositionText{KVIGetHeaderEntryTextF}, PositionText{KVIGetHeaderEntryNameF},
                                 PositionText{KVIGetHeaderEntryIDF}}) {
      const int32_t maxLength = std::min(params.TextLength(256), 4096);
      Guarded text(static_cast<size_t>(std::max(maxLength, 0)));
      f(reader, position, text.Chars(), maxLength);
      text.Check("header entry text at a position");
    }
    const int32_t maxLength = params.TextLength(100);
    const auto cut = [&](int32_t field) { return static_cast<size_t>(std::clamp(maxLength, 0, field)); };
    Out<int32_t> index, arraySize;
    Out<uint32_t> color;
    Guarded name(cut(100)), unit(cut(20)), description(cut(200));
    KVIGetHeaderEntryListItem(reader, position, index.p(), name.Chars(), unit.Chars(), description.Chars(),
                              color.p(), arraySize.p(), maxLength);
    CheckAll("header entry item", index, arraySize, color, name, unit, description);
  }
}

void QueryEvents(KVReaderHandle reader, Params& params) {
  const int32_t n = Count(reader, KVIGetEventListCount, "event count");
  if (n >= 0 && n <= 100000) {
    Guarded events(static_cast<size_t>(n) * sizeof(KVEvent));
    KVIGetEventList(reader, events.As<KVEvent>());
    events.Check("event list");
  }
  for (int round = 0; round < 3; ++round) {
    const int32_t position = params.Around32(n);
    const int32_t maxLength = std::min(params.TextLength(200), 4096);
    Out<int32_t> type;
    Out<double> time;
    Guarded text(static_cast<size_t>(std::max(maxLength, 0)));
    KVIGetEventListItem(reader, position, type.p(), time.p(), text.Chars(), maxLength);
    KVIGetEventTimeF(reader, position, time.p());
    KVIGetEventTypeF(reader, position, type.p());
    KVIGetEventTextF(reader, position, text.Chars(), maxLength);
    CheckAll("event item", type, time, text);
  }
}

}  // namespace

void QueryEverything(KVReaderHandle reader, Params& params, const std::string& exportPath) {
  QueryFile(reader, params, exportPath);
  std::vector<ListedChannel> seen;
  QueryList(reader, params, KVIGetChannelListCount, KVIGetChannelList, KVIGetChannelListItem, seen);
  std::vector<int32_t> listArraySizes;
  for (const ListedChannel& c : seen) listArraySizes.push_back(c.arraySize);
  QueryList(reader, params, KVIGetComplexChannelListCount, KVIGetComplexChannelList, KVIGetComplexChannelListItem,
            seen);
  QueryList(reader, params, KVIGetBinChannelListCount, KVIGetBinChannelList, nullptr, seen);
  QueryHeaderEntries(reader, params, seen);
  QueryEvents(reader, params);
  QueryTables(reader, params, listArraySizes);

  // Indexes no list names: around the largest listed, and the extremes.
  int32_t largest = -1;
  for (const ListedChannel& c : seen) largest = std::max(largest, c.index);
  const int32_t other = params.Around32(largest + 1);
  seen.push_back({other, ValuesPerSample(reader, other), {}});
  std::vector<int32_t> indexes;
  for (const ListedChannel& c : seen) {
    QueryChannel(reader, params, c.index, c.arraySize);
    indexes.push_back(c.index);
  }
  QueryReducedBlock(reader, params, indexes);
}

}  // namespace Korvane::DataReader::Fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace Korvane::DataReader;
  static TestKit::TempDir directory;
  const size_t paramBytes = std::min(size, Fuzz::kParamBytes);
  const uint8_t flags = paramBytes > 0 ? data[0] : 0;
  const std::vector<uint8_t> file(data + paramBytes, data + size);
  const std::string path = directory.File((flags & 1) != 0 ? "input.kxz" : "input.kvd");
  TestKit::WriteFile(path, file);
  const std::string exportPath = directory.File("header.xml");

  Fuzz::Params params(data + std::min<size_t>(paramBytes, 1), paramBytes > 0 ? paramBytes - 1 : 0);
  // A reader per input, so that whatever one file leaves behind shows as a leak.
  KVReaderHandle reader = nullptr;
  if (KVICreateReader(&reader) != KVOk) return 0;
  Fuzz::Out<KVFileInfo> info;
  if (KVIOpenDataFile(reader, path.c_str(), info.p()) == KVOk) {
    info.Check("open");
    Fuzz::QueryEverything(reader, params, exportPath);
    if ((flags & 4) != 0) KVICloseDataFile(reader);  // else destroying the reader closes it
  }
  KVIDestroyReader(reader);
  if ((flags & 2) != 0) {
    Fuzz::Params again(data + std::min<size_t>(paramBytes, 1), paramBytes > 0 ? paramBytes - 1 : 0);
    Fuzz::QueryRegistryForms(path, again, exportPath);
  }
  return 0;
}

// Any bytes as a whole data file, opened through the C interface as a plain and as
// a zip-packaged file, followed by every file query, every channel list, every list
// item and every channel property. Whatever the bytes, each call returns a status.
#include <cstdint>
#include <string>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/ByteWriter.h"
#include "testkit/TempDir.h"

namespace {

using CountFunction = KVStatus (*)(KVReaderHandle, int32_t*);
using ListFunction = KVStatus (*)(KVReaderHandle, KVChannel*);

void QueryList(KVReaderHandle reader, CountFunction count, ListFunction list) {
  int32_t n = 0;
  if (count(reader, &n) != KVOk || n < 0 || n > 100000) return;
  std::vector<KVChannel> channels(static_cast<size_t>(n) + 1);
  list(reader, channels.data());
}

void QueryEverything(KVReaderHandle reader) {
  KVMeasurementInfo info;
  KVIGetMeasurementInfo(reader, &info);
  int32_t value = 0;
  KVIGetMultiFileIndex(reader, &value);
  KVIGetStoringType(reader, &value);
  int32_t size = 0;
  KVIGetStream(reader, "SETUP___", nullptr, &size);
  QueryList(reader, KVIGetChannelListCount, KVIGetChannelList);
  QueryList(reader, KVIGetComplexChannelListCount, KVIGetComplexChannelList);
  QueryList(reader, KVIGetBinChannelListCount, KVIGetBinChannelList);

  int32_t channels = 0;
  KVIGetChannelListCount(reader, &channels);
  char name[100], unit[20], description[200];
  int32_t index = 0, color = 0, arraySize = 0;
  for (int32_t position = -1; position <= channels && position < 64; ++position) {
    KVIGetChannelListItem(reader, position, &index, name, unit, description, &color, &arraySize, 100);
    KVIGetComplexChannelListItem(reader, position, &index, name, unit, description, &color, &arraySize, 100);
  }
  std::vector<uint8_t> buffer(1 << 16);
  for (int32_t channel = -1; channel < 64; ++channel) {
    double scale = 0, offset = 0;
    if (KVIGetChannelFactors(reader, channel, &scale, &offset) == KVInvalidIndex && channel >= 0) break;
    for (int32_t selector = -1; selector <= 15; ++selector) {
      size = static_cast<int32_t>(buffer.size());
      KVIGetChannelProps(reader, channel, selector, buffer.data(), &size);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Korvane::DataReader::TestKit::TempDir directory;
  static KVReaderHandle reader = [] {
    KVReaderHandle created = nullptr;
    KVICreateReader(&created);
    return created;
  }();
  const std::vector<uint8_t> bytes(data, data + size);
  for (const char* name : {"input.kvd", "input.kxz"}) {
    const std::string path = directory.File(name);
    Korvane::DataReader::TestKit::WriteFile(path, bytes);
    KVFileInfo info;
    if (KVIOpenDataFile(reader, path.c_str(), &info) == KVOk) {
      QueryEverything(reader);
      KVICloseDataFile(reader);
    }
  }
  return 0;
}

// Any bytes as an event stream: read in both text layouts, listed for the host and
// turned into recorded regions. Only the library's own exceptions may leave.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "events/CKVEventHelper.h"
#include "multistream/CMultiStream.h"
#include "testkit/MultiStreamWriter.h"
#include "testkit/TempDir.h"

namespace {

using namespace Korvane::DataReader;

void ReadListAndDeriveRegions(MultiStream::CBaseStream* stream, bool oldFormat) {
  Events::CKVEventHelper helper;
  helper.SetOldFormat(oldFormat);
  helper.SetBlockSize(100);
  helper.SetSampleRate(1000);
  helper.SetIBRates({100, 20, 20, 20, 20, 20});
  try {
    helper.ReadFromStream(stream);
  } catch (const DataReaderLibException&) {
    // What was read before the damage stays listed.
  }
  std::vector<KVEvent> events(static_cast<size_t>(helper.GetEventListCnt()));
  helper.GetEventList(events.data());
  std::vector<Events::KVStartStopEvent> regions(static_cast<size_t>(helper.GetStartStopEventListCnt()));
  try {
    helper.GetStartStopEventList(regions.data());
  } catch (const DataReaderLibException&) {
  }
  helper.GetStartEvent();
  helper.GetStopEvent();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TestKit::TempDir directory;
  const std::string path = directory.File("events.kvd");
  TestKit::WriteMultiStreamFile(path, {}, {{.code = "EVENTS__", .data = std::vector<uint8_t>(data, data + size)}});
  for (bool oldFormat : {false, true}) {
    MultiStream::CMultiStream container;
    container.OpenFile(path.c_str());
    ReadListAndDeriveRegions(container.StreamByCode("EVENTS__"), oldFormat);
  }
  return 0;
}

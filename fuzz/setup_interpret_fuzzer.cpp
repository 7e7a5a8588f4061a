// Interprets any bytes as a setup document: parse, measurement properties,
// channel list with every device walker, layouts and binding; then exercises
// each channel's sizes and decoding on a zeroed sample. A setup that cannot be
// interpreted must end in the documented exceptions; any crash, sanitizer report
// or other exception is a finding.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/DataReaderLibException.h"
#include "setup/CKVXMLHelper.h"
#include "xml/XML.h"

namespace {

using namespace Korvane::DataReader;

void ExerciseChannels(const CKVXMLHelper& helper) {
  const std::vector<uint8_t> sample(kLargestSampleBytes, 0);
  for (const auto& channel : helper.GetChannelList()) {
    int64_t position = 0;
    (void)channel->GetScaledValueFromBuf(sample.data(), position, nullptr);
    (void)channel->GetSetupXML();
    (void)channel->GetPropertiesXML();
    for (int level = 0; level < kIBLevelCount; ++level) (void)channel->GetIBRecSize(level);
    KVChannel record;
    channel->GetChannelInfo(&record);
    for (const CArrayInfo& axis : channel->ArrayInfo) {
      char text[32];
      try {
        axis.getIndexValue(0, text, sizeof text);
      } catch (const std::out_of_range&) {
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  auto document = std::make_unique<XML>();
  document->LoadText(std::string_view(text));
  CKVXMLHelper helper;
  try {
    helper.InterpretDocument(std::move(document), 7305);
    ExerciseChannels(helper);
  } catch (const DataReaderLibException&) {
  } catch (const std::invalid_argument&) {
  } catch (const std::out_of_range&) {
  }
  return 0;
}

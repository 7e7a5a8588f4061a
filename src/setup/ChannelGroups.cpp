// Lookups in the channel group table.
#include "setup/ChannelGroups.h"

namespace Korvane::DataReader {

int32_t ChannelGroupCode(std::string_view name) noexcept {
  for (const ChannelGroup& group : kChannelGroups) {
    if (group.name == name) return group.code;
  }
  return 0;
}

const ChannelGroup* ChannelGroupByNumericText(std::string_view text) noexcept {
  if (text.empty()) return nullptr;
  for (const ChannelGroup& group : kChannelGroups) {
    if (group.numericText == text) return &group;
  }
  return nullptr;
}

}  // namespace Korvane::DataReader

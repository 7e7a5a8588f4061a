// The channel group table of the file format: field 1 of a channel's index names its
// group; older files wrote the group's numeric text instead of its name. The table is
// constant data; lookups return pointers into it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace Korvane::DataReader {

struct ChannelGroup {
  std::string_view name;
  int32_t code;
  // The numeric text older files wrote for the group; empty when that text is not
  // converted (the group whose name is itself numeric).
  std::string_view numericText;
};

// In lookup order: the first match wins.
inline constexpr std::array<ChannelGroup, 24> kChannelGroups = {{
    {"AI", 1, "1"},
    {"DI", 100, "100"},
    {"CNT", 200, "200"},
    {"DAQ Out", 300, "300"},
    {"PAD", 1000, "1000"},
    {"CAN", 2000, "2000"},
    {"MathOld", 3000, "3000"},
    {"GPS", 4000, "4000"},
    {"Control", 5000, "5000"},
    {"Power", 6000, "6000"},
    {"Math", 7000, "7000"},
    {"Plugins", 100000, "100000"},
    {"COM", 101000, "101000"},
    {"Remote", 102000, "102000"},
    {"AO", 200000, "200000"},
    {"500000", 500000, ""},
    {"Variables", 600000, "600000"},
    {"Video", 700000, "700000"},
    {"Import", 800000, "800000"},
    {"VC Info", 900000, "900000"},
    {"System Monitor", 1000000, "1000000"},
    {"Event log", 1200000, "1200000"},
    {"RT", 1400000, "1400000"},
    {"Lumaq", 1500000, "1500000"},
}};

// The code of the group with that exact (case-sensitive) name, 0 for any other text.
int32_t ChannelGroupCode(std::string_view name) noexcept;

// The group whose numeric text is `text`, or null.
const ChannelGroup* ChannelGroupByNumericText(std::string_view text) noexcept;

}  // namespace Korvane::DataReader

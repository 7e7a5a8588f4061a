// Channel index strings ("KVIndex"): ";"-separated fields such as "AI;0", "DI;2;5" or
// "CAN;0;1610612736;1", optionally behind a computer name ("PC:x;AI;0"). Field 1 names
// the channel group; later fields number device, slot, bit, message or signal. All
// functions work on caller-owned zero-terminated texts and never write past the
// buffer sizes they are given.
#pragma once

#include <cstddef>

namespace Korvane::DataReader {

// A channel's own index field holds at most 31 characters.
inline constexpr size_t kKVIndexBytes = 32;
// Texts built while editing an index hold at most 103 characters.
inline constexpr size_t kKVIndexEditBytes = 104;

// True when the text has at least three characters and a ':' at index 2 or later.
bool HasComputerNameBeforeKVIndex(const char* text) noexcept;

// 2 + the number of ';' in the text, less 1 when a computer name is present: "AI;0"
// gives 3, "DI;2;5" 4, "" 2.
int GetKVIndexLevel(const char* text) noexcept;

// Writes field `position` (position + 1 behind a computer name) to `out`, cut to
// outSize - 1 characters and terminated; an absent field gives "". Fields count from
// 1 at each ';'; every ':' empties what was collected so far.
void GetKVIndexAtPos(const char* text, int position, char* out, size_t outSize) noexcept;

// Replaces the content of field `position` (position + 1 behind a computer name) by
// `name`, in place, the result cut to textSize - 1 characters. Here ':' separates
// fields as ';' does, and the count starts at 0 when the text has any ':' (1
// otherwise). An empty or absent field is left as it is.
void SetKVIndexAtPos(char* text, size_t textSize, int position, const char* name);

// Copies `source` to `destination` (CopyStr, destinationSize bytes) and, when its
// field 1 is the numeric text of a channel group written by older files, replaces
// that field by the group's name: "1;0" becomes "AI;0", "2000;1;7" "CAN;1;7";
// "500000" and other texts stay.
void ConvertToKVIndex(const char* source, char* destination, size_t destinationSize);

}  // namespace Korvane::DataReader

// The regions a recording stores beside the regions the library reads after its
// repair of a cut-off recording, matched one to one: what the repair kept, moved,
// closed or dropped, and what it added.
#pragma once

#include <optional>
#include <vector>

#include "Regions.h"

namespace kvtool {

enum class RegionState {
  kKept,     // stored and read alike
  kMoved,    // the repair moved the stop (to the end of the stored data)
  kClosed,   // stored without a stop; the repair gave it one
  kDropped,  // stored, but the repair removed it (no data of it reached the file)
  kAdded,    // not stored; the repair made it (a recording without a usable region)
};
const char* RegionStateName(RegionState state);  // "kept", "moved", "closed", "dropped", "added"

// A stored region in seconds; a start the recording never stopped has no stop.
struct StoredSpan {
  double start = 0;
  std::optional<double> stop;
};

struct RegionRow {
  RegionState state = RegionState::kKept;
  std::optional<StoredSpan> stored;
  std::optional<Region> repaired;
};

// The repair keeps the regions before the first damaged one, changes that one's
// stop (or drops it) and removes every event after it, then may append: so the
// lists are matched by position, a stored region matching the repaired one at its
// position when the starts agree. Times agree when they differ by less than
// `tolerance` seconds.
std::vector<RegionRow> CompareRegions(const std::vector<StoredSpan>& stored, const std::vector<Region>& repaired,
                                      double tolerance);

// True when every row is kept.
bool AllKept(const std::vector<RegionRow>& rows);

}  // namespace kvtool

// Position-by-position matching of stored and repaired regions.
#include "RegionComparison.h"

#include <cmath>

namespace kvtool {
namespace {

bool Near(double a, double b, double tolerance) { return std::fabs(a - b) < tolerance; }

}  // namespace

const char* RegionStateName(RegionState state) {
  switch (state) {
    case RegionState::kKept: return "kept";
    case RegionState::kMoved: return "moved";
    case RegionState::kClosed: return "closed";
    case RegionState::kDropped: return "dropped";
    case RegionState::kAdded: return "added";
  }
  return "?";
}

std::vector<RegionRow> CompareRegions(const std::vector<StoredSpan>& stored, const std::vector<Region>& repaired,
                                      double tolerance) {
  std::vector<RegionRow> rows;
  size_t matched = 0;
  for (size_t i = 0; i < stored.size(); ++i) {
    const StoredSpan& span = stored[i];
    // Once one is dropped the repair has removed every event behind it.
    if (matched != i || i >= repaired.size() || !Near(span.start, repaired[i].start, tolerance)) {
      rows.push_back({RegionState::kDropped, span, std::nullopt});
      continue;
    }
    const Region& region = repaired[i];
    RegionState state = RegionState::kClosed;
    if (span.stop) state = Near(*span.stop, region.stop, tolerance) ? RegionState::kKept : RegionState::kMoved;
    rows.push_back({state, span, region});
    ++matched;
  }
  for (size_t i = matched; i < repaired.size(); ++i) rows.push_back({RegionState::kAdded, std::nullopt, repaired[i]});
  return rows;
}

bool AllKept(const std::vector<RegionRow>& rows) {
  for (const RegionRow& row : rows) {
    if (row.state != RegionState::kKept) return false;
  }
  return true;
}

}  // namespace kvtool

// CNTSensor: the sector table of a toothed-wheel sensor.
#include "setup/CNTSensor.h"

#include <cstddef>

namespace Korvane::DataReader {

int CNTSensor::getTeeth(int i) const noexcept {
  return i >= 0 && static_cast<size_t>(i) < Sectors.size() ? Sectors[static_cast<size_t>(i)].Teeth : 0;
}

int CNTSensor::getGap(int i) const noexcept {
  return i >= 0 && static_cast<size_t>(i) < Sectors.size() ? Sectors[static_cast<size_t>(i)].Gap : 0;
}

}  // namespace Korvane::DataReader

// The settings of one counter input and the sensor attached to it, as the setup
// describes them under a counter device ("Device" of "Type" "CNT"). Plain values,
// read by the setup interpreter and used only to derive the counter output
// channels' factors and units.
#pragma once

#include <cstdint>
#include <vector>

namespace Korvane::DataReader {

// Marks a sensor value the setup did not give.
inline constexpr int kCNTNotGiven = 2147483647;

// One toothed-wheel sector: a run of teeth followed by a gap.
struct CNTSector {
  int Teeth = 0;
  int Gap = 0;
};

struct CNTSensor {
  int SensorType = kCNTNotGiven;
  float LinearPulsesPerMM = 10.0f;
  char LinOutputUnit[20] = {};
  int EncPulsesPerRev = kCNTNotGiven;
  int EncoderMode = 0;
  std::vector<CNTSector> Sectors;
  float ResGap1 = 0;

  // Teeth and gap of sector i, 0 when there is no such sector.
  int getTeeth(int i) const noexcept;
  int getGap(int i) const noexcept;
  int getTeeth1() const noexcept { return getTeeth(0); }
  int getTeeth2() const noexcept { return getTeeth(1); }
  int getTeeth3() const noexcept { return getTeeth(2); }
  int getGap1() const noexcept { return getGap(0); }
  int getGap2() const noexcept { return getGap(1); }
  int getGap3() const noexcept { return getGap(2); }
};

// Sensor types ("SensorType") that select a branch of the factor derivation.
enum CNTSensorTypeCode : int {
  kSensorEncoder = 0,
  kSensorAngle = 1,
  kSensorToothedWheel = 4,
  kSensorToothedWheelSingleGap = 5,
  kSensorLinear = 6,
  kSensorLinearOther = 7,
  kSensorToothedWheelResidualGap = 8,
};

struct CNTSettings {
  int BaseMode = 0;            // 0 sensor counting, 1 frequency and counting, 2 timing
  int TimingMode = 0;
  int CountingMode = 0;
  int TimingUnit1 = 1;         // 0 s, 1 msec, 2 usec
  int TimingUnit2 = 1;
  int FrequencyUnit = 0;       // 0 Hz, 1 kHz, 2 MHz
  int AngleFrequencyUnit = 0;  // 0 RPM, 1 Hz
  int LinFrequencyUnit = 0;    // 0 per second, 1 per minute, 2 per hour
  CNTSensor Sensor;
  int CntEncoder = 0;
  int CntEncoderPulses = 360;
  int CountingUnit = 0;        // 0 Revs, 1 Degrees, 2 Pulses
  int GateTime = 0;
  int64_t PeriodBaseClock = 40000000;
};

}  // namespace Korvane::DataReader

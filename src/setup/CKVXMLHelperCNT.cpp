// CKVXMLHelper: counter devices. The setup stores counter outputs as raw counts;
// their physical factor (SecondScale) and unit follow from the counter's mode
// and the attached sensor, which FillCNT reads and CalculateCNTScaling turns into
// factors.
#include <algorithm>
#include <string>

#include "common/TextUtils.h"
#include "setup/CKVXMLHelper.h"
#include "setup/SetupValueReader.h"
#include "xml/XMLElement.h"

namespace Korvane::DataReader {

namespace {

// The entry of the output list at `position`, or null.
CKVChannel* Output(const std::vector<CKVChannel*>& outputs, size_t position) {
  return position < outputs.size() ? outputs[position] : nullptr;
}

void SetUnit(CKVChannel* channel, const char* unit) { CopyStr(channel->Unit, unit, CKVChannel::kUnitBytes); }

// A frequency output in Hz, kHz or MHz; `force` sets the unit whatever the
// channel's scale.
void ApplyFrequencyUnit(CKVChannel* channel, int frequencyUnit, bool force) {
  static constexpr struct {
    const char* unit;
    double factor;
  } kUnits[] = {{"Hz", 1.0}, {"kHz", 0.001}, {"MHz", 0.000001}};
  if (frequencyUnit < 0 || frequencyUnit > 2) return;
  const auto& entry = kUnits[frequencyUnit];
  if (force) {
    SetUnit(channel, entry.unit);
  } else {
    CKVXMLHelper::setUnitIfScale1(channel, entry.unit);
  }
  channel->SecondScale = entry.factor;
}

// A speed in revolutions per minute or per second, with the factor of each.
void ApplyAngleFrequencyUnit(CKVChannel* channel, int angleFrequencyUnit, double rpm, double hz) {
  if (angleFrequencyUnit == 0) {
    CKVXMLHelper::setUnitIfScale1(channel, "RPM");
    channel->SecondScale = rpm;
  } else if (angleFrequencyUnit == 1) {
    CKVXMLHelper::setUnitIfScale1(channel, "Hz");
    channel->SecondScale = hz;
  }
}

// A count as degrees, pulses or revolutions, from the factors of one pulse.
void ApplyCountingUnit(CKVChannel* channel, int countingUnit, double degrees, double pulses, double revs) {
  if (countingUnit == 1) {
    CKVXMLHelper::setUnitIfScale1(channel, "Degrees");
    channel->SecondScale = degrees;
  } else if (countingUnit == 2) {
    CKVXMLHelper::setUnitIfScale1(channel, "Pulses");
    channel->SecondScale = pulses;
  } else if (countingUnit == 0) {
    CKVXMLHelper::setUnitIfScale1(channel, "Revs");
    channel->SecondScale = revs;
  }
}

// A period output in s, msec or usec, counted in ticks of the base clock.
void ApplyTimingUnit(CKVChannel* channel, int timingUnit, int64_t periodBaseClock) {
  static constexpr struct {
    const char* unit;
    double ticksPerSecond;
  } kUnits[] = {{"s", 1.0}, {"msec", 1000.0}, {"usec", 1000000.0}};
  if (timingUnit < 0 || timingUnit > 2) return;
  CKVXMLHelper::setUnitIfScale1(channel, kUnits[timingUnit].unit);
  channel->SecondScale = kUnits[timingUnit].ticksPerSecond / static_cast<double>(periodBaseClock);
}

void FrequencyAndCounting(const std::vector<CKVChannel*>& outputs, const CNTSettings& settings) {
  CKVChannel* ch0 = Output(outputs, 0);
  CKVChannel* ch1 = Output(outputs, 1);
  if (ch1 != nullptr) ApplyFrequencyUnit(ch1, settings.FrequencyUnit, false);
  // Encoder counting: pulses per revolution times the edges counted per pulse.
  constexpr int kEncoderCounting = 3;
  if (settings.CountingMode != kEncoderCounting) return;
  const double edges = settings.CntEncoder == 1 ? 2 : settings.CntEncoder == 2 ? 4 : 1;
  const double pulsesPerRev = std::max(edges * settings.CntEncoderPulses, 1.0);
  if (ch0 != nullptr) ApplyCountingUnit(ch0, settings.CountingUnit, 360 / pulsesPerRev, 1, 1 / pulsesPerRev);
  if (ch1 != nullptr) ch1->SecondScale /= pulsesPerRev;
}

void SensorCounting(const std::vector<CKVChannel*>& outputs, const CNTSettings& settings) {
  // Every sensor branch needs a count and a speed output.
  if (outputs.size() < 2) return;
  CKVChannel* ch0 = Output(outputs, 0);
  CKVChannel* ch1 = Output(outputs, 1);
  const CNTSensor& sensor = settings.Sensor;
  const int type = sensor.SensorType;
  const bool quadrature = type == kSensorEncoder || type == kSensorLinear;
  double u = 1;
  if (settings.CntEncoder == 1 && quadrature) u = 2;
  if (settings.CntEncoder == 2 && quadrature) u = 4;

  switch (type) {
    case kSensorLinear:
    case kSensorLinearOther: {
      const double perPulse = 1.0 / sensor.LinearPulsesPerMM / u;
      if (ch0 != nullptr) {
        ch0->SecondScale = perPulse;
        SetUnit(ch0, sensor.LinOutputUnit);
      }
      static constexpr struct {
        const char* suffix;
        double seconds;
      } kSpeeds[] = {{"/s", 1.0}, {"/min", 60.0}, {"/h", 3600.0}};
      const int speed = settings.LinFrequencyUnit;
      if (ch1 != nullptr && speed >= 0 && speed <= 2) {
        ch1->SecondScale = kSpeeds[speed].seconds / sensor.LinearPulsesPerMM / u;
        SetUnit(ch1, (std::string(sensor.LinOutputUnit) + kSpeeds[speed].suffix).c_str());
      }
      return;
    }
    case kSensorToothedWheel:
    case kSensorToothedWheelSingleGap:
    case kSensorToothedWheelResidualGap: {
      double pulsesPerRev;
      if (type == kSensorToothedWheel) {
        // Every tooth and gap position of the three sectors.
        pulsesPerRev = static_cast<double>(int64_t{sensor.getTeeth1()} + sensor.getGap1() + sensor.getTeeth2() +
                                           sensor.getGap2() + sensor.getTeeth3() + sensor.getGap3());
      } else if (type == kSensorToothedWheelSingleGap) {
        pulsesPerRev = sensor.getTeeth1();
      } else {
        pulsesPerRev = sensor.getTeeth1() + static_cast<double>(sensor.ResGap1);
      }
      if (ch0 != nullptr) ApplyCountingUnit(ch0, settings.CountingUnit, 360 / pulsesPerRev, 1, 1 / pulsesPerRev);
      if (ch1 != nullptr) ApplyAngleFrequencyUnit(ch1, settings.AngleFrequencyUnit, 60, 1);
      return;
    }
    case kSensorAngle:
      // The sensor counts degrees.
      if (ch0 != nullptr) ApplyCountingUnit(ch0, settings.CountingUnit, 1, 1.0 / 360, 1.0 / 360);
      if (ch1 != nullptr) ApplyAngleFrequencyUnit(ch1, settings.AngleFrequencyUnit, 60, 1);
      return;
    default: {
      // Encoders and generic pulse sensors: x per revolution.
      double pulsesPerRev = 1;
      if (type == kSensorEncoder) {
        pulsesPerRev = sensor.EncPulsesPerRev;
      } else if (type == 2 || type == 3) {
        pulsesPerRev = sensor.getTeeth1();
      }
      if (ch0 != nullptr) {
        ApplyCountingUnit(ch0, settings.CountingUnit, 360 / pulsesPerRev / u, 1, 1 / pulsesPerRev / u);
      }
      if (ch1 != nullptr) {
        ApplyAngleFrequencyUnit(ch1, settings.AngleFrequencyUnit, 60 / pulsesPerRev / u, 1 / pulsesPerRev / u);
      }
      return;
    }
  }
}

void Timing(const std::vector<CKVChannel*>& outputs, const CNTSettings& settings) {
  constexpr int kSpeedTiming = 4;
  constexpr int kTwoPeriods = 2;
  CKVChannel* ch0 = Output(outputs, 0);
  if (ch0 != nullptr) {
    if (settings.TimingMode == kSpeedTiming) {
      ApplyAngleFrequencyUnit(ch0, settings.AngleFrequencyUnit, 60, 1);
      if (settings.GateTime > 0) ch0->SecondScale = ch0->SecondScale * 1000 / settings.GateTime;
    } else {
      ApplyTimingUnit(ch0, settings.TimingUnit1, settings.PeriodBaseClock);
    }
  }
  size_t frequencyEntry = 1;
  if (settings.TimingMode == kTwoPeriods) {
    if (outputs.size() < 2) return;
    if (CKVChannel* ch1 = Output(outputs, 1)) ApplyTimingUnit(ch1, settings.TimingUnit2, settings.PeriodBaseClock);
    frequencyEntry = 2;
  }
  if (CKVChannel* frequency = Output(outputs, frequencyEntry)) {
    ApplyFrequencyUnit(frequency, settings.FrequencyUnit, true);
  }
}

// The sensor description; every value defaults to what the sensor holds.
void ReadSensor(XMLElement* element, CNTSensor& sensor) {
  const SetupValueReader values(element);
  sensor.SensorType = values.Integer("SensorType", sensor.SensorType);
  sensor.LinearPulsesPerMM = values.Float("LinearPulsesPerMM", sensor.LinearPulsesPerMM);
  const std::string unit = values.String("LinOutputUnit", sensor.LinOutputUnit);
  if (unit.size() < sizeof sensor.LinOutputUnit) CopyStr(sensor.LinOutputUnit, unit.c_str(), sizeof sensor.LinOutputUnit);
  sensor.EncPulsesPerRev = values.Integer("EncPulsesPerRev", sensor.EncPulsesPerRev);
  sensor.EncoderMode = values.Integer("EncoderMode", sensor.EncoderMode);
  if (XMLElement* sectors = element->FindElementZ("Sectors")) {
    for (XMLElement* sector : sectors->GetChildren()) {
      const SetupValueReader sectorValues(sector);
      sensor.Sectors.push_back({sectorValues.Integer("Teeth", kCNTNotGiven), sectorValues.Integer("Gap", kCNTNotGiven)});
    }
  } else {
    static constexpr SetupName kPairs[3][2] = {{"Teeth1", "Gap1"}, {"Teeth2", "Gap2"}, {"Teeth3", "Gap3"}};
    for (const auto& pair : kPairs) {
      const int teeth = values.Integer(pair[0], kCNTNotGiven);
      const int gap = values.Integer(pair[1], kCNTNotGiven);
      if (teeth != 0 && teeth != kCNTNotGiven && gap != kCNTNotGiven) sensor.Sectors.push_back({teeth, gap});
    }
  }
  sensor.ResGap1 = values.Float("ResGap1", sensor.ResGap1);
}

void ReadSettings(const SetupValueReader& values, CNTSettings& settings) {
  settings.BaseMode = values.Integer("BaseMode", 0);
  settings.TimingMode = values.Integer("TimingMode", 0);
  settings.CountingMode = values.Integer("CountingMode", 0);
  settings.TimingUnit1 = values.Integer("TimingUnit1", 1);
  settings.TimingUnit2 = values.Integer("TimingUnit2", 1);
  settings.FrequencyUnit = values.Integer("FrequencyUnit", 0);
  settings.AngleFrequencyUnit = values.Integer("AngleFrequencyUnit", 0);
  settings.LinFrequencyUnit = values.Integer("LinFrequencyUnit", 0);
  settings.CntEncoder = values.Integer("CntEncoder", 0);
  settings.CntEncoderPulses = values.Integer("CntEncoderPulses", 360);
  settings.CountingUnit = values.Integer("CountingUnit", 0);
  settings.GateTime = values.Integer("GateTime", 0);
}

}  // namespace

void CKVXMLHelper::FillCNT(XMLElement* device) {
  for (XMLElement* input : device->GetChildren()) {
    const SetupValueReader values(input);
    CNTSettings settings;
    settings.PeriodBaseClock = values.Int64("PeriodBaseClock", 40000000);
    // Positions in this list are meaningful (count, speed, period), so outputs
    // without a stored channel keep their place.
    std::vector<CKVChannel*> outputs;
    for (XMLElement* child : input->GetChildren()) {
      if (child->HasName("OutputChannel")) outputs.push_back(FillChannel(child, nullptr));
    }
    if (fileVersion_ < kFirstCNTSettingsVersion) continue;
    if (XMLElement* sensor = input->FindElementZ("Sensor")) ReadSensor(sensor, settings.Sensor);
    ReadSettings(values, settings);
    CalculateCNTScaling(outputs, settings);
  }
}

void CKVXMLHelper::setUnitIfScale1(CKVChannel* channel, const char* unit) {
  if (channel->Scale == 1.0) SetUnit(channel, unit);
}

void CKVXMLHelper::CalculateCNTScaling(const std::vector<CKVChannel*>& outputs, const CNTSettings& settings) {
  for (CKVChannel* channel : outputs) {
    if (channel != nullptr) channel->SecondScale = 1;
  }
  switch (settings.BaseMode) {
    case 0:
      SensorCounting(outputs, settings);
      break;
    case 1:
      FrequencyAndCounting(outputs, settings);
      break;
    case 2:
      Timing(outputs, settings);
      break;
    default:
      break;
  }
}

}  // namespace Korvane::DataReader

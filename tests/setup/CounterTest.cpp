// Counter outputs: the factors and units derived from each counter mode and
// sensor type, read through counter devices of setup documents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SetupTestSupport.h"

namespace Korvane::DataReader {
namespace {

using SetupTest::Open;
using SetupTest::SetupFileOptions;
using TestKit::ChannelDefinition;
using TestKit::CounterInput;
using TestKit::SetupBuilder;
using Settings = std::vector<std::pair<std::string, std::string>>;

// One counter input with `outputs` output channels CNT;0;0, CNT;0;1, ...; the
// first output's definition gets `firstScale`.
std::unique_ptr<SetupTest::OpenedSetup> OpenCounter(const Settings& settings, const Settings& sensor,
                                                    int outputs = 3, double firstScale = 1,
                                                    int version = SetupTest::kCurrentVersion,
                                                    const std::vector<std::pair<int, int>>& sectors = {}) {
  SetupBuilder setup;
  CounterInput input;
  input.settings = settings;
  input.sensor = sensor;
  input.sectors = sectors;
  for (int i = 0; i < outputs; ++i) {
    const std::string index = "CNT;0;" + std::to_string(i);
    setup.Store(index);
    auto definition = ChannelDefinition("OutputChannel", index, "out" + std::to_string(i));
    definition.Set("Unit", "raw").Set("SecondScale", 7.0);
    if (i == 0) definition.Set("Scale", firstScale);
    input.outputs.push_back(definition);
  }
  setup.CounterDevice({input});
  SetupFileOptions options;
  options.version = version;
  return Open(setup, options);
}

TEST(CounterScaling, OldFilesKeepTheDefinitionsFactor) {
  auto opened = OpenCounter({{"BaseMode", "2"}}, {}, 3, 1, 7302);
  EXPECT_EQ(opened->Channel("CNT;0;0").SecondScale, 7.0);
  EXPECT_STREQ(opened->Channel("CNT;0;0").Unit, "raw");
  auto newer = OpenCounter({{"BaseMode", "2"}}, {}, 3, 1, 7303);
  EXPECT_NE(newer->Channel("CNT;0;0").SecondScale, 7.0);
}

TEST(CounterScaling, EncoderAngleAndSpeed) {
  const Settings settings = {{"BaseMode", "0"}, {"CntEncoder", "2"}, {"CountingUnit", "1"}, {"AngleFrequencyUnit", "0"}};
  const Settings sensor = {{"SensorType", "0"}, {"EncPulsesPerRev", "1024"}};
  auto opened = OpenCounter(settings, sensor, 2);
  const CKVChannel& angle = opened->Channel("CNT;0;0");
  const CKVChannel& speed = opened->Channel("CNT;0;1");
  EXPECT_EQ(angle.SecondScale, 360.0 / 1024 / 4);
  EXPECT_STREQ(angle.Unit, "Degrees");
  EXPECT_EQ(speed.SecondScale, 60.0 / 1024 / 4);
  EXPECT_STREQ(speed.Unit, "RPM");
  // The counter scale carries the factor.
  EXPECT_EQ(angle.GetScaledValue(4096), 360.0);

  auto scaled = OpenCounter(settings, sensor, 2, 2.0);
  EXPECT_EQ(scaled->Channel("CNT;0;0").SecondScale, 360.0 / 1024 / 4);
  EXPECT_STREQ(scaled->Channel("CNT;0;0").Unit, "raw");
}

TEST(CounterScaling, ToothedWheels) {
  auto sectors = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "1"}}, {{"SensorType", "4"}}, 2, 1,
                             SetupTest::kCurrentVersion, {{58, 2}});
  EXPECT_EQ(sectors->Channel("CNT;0;0").SecondScale, 360.0 / 60);
  EXPECT_EQ(sectors->Channel("CNT;0;1").SecondScale, 60.0);
  EXPECT_STREQ(sectors->Channel("CNT;0;1").Unit, "RPM");

  auto residual = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "1"}, {"AngleFrequencyUnit", "1"}},
                              {{"SensorType", "8"}, {"Teeth1", "60"}, {"Gap1", "0"}, {"ResGap1", "2.5"}});
  EXPECT_EQ(residual->Channel("CNT;0;0").SecondScale, 360.0 / 62.5);
  EXPECT_EQ(residual->Channel("CNT;0;1").SecondScale, 1.0);
  EXPECT_STREQ(residual->Channel("CNT;0;1").Unit, "Hz");

  auto revolutions = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "0"}},
                                 {{"SensorType", "4"}, {"Teeth1", "30"}, {"Gap1", "2"}, {"Teeth2", "0"},
                                  {"Gap2", "5"}, {"Teeth3", "20"}, {"Gap3", "4"}});
  // The second pair has no teeth and is not a sector.
  EXPECT_EQ(revolutions->Channel("CNT;0;0").SecondScale, 1.0 / 56);
  EXPECT_STREQ(revolutions->Channel("CNT;0;0").Unit, "Revs");
}

TEST(CounterScaling, AngleSensorLinearSensorsAndGenericPulses) {
  auto angle = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "2"}}, {{"SensorType", "1"}});
  EXPECT_EQ(angle->Channel("CNT;0;0").SecondScale, 1.0 / 360);
  EXPECT_STREQ(angle->Channel("CNT;0;0").Unit, "Pulses");

  auto linear = OpenCounter({{"BaseMode", "0"}, {"LinFrequencyUnit", "1"}, {"CntEncoder", "1"}},
                            {{"SensorType", "6"}, {"LinearPulsesPerMM", "20"}, {"LinOutputUnit", "mm"}}, 2, 3.0);
  EXPECT_EQ(linear->Channel("CNT;0;0").SecondScale, 1.0 / 20 / 2);
  EXPECT_STREQ(linear->Channel("CNT;0;0").Unit, "mm");  // whatever the channel's scale
  EXPECT_EQ(linear->Channel("CNT;0;1").SecondScale, 60.0 / 20 / 2);
  EXPECT_STREQ(linear->Channel("CNT;0;1").Unit, "mm/min");

  auto generic = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "0"}, {"AngleFrequencyUnit", "1"}},
                             {{"SensorType", "3"}, {"Teeth1", "40"}, {"Gap1", "0"}});
  EXPECT_EQ(generic->Channel("CNT;0;0").SecondScale, 1.0 / 40);
  EXPECT_EQ(generic->Channel("CNT;0;1").SecondScale, 1.0 / 40);

  auto pulses = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "1"}}, {{"SensorType", "9"}});
  EXPECT_EQ(pulses->Channel("CNT;0;0").SecondScale, 360.0);
}

TEST(CounterScaling, SingleOutputInSensorModeKeepsFactorOne) {
  auto opened = OpenCounter({{"BaseMode", "0"}, {"CountingUnit", "1"}}, {{"SensorType", "0"}, {"EncPulsesPerRev", "100"}}, 1);
  EXPECT_EQ(opened->Channel("CNT;0;0").SecondScale, 1.0);
  EXPECT_STREQ(opened->Channel("CNT;0;0").Unit, "raw");
}

TEST(CounterScaling, FrequencyAndEncoderCounting) {
  auto opened = OpenCounter({{"BaseMode", "1"}, {"FrequencyUnit", "1"}, {"CountingMode", "3"}, {"CntEncoder", "1"},
                             {"CntEncoderPulses", "500"}, {"CountingUnit", "1"}},
                            {}, 2);
  EXPECT_EQ(opened->Channel("CNT;0;0").SecondScale, 360.0 / 1000);
  EXPECT_STREQ(opened->Channel("CNT;0;0").Unit, "Degrees");
  EXPECT_EQ(opened->Channel("CNT;0;1").SecondScale, 0.001 / 1000);
  EXPECT_STREQ(opened->Channel("CNT;0;1").Unit, "kHz");
}

TEST(CounterScaling, TimingPeriodsAndFrequency) {
  auto period = OpenCounter({{"BaseMode", "2"}, {"TimingMode", "0"}, {"TimingUnit1", "1"}, {"FrequencyUnit", "2"}}, {}, 2);
  EXPECT_EQ(period->Channel("CNT;0;0").SecondScale, 1000.0 / 40000000);
  EXPECT_STREQ(period->Channel("CNT;0;0").Unit, "msec");
  EXPECT_EQ(period->Channel("CNT;0;1").SecondScale, 0.000001);
  EXPECT_STREQ(period->Channel("CNT;0;1").Unit, "MHz");

  auto two = OpenCounter({{"BaseMode", "2"}, {"TimingMode", "2"}, {"TimingUnit1", "0"}, {"TimingUnit2", "2"},
                          {"PeriodBaseClock", "80000000"}},
                         {}, 3);
  EXPECT_EQ(two->Channel("CNT;0;0").SecondScale, 1.0 / 80000000);
  EXPECT_STREQ(two->Channel("CNT;0;0").Unit, "s");
  EXPECT_EQ(two->Channel("CNT;0;1").SecondScale, 1000000.0 / 80000000);
  EXPECT_STREQ(two->Channel("CNT;0;1").Unit, "usec");
  EXPECT_STREQ(two->Channel("CNT;0;2").Unit, "Hz");

  auto speed = OpenCounter({{"BaseMode", "2"}, {"TimingMode", "4"}, {"GateTime", "250"}}, {}, 1);
  EXPECT_EQ(speed->Channel("CNT;0;0").SecondScale, 60.0 * 1000 / 250);
  EXPECT_STREQ(speed->Channel("CNT;0;0").Unit, "RPM");
}

}  // namespace
}  // namespace Korvane::DataReader

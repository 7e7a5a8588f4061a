// kvtool events, samples and reduced on the sample recording the test kit writes:
// the JSON (and text) outputs parsed and compared with the values, time stamps,
// regions and statistics the kit wrote, and the exit statuses of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "KvtoolRunner.h"
#include "testkit/SampleRecording.h"
#include "testkit/TempDir.h"

namespace Korvane::DataReader::KvtoolTest {
namespace {

using nlohmann::json;

// One sample as the kit wrote it: its time stamp and its values.
struct Written {
  double time;
  std::vector<double> values;
};

class KvtoolCommands : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    contents_ = new TestKit::SampleRecordingContents(TestKit::SampleRecording());
    directory_ = new TestKit::TempDir();
    file_ = directory_->File("sample.kvd");
    TestKit::WriteRecording(file_, contents_->recording);
  }
  static void TearDownTestSuite() {
    delete directory_;
    delete contents_;
  }

  static json Json(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin() + 1, file_);
    arguments.push_back("--json");
    const KvtoolRun run = RunKvtool(arguments);
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    return json::parse(run.out);
  }

  // Every sample of a channel in reading order, as written.
  static std::vector<Written> Samples(const std::string& name) {
    std::vector<Written> out;
    const TestKit::SampleAsyncChannel& async = contents_->asyncChannel;
    if (name == async.name) {
      for (size_t i = 0; i < async.times.size(); ++i) out.push_back({async.times[i], {async.values[i]}});
      return out;
    }
    for (const TestKit::SampleChannel& channel : contents_->channels) {
      if (channel.name != name) continue;
      const auto per = static_cast<size_t>(channel.arraySize);
      for (const int64_t sample : TestKit::RegionSampleIndexes(contents_->layout, channel.srDiv)) {
        const auto first = channel.values.begin() + static_cast<ptrdiff_t>(sample) * static_cast<ptrdiff_t>(per);
        out.push_back({static_cast<double>(sample * channel.srDiv) / contents_->sampleRate, {first, first + ptrdiff_t(per)}});
      }
    }
    return out;
  }

  static std::vector<Written> InWindow(const std::string& name, double from, double to) {
    std::vector<Written> out;
    for (const Written& w : Samples(name)) {
      if (from <= w.time && w.time < to) out.push_back(w);
    }
    return out;
  }

  static void ExpectSamples(const json& printed, const std::vector<Written>& expected, const std::string& what) {
    ASSERT_EQ(printed.size(), expected.size()) << what;
    for (size_t k = 0; k < expected.size(); ++k) {
      const json& sample = printed[k];
      ASSERT_EQ(sample["time"].get<double>(), expected[k].time) << what << " sample " << k;
      const std::vector<double> values = sample["value"].is_array() ? sample["value"].get<std::vector<double>>()
                                                                     : std::vector<double>{sample["value"].get<double>()};
      ASSERT_EQ(values, expected[k].values) << what << " sample " << k;
    }
  }

  static TestKit::SampleRecordingContents* contents_;
  static TestKit::TempDir* directory_;
  static std::string file_;
};

TestKit::SampleRecordingContents* KvtoolCommands::contents_ = nullptr;
TestKit::TempDir* KvtoolCommands::directory_ = nullptr;
std::string KvtoolCommands::file_;

std::string Seconds(double s) {
  std::ostringstream text;
  text.precision(17);
  text << s;
  return text.str();
}

// Regions: [0, 2), [3, 4.55), [6, 8) s. Each window [a, c) is also read as [a, b)
// and [b, c), which must add up to it without a repeat.
TEST_F(KvtoolCommands, TimeWindowsHoldExactlyTheSamplesTheKitWroteInThem) {
  struct Case {
    const char* channel;
    double from, middle, to;
  };
  const Case cases[] = {
      {"Voltage", 1.5, 2.5, 3.25},      // across the first gap; the middle in it
      {"Voltage", 4.548, 4.55, 6.0015},  // the second region's last two samples, then the third's first two
      {"Spectrum", 1.9, 3.0, 3.2},      // a tenth of the rate, the middle on a sample
      {"Revolutions", 0.0, 0.0105, 0.05},
      {"Pressure", 1.5, 2.5, 3.5},      // asynchronous, across a gap
      {"Pressure", 3.0, 3.125, 3.6},    // the middle on a sample's time stamp
      {"Pressure", 4.4, 4.55, 6.1},
      {"Pressure", 0.0, 3.0, 8.0},      // every sample
  };
  for (const Case& c : cases) {
    for (const auto& [from, to] : {std::pair{c.from, c.to}, {c.from, c.middle}, {c.middle, c.to}}) {
      const std::string what = std::string(c.channel) + " [" + Seconds(from) + ", " + Seconds(to) + ")";
      const std::vector<Written> expected = InWindow(c.channel, from, to);
      ASSERT_FALSE(expected.empty()) << what;
      ExpectSamples(Json({"samples", c.channel, "--from", Seconds(from), "--to", Seconds(to)})["samples"], expected, what);
    }
  }
}

TEST_F(KvtoolCommands, SamplesByNumberScaledRawAndAsText) {
  const std::vector<Written> spectrum = Samples("Spectrum");
  const json array = Json({"samples", "Spectrum", "--start", "198", "--count", "5"});
  EXPECT_EQ(array["first"], 198);
  ExpectSamples(array["samples"], {spectrum.begin() + 198, spectrum.begin() + 203}, "Spectrum");

  // The counter's stored unsigned integers, printed exactly; the default count runs to the end.
  const std::vector<Written> counter = Samples("Revolutions");
  const json raw = Json({"samples", "Revolutions", "--raw", "--start", "5540"});
  EXPECT_TRUE(raw["raw"].get<bool>());
  ExpectSamples(raw["samples"], {counter.begin() + 5540, counter.end()}, "Revolutions raw");

  // Text rows: a header, then time and value separated by a tab, read back bit for bit.
  const std::vector<Written> voltage = Samples("Voltage");
  const KvtoolRun text = RunKvtool({"samples", file_, "Voltage", "--start", "1998", "--count", "4"});
  ASSERT_EQ(text.exitStatus, 0) << text.err;
  std::istringstream rows(text.out);
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line, "time (s)\tVoltage (V)");
  for (size_t k = 1998; k < 2002; ++k) {
    ASSERT_TRUE(std::getline(rows, line));
    char* end = nullptr;
    EXPECT_EQ(std::strtod(line.c_str(), &end), voltage[k].time) << line;
    EXPECT_EQ(std::strtod(end + 1, nullptr), voltage[k].values[0]) << line;
  }
  EXPECT_FALSE(std::getline(rows, line));
}

TEST_F(KvtoolCommands, EventsListTheRegionsWithTheirSamplesPerChannel) {
  const json printed = Json({"events"});
  const std::vector<TestKit::RecordedRegion>& regions = contents_->layout.regions;
  ASSERT_EQ(printed["events"].size(), 2 * regions.size());
  ASSERT_EQ(printed["regions"].size(), regions.size());
  const double block = contents_->layout.blockSize;
  for (size_t r = 0; r < regions.size(); ++r) {
    const double start = (regions[r].startBlock * block + regions[r].startOffset) / contents_->sampleRate;
    const double stop = (regions[r].stopBlock * block + regions[r].stopOffset) / contents_->sampleRate;
    const json& opened = printed["events"][2 * r];
    const json& closed = printed["events"][2 * r + 1];
    EXPECT_EQ(opened["code"], 1);
    EXPECT_EQ(opened["type"], "storing started");
    EXPECT_EQ(closed["code"], 2);
    EXPECT_DOUBLE_EQ(opened["time"].get<double>(), start);
    EXPECT_DOUBLE_EQ(closed["time"].get<double>(), stop);
    const json& region = printed["regions"][r];
    EXPECT_DOUBLE_EQ(region["start"].get<double>(), start);
    EXPECT_DOUBLE_EQ(region["stop"].get<double>(), stop);
    int64_t sync = 0, async = 0;
    for (const json& channel : region["channels"]) {
      const std::string name = channel["name"];
      const auto expected = static_cast<int64_t>(InWindow(name, start, stop).size());
      EXPECT_EQ(channel["samples"].get<int64_t>(), expected) << name << " region " << r;
      (channel["kind"] == "async" ? async : sync) += expected;
    }
    EXPECT_EQ(region["samples"]["sync"].get<int64_t>(), sync);
    EXPECT_EQ(region["samples"]["async"].get<int64_t>(), async);
    EXPECT_GT(async, 0);
  }
}

// The statistics of the kit's values over each stored interval of a level.
TEST_F(KvtoolCommands, ReducedValuesAreTheStatisticsOfTheWrittenValues) {
  struct Case {
    const char* channel;
    int level;  // -1: the channel's first stored level, without --level
  };
  for (const Case c : {Case{"Voltage", -1}, Case{"Current", 1}, Case{"Revolutions", 0}, Case{"Pressure", 1}}) {
    const std::string name = c.channel;
    const std::vector<double>& values =
        name == contents_->asyncChannel.name
            ? contents_->asyncChannel.fullRate
            : std::find_if(contents_->channels.begin(), contents_->channels.end(), [&](const auto& w) {
                return w.name == name;
              })->values;
    std::vector<std::string> arguments = {"reduced", c.channel};
    if (c.level >= 0) arguments.insert(arguments.end(), {"--level", std::to_string(c.level)});
    const json printed = Json(arguments)["values"];
    const int level = std::max(c.level, 0);
    const TestKit::StoredLevel stored = TestKit::StoredIntervals(contents_->layout, level);
    const double interval = double(contents_->layout.blockSize * contents_->layout.MidRate(level));
    ASSERT_EQ(printed.size(), stored.intervals.size()) << name;
    for (size_t i = 0; i < stored.intervals.size(); ++i) {
      double minimum = INFINITY, maximum = -INFINITY, sum = 0, squares = 0, n = 0;
      for (const auto& [from, to] : stored.intervals[i].ranges) {
        for (int64_t p = from; p < to; ++p, ++n) {
          const double x = values[static_cast<size_t>(p)];
          minimum = std::min(minimum, x);
          maximum = std::max(maximum, x);
          sum += x;
          squares += x * x;
        }
      }
      const json& value = printed[i];
      const std::string what = name + " level " + std::to_string(level) + " value " + std::to_string(i);
      EXPECT_DOUBLE_EQ(value["time"].get<double>(), double(stored.intervals[i].interval) * interval / contents_->sampleRate) << what;
      EXPECT_EQ(value["min"].get<double>(), minimum) << what;
      EXPECT_EQ(value["max"].get<double>(), maximum) << what;
      EXPECT_NEAR(value["average"].get<double>(), sum / n, 1e-9 * std::fabs(sum / n)) << what;
      EXPECT_NEAR(value["rms"].get<double>(), std::sqrt(squares / n), 1e-9 * std::sqrt(squares / n)) << what;
    }
  }
}

TEST_F(KvtoolCommands, BadInputGetsItsExitStatusAndAClearMessage) {
  TestKit::TempDir scratch;
  const std::string missing = scratch.File("missing.kvd");
  const std::string damaged = scratch.File("damaged.kvd");
  {
    std::ifstream in(file_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(damaged, std::ios::binary) << bytes.substr(0, 3000);
  }
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    const char* message;
  };
  const Case cases[] = {
      {{"samples", file_, "Voltge"}, 2, "closest: \"Voltage\""},
      {{"samples", file_, "42"}, 2, "no channel has index 42"},
      {{"samples", file_, "Voltage", "--from", "9", "--to", "10"}, 2, "outside the recording"},
      {{"samples", file_, "Pressure", "--from", "-5", "--to", "-1"}, 2, "outside the recording"},
      {{"samples", file_, "Voltage", "--from", "2", "--to", "1"}, 2, "from < to"},
      {{"samples", file_, "Voltage", "--from", "1", "--to", "1"}, 2, "from < to"},
      {{"samples", file_, "Voltage", "--from", "1"}, 2, "both --from and --to"},
      {{"samples", file_, "Voltage", "--count", "3", "--from", "1", "--to", "2"}, 2, "not both"},
      {{"samples", file_, "Voltage", "--start", "5550"}, 2, "beyond the last sample"},
      {{"samples", file_, "Voltage", "--count", "-1"}, 2, "negative"},
      {{"reduced", file_, "Spectrum"}, 2, "array channel"},
      {{"reduced", file_, "Operator"}, 2, "no reduced values"},
      {{"reduced", file_, "Voltage", "--level", "2"}, 2, "no reduced values at level 2"},
      {{"reduced", file_, "Voltage", "--level", "6"}, 2, "0 to 5"},
      {{"samples", missing, "Voltage"}, 1, "status 2"},
      {{"events", missing}, 1, "status 2"},
      {{"samples", damaged, "Voltage"}, 1, "status 4: File is corrupted or has invalid format"},
      {{"reduced", damaged, "Voltage"}, 1, "status 4"},
  };
  for (const Case& c : cases) {
    std::string command;
    for (const std::string& word : c.arguments) command += " " + word;
    const KvtoolRun run = RunKvtool(c.arguments);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << command << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << command << "\n" << run.err;
    EXPECT_TRUE(run.out.empty()) << command << "\n" << run.out;
  }
}

}  // namespace
}  // namespace Korvane::DataReader::KvtoolTest

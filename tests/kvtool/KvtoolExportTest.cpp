// kvtool export on the test kit's sample recording: CSV read back value for value
// against what the kit wrote (bit for bit), tables split by time base, a window
// across the gap between two regions (synchronous and asynchronous), HDF5 read back through the HDF5 C library,
// MATLAB files through matio, channel globs, and every bad input with its exit
// status and no output left behind.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "KvtoolRunner.h"
#include "testkit/SampleRecording.h"
#include "testkit/TempDir.h"
#ifdef KVTOOL_TEST_HDF5
#include <hdf5.h>
#endif
#ifdef KVTOOL_TEST_MATIO
#include <matio.h>
#endif

namespace Korvane::DataReader::KvtoolTest {
namespace {

using TestKit::SampleChannel;

struct Csv {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
};

Csv ReadCsv(const std::string& path) {
  std::ifstream in(path);
  Csv csv;
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream cellsIn(line);
    for (std::string cell; std::getline(cellsIn, cell, ',');) cells.push_back(cell);
    if (first) {
      csv.header = cells;
      first = false;
    } else {
      csv.rows.push_back(cells);
    }
  }
  return csv;
}

double Parse(const std::string& cell) {
  double value = 0;
  const auto result = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  EXPECT_EQ(result.ptr, cell.data() + cell.size()) << cell;
  return value;
}

uint64_t Bits(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

class KvtoolExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    contents_ = TestKit::SampleRecording();
    recording_ = dir_.File("sample.kvd");
    TestKit::WriteRecording(recording_, contents_.recording);
  }

  const SampleChannel& Channel(const std::string& name) const {
    for (const SampleChannel& channel : contents_.channels) {
      if (channel.name == name) return channel;
    }
    throw std::runtime_error("no kit channel " + name);
  }

  // The kit's value k of sample s of the channel in reading order, and its time.
  double Expected(const SampleChannel& channel, size_t s, int32_t k = 0) const {
    const auto indexes = TestKit::RegionSampleIndexes(contents_.layout, channel.srDiv);
    return channel.values.at(static_cast<size_t>(indexes.at(s) * channel.arraySize + k));
  }
  double ExpectedTime(const SampleChannel& channel, size_t s) const {
    const auto indexes = TestKit::RegionSampleIndexes(contents_.layout, channel.srDiv);
    return double(indexes.at(s) * channel.srDiv) / contents_.sampleRate;
  }

  // Every value cell of a CSV table equals the kit's value bit for bit; its time
  // stamps lie where the samples were taken. Rows start at sample `first`.
  void ExpectTable(const Csv& csv, size_t first = 0) const {
    ASSERT_FALSE(csv.header.empty());
    EXPECT_EQ(csv.header[0], "time");
    for (size_t column = 1; column < csv.header.size(); ++column) {
      std::string name = csv.header[column];
      int32_t k = 0;
      if (const size_t bracket = name.find('['); bracket != std::string::npos) {
        k = std::stoi(name.substr(bracket + 1));
        name = name.substr(0, bracket);
      }
      const SampleChannel& channel = Channel(name);
      for (size_t r = 0; r < csv.rows.size(); ++r) {
        ASSERT_EQ(csv.rows[r].size(), csv.header.size());
        ASSERT_EQ(Bits(Parse(csv.rows[r][column])), Bits(Expected(channel, first + r, k)))
            << name << "[" << k << "] row " << r;
        ASSERT_NEAR(Parse(csv.rows[r][0]), ExpectedTime(channel, first + r), 1e-9) << name << " row " << r;
      }
    }
  }

  // The asynchronous channel's table holds the kit's samples with from <= t < to.
  void ExpectAsyncTable(const Csv& csv, double from, double to) const {
    const TestKit::SampleAsyncChannel& channel = contents_.asyncChannel;
    EXPECT_EQ(csv.header, (std::vector<std::string>{"time", channel.name}));
    size_t row = 0;
    for (size_t s = 0; s < channel.times.size(); ++s) {
      if (channel.times[s] < from || channel.times[s] >= to) continue;
      ASSERT_LT(row, csv.rows.size()) << "sample " << s;
      EXPECT_NEAR(Parse(csv.rows[row][0]), channel.times[s], 1e-9) << "sample " << s;
      EXPECT_EQ(Bits(Parse(csv.rows[row][1])), Bits(channel.values[s])) << "sample " << s;
      ++row;
    }
    EXPECT_GT(row, 0u);
    EXPECT_EQ(csv.rows.size(), row);
  }

  size_t SampleCount(const SampleChannel& channel) const {
    return TestKit::RegionSampleIndexes(contents_.layout, channel.srDiv).size();
  }

  // The files of the directory besides the recording.
  std::vector<std::string> Outputs() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "sample.kvd") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TestKit::TempDir dir_;
  TestKit::SampleRecordingContents contents_;
  std::string recording_;
};

TEST_F(KvtoolExportTest, CsvTablesSplitByTimeBaseReadBackBitForBit) {
  const KvtoolRun run = RunKvtool({"export", recording_, "-o", dir_.File("all.csv")});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err.find('\r'), std::string::npos) << "a progress bar where standard error is no terminal";
  EXPECT_NE(run.out.find("wrote " + dir_.File("all_sync_100Hz.csv")), std::string::npos) << run.out;
  EXPECT_EQ(Outputs(), (std::vector<std::string>{"all_async_Pressure.csv", "all_single_Operator.csv",
                                                 "all_sync_1000Hz.csv", "all_sync_100Hz.csv"}));
  ExpectAsyncTable(ReadCsv(dir_.File("all_async_Pressure.csv")), -1, 1e9);
  const Csv full = ReadCsv(dir_.File("all_sync_1000Hz.csv"));
  EXPECT_EQ(full.header, (std::vector<std::string>{"time", "Voltage", "Current", "Temperature", "Revolutions"}));
  EXPECT_EQ(full.rows.size(), SampleCount(Channel("Voltage")));
  ExpectTable(full);
  const Csv array = ReadCsv(dir_.File("all_sync_100Hz.csv"));
  ASSERT_EQ(array.header.size(), 9u);
  EXPECT_EQ(array.header[8], "Spectrum[7]");
  EXPECT_EQ(array.rows.size(), SampleCount(Channel("Spectrum")));
  ExpectTable(array);
  const Csv single = ReadCsv(dir_.File("all_single_Operator.csv"));
  ASSERT_EQ(single.rows.size(), 1u);
  EXPECT_EQ(single.rows[0][1], "\"" + contents_.operatorName + "\"");
}

TEST_F(KvtoolExportTest, WindowAcrossARegionGapHoldsWhatBothRegionsStored) {
  // Region 0 ends at 2 s, region 1 starts at 3 s: 100 samples of each at 1 kHz,
  // 10 of each at 100 Hz; 3.1 itself stays out (half-open).
  const KvtoolRun run = RunKvtool({"export", recording_, "-o", dir_.File("w.csv"), "--from", "1.9", "--to", "3.1",
                                   "--channels", "Voltage", "Spectrum", "Pressure"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const Csv voltage = ReadCsv(dir_.File("w_sync_1000Hz.csv"));
  ASSERT_EQ(voltage.rows.size(), 200u);
  ExpectTable(voltage, 1900);
  EXPECT_EQ(voltage.rows[99][0], "1.999");
  EXPECT_EQ(voltage.rows[100][0], "3");
  const Csv spectrum = ReadCsv(dir_.File("w_sync_100Hz.csv"));
  ASSERT_EQ(spectrum.rows.size(), 20u);
  ExpectTable(spectrum, 190);
  ExpectAsyncTable(ReadCsv(dir_.File("w_async_Pressure.csv")), 1.9, 3.1);
}

TEST_F(KvtoolExportTest, ChannelPatternsPickTheColumns) {
  struct Case {
    std::vector<std::string> patterns;
    std::vector<std::string> header;  // one table: written to OUT itself
  } cases[] = {
      {{"Voltage"}, {"time", "Voltage"}},
      {{"Curr?nt", "T*e"}, {"time", "Current", "Temperature"}},
      {{"Revolutions", "V?ltage", "Voltage"}, {"time", "Voltage", "Revolutions"}},
      {{"[CT]*"}, {"time", "Current", "Temperature"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"export", recording_, "-o", dir_.File("p.csv"), "--quiet", "--channels"};
    arguments.insert(arguments.end(), c.patterns.begin(), c.patterns.end());
    const KvtoolRun run = RunKvtool(arguments);
    ASSERT_EQ(run.exitStatus, 0) << c.patterns[0] << ": " << run.err;
    EXPECT_EQ(run.out, "");
    const Csv csv = ReadCsv(dir_.File("p.csv"));
    EXPECT_EQ(csv.header, c.header) << c.patterns[0];
    ExpectTable(csv);
    EXPECT_EQ(Outputs(), std::vector<std::string>{"p.csv"});
    std::filesystem::remove(dir_.File("p.csv"));
  }
}

TEST_F(KvtoolExportTest, ReducedValuesMakeOneTableOfStatistics) {
  const KvtoolRun run = RunKvtool({"export", recording_, "-o", dir_.File("r.csv"), "--reduced", "0", "--channels", "Voltage", "Spectrum"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("Spectrum has no reduced values"), std::string::npos) << run.err;
  const Csv csv = ReadCsv(dir_.File("r.csv"));
  EXPECT_EQ(csv.header,
            (std::vector<std::string>{"time", "Voltage_min", "Voltage_max", "Voltage_average", "Voltage_rms"}));
  ASSERT_GT(csv.rows.size(), 10u);
  double lowest = 1e300, highest = -1e300, previous = -1;
  for (const auto& row : csv.rows) {
    const double t = Parse(row[0]), min = Parse(row[1]), max = Parse(row[2]), average = Parse(row[3]);
    EXPECT_GT(t, previous);
    EXPECT_LE(min, average);
    EXPECT_LE(average, max);
    previous = t;
    lowest = std::min(lowest, min);
    highest = std::max(highest, max);
  }
  // The wave of 12 +- 1.5 V reaches both ends inside the regions.
  EXPECT_DOUBLE_EQ(lowest, 10.5);
  EXPECT_DOUBLE_EQ(highest, 13.5);
}

TEST_F(KvtoolExportTest, BadInputGetsItsExitStatusAndLeavesNoFile) {
  struct Case {
    std::vector<std::string> arguments;  // after FILE
    int exitStatus;
    std::string message;
  } cases[] = {
      {{"-o", dir_.File("x.csv"), "--format", "xlsx"}, 2, "xlsx not in {csv,hdf5,mat}"},
      {{"-o", dir_.File("missing/x.csv")}, 3, "cannot create " + dir_.File("missing/x_sync_1000Hz.csv") +
                                                  ": No such file or directory"},
      {{"-o", dir_.File("missing/x.csv"), "--channels", "Voltage"}, 3, "No such file or directory"},
      {{"-o", dir_.path().string(), "--channels", "Voltage"}, 3, "Is a directory"},
      {{"-o", dir_.File("x.csv"), "--channels", "Volt"}, 2, "closest: \"Voltage\""},
      {{"-o", dir_.File("x.csv"), "--from", "3", "--to", "2"}, 2, "is empty"},
      {{"-o", dir_.File("x.csv"), "--from", "50", "--to", "60"}, 2, "outside the recording"},
      {{"-o", dir_.File("x.csv"), "--reduced", "7", "--channels", "Voltage"}, 2, "no matched channel has reduced"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"export", recording_};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const KvtoolRun run = RunKvtool(arguments);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.message << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(Outputs(), std::vector<std::string>{}) << c.message;
  }
}

#ifdef KVTOOL_TEST_HDF5
std::vector<double> ReadDoubles(hid_t file, const std::string& path, std::vector<hsize_t>& dims) {
  const hid_t dataset = H5Dopen2(file, path.c_str(), H5P_DEFAULT);
  EXPECT_GE(dataset, 0) << path;
  const hid_t space = H5Dget_space(dataset);
  dims.assign(static_cast<size_t>(H5Sget_simple_extent_ndims(space)), 0);
  H5Sget_simple_extent_dims(space, dims.data(), nullptr);
  std::vector<double> values(static_cast<size_t>(H5Sget_simple_extent_npoints(space)));
  EXPECT_GE(H5Dread(dataset, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()), 0);
  H5Sclose(space);
  H5Dclose(dataset);
  return values;
}

std::string TextAttribute(hid_t file, const std::string& object, const char* name) {
  const hid_t attribute = H5Aopen_by_name(file, object.c_str(), name, H5P_DEFAULT, H5P_DEFAULT);
  EXPECT_GE(attribute, 0) << object << " " << name;
  const hid_t type = H5Aget_type(attribute);
  std::string text(H5Tget_size(type), '\0');
  H5Aread(attribute, type, text.data());
  H5Tclose(type);
  H5Aclose(attribute);
  return text.c_str();
}

double NumberAttribute(hid_t file, const std::string& object, const char* name) {
  const hid_t attribute = H5Aopen_by_name(file, object.c_str(), name, H5P_DEFAULT, H5P_DEFAULT);
  double value = -1;
  H5Aread(attribute, H5T_NATIVE_DOUBLE, &value);
  H5Aclose(attribute);
  return value;
}

TEST_F(KvtoolExportTest, Hdf5ReadsBackThroughTheHdf5Library) {
  const std::string out = dir_.File("all.h5");
  const KvtoolRun run = RunKvtool({"export", recording_, "-o", out, "--format", "hdf5"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(Outputs(), std::vector<std::string>{"all.h5"});
  const hid_t file = H5Fopen(out.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  ASSERT_GE(file, 0);
  struct Case {
    std::string name, unit;
    double rate;
  } cases[] = {{"Voltage", "V", 1000}, {"Temperature", "degC", 1000}, {"Revolutions", "rev", 1000}, {"Spectrum", "", 100}};
  for (const Case& c : cases) {
    const SampleChannel& channel = Channel(c.name);
    std::vector<hsize_t> dims, timeDims;
    const std::vector<double> values = ReadDoubles(file, "/" + c.name + "/values", dims);
    const std::vector<double> time = ReadDoubles(file, "/" + c.name + "/time", timeDims);
    ASSERT_EQ(timeDims, std::vector<hsize_t>{SampleCount(channel)}) << c.name;
    ASSERT_EQ(dims.size(), channel.arraySize > 1 ? 2u : 1u);
    for (size_t s = 0; s < time.size(); ++s) {
      for (int32_t k = 0; k < channel.arraySize; ++k) {
        ASSERT_EQ(Bits(values[s * size_t(channel.arraySize) + size_t(k)]), Bits(Expected(channel, s, k))) << c.name << s;
      }
      ASSERT_NEAR(time[s], ExpectedTime(channel, s), 1e-9);
    }
    EXPECT_EQ(TextAttribute(file, c.name, "name"), c.name);
    EXPECT_EQ(TextAttribute(file, c.name, "unit"), c.unit);
    EXPECT_EQ(NumberAttribute(file, c.name, "rate"), c.rate);
    EXPECT_EQ(NumberAttribute(file, c.name, "scale"), 1.0);
    EXPECT_EQ(NumberAttribute(file, c.name, "data_type"), channel.dataType);
  }
  EXPECT_EQ(NumberAttribute(file, "/", "sample_rate"), contents_.sampleRate);
  EXPECT_EQ(TextAttribute(file, "/", "start_store_time").substr(0, 10), "2025-12-09");
  struct RegionRecord {
    double start, stop;
  } regions[3] = {};
  const hid_t regionType = H5Tcreate(H5T_COMPOUND, sizeof(RegionRecord));
  H5Tinsert(regionType, "start", HOFFSET(RegionRecord, start), H5T_NATIVE_DOUBLE);
  H5Tinsert(regionType, "stop", HOFFSET(RegionRecord, stop), H5T_NATIVE_DOUBLE);
  const hid_t dataset = H5Dopen2(file, "/regions", H5P_DEFAULT);
  const hid_t space = H5Dget_space(dataset);
  ASSERT_EQ(H5Sget_simple_extent_npoints(space), 3);
  ASSERT_GE(H5Dread(dataset, regionType, H5S_ALL, H5S_ALL, H5P_DEFAULT, regions), 0);
  EXPECT_EQ(regions[1].start, 3.0);  // blocks 30 to the middle of 45, 100 samples a block
  EXPECT_EQ(regions[1].stop, 4.55);
  H5Sclose(space);
  H5Dclose(dataset);
  H5Tclose(regionType);
  H5Fclose(file);
}
#endif

#ifdef KVTOOL_TEST_MATIO
TEST_F(KvtoolExportTest, MatReadsBackThroughMatio) {
  const std::string out = dir_.File("all.mat");
  const KvtoolRun run = RunKvtool({"export", recording_, "-o", out, "--format", "mat"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_NE(run.err.find("mat leaves out the text channel Operator"), std::string::npos) << run.err;
  mat_t* mat = Mat_Open(out.c_str(), MAT_ACC_RDONLY);
  ASSERT_NE(mat, nullptr);
  // Channels far below 2 GiB: MATLAB's default version 7 format, compressed.
  EXPECT_EQ(Mat_GetVersion(mat), MAT_FT_MAT5);
  for (const std::string name : {"Voltage", "Spectrum", "Revolutions"}) {
    const SampleChannel& channel = Channel(name);
    matvar_t* record = Mat_VarRead(mat, name.c_str());
    ASSERT_NE(record, nullptr) << name;
    matvar_t* values = Mat_VarGetStructFieldByName(record, "values", 0);
    matvar_t* time = Mat_VarGetStructFieldByName(record, "time", 0);
    ASSERT_NE(values, nullptr);
    ASSERT_NE(time, nullptr);
    const size_t rows = SampleCount(channel);
    ASSERT_EQ(values->dims[0], rows);
    ASSERT_EQ(values->dims[1], size_t(channel.arraySize));
    const auto* data = static_cast<const double*>(values->data);
    for (size_t s = 0; s < rows; ++s) {
      for (int32_t k = 0; k < channel.arraySize; ++k) {
        ASSERT_EQ(Bits(data[size_t(k) * rows + s]), Bits(Expected(channel, s, k))) << name << s;  // column-major
      }
    }
    EXPECT_NEAR(static_cast<const double*>(time->data)[rows - 1], ExpectedTime(channel, rows - 1), 1e-9);
    Mat_VarFree(record);
  }
  Mat_Close(mat);
}
#endif

}  // namespace
}  // namespace Korvane::DataReader::KvtoolTest

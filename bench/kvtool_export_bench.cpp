// kvtool export on the 64-channel benchmark recording (KV_BENCH_EXPORT_SAMPLES
// full-rate samples, default 2,000,000), through the export driver kvtool runs,
// against plain loops over the same doubles read into memory beforehand in the
// same run: CSV against std::to_chars into a buffer written with fwrite (target
// ratio <= 2), HDF5 against H5Dwrite of the same arrays with the same chunking and
// compression (target ratio <= 1.3).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "CsvSink.h"
#include "ExportDriver.h"
#include "ExportPlan.h"
#include "Recording.h"
#include "SampleWindows.h"
#include "bench/BenchRatio.h"
#include "bench/BenchRecording.h"
#ifdef KVTOOL_WITH_HDF5
#include <hdf5.h>

#include "Hdf5Sink.h"
#endif

namespace {

using namespace Korvane::DataReader;

constexpr int64_t kDefaultExportSamples = 2'000'000;

int64_t ExportSamplesFromEnvironment() {
  const char* text = std::getenv("KV_BENCH_EXPORT_SAMPLES");
  if (text == nullptr || *text == '\0') return kDefaultExportSamples;
  return std::strtoll(text, nullptr, 10);
}

// A table of the export plan held whole in memory: its time stamps and each
// column's values, as the library gives them.
struct TableInMemory {
  std::vector<double> time;
  std::vector<std::vector<double>> columns;
};

// The recording, open through the C interface the way kvtool opens it, its export
// plan and every table's doubles.
struct ExportSetup {
  explicit ExportSetup(int64_t samples) : recording(samples), open(recording.path()) {
    catalog = kvtool::Catalog::Load();
    regions = kvtool::LoadRegions();
    plan = kvtool::PlanExport(catalog, regions, {});
    summary = kvtool::SummarizeRecording(recording.path(), open.Info(), regions);
    for (const kvtool::ExportTable& table : plan.tables) {
      TableInMemory& memory = tables.emplace_back();
      for (const kvtool::ExportColumn& column : table.columns) {
        std::vector<double>& values = memory.columns.emplace_back();
        kvtool::SampleWindows reader(*column.channel, column.range);
        kvtool::SampleWindow window;
        const bool first = memory.columns.size() == 1;
        while (reader.Next(window)) {
          values.insert(values.end(), window.values.begin(), window.values.end());
          if (first) memory.time.insert(memory.time.end(), window.time.begin(), window.time.end());
        }
        valueBytes += static_cast<int64_t>(values.size() * sizeof(double));
      }
    }
  }

  Bench::BenchRecording recording;
  kvtool::Recording open;
  kvtool::Catalog catalog;
  std::vector<kvtool::Region> regions;
  kvtool::ExportPlan plan;
  kvtool::RecordingSummary summary;
  std::vector<TableInMemory> tables;
  int64_t valueBytes = 0;
};

ExportSetup& Setup() {
  static std::unique_ptr<ExportSetup> setup;
  if (!setup) setup = std::make_unique<ExportSetup>(ExportSamplesFromEnvironment());
  return *setup;
}

void RemoveOutputs(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) std::filesystem::remove(path);
}

// The plain loop: each table's rows formatted with std::to_chars into one buffer
// that fwrite empties, one file per table.
std::vector<std::string> FormatCsvFromMemory(const ExportSetup& setup, const std::string& stem) {
  std::vector<std::string> paths;
  std::vector<char> buffer(size_t{1} << 20);
  for (size_t t = 0; t < setup.tables.size(); ++t) {
    const TableInMemory& table = setup.tables[t];
    paths.push_back(stem + std::to_string(t) + ".csv");
    std::FILE* file = std::fopen(paths.back().c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot create " + paths.back());
    const size_t columns = table.columns.size();
    const size_t rowBytes = 32 * (columns + 1) + 1;
    char* p = buffer.data();
    for (size_t r = 0; r < table.time.size(); ++r) {
      if (static_cast<size_t>(p - buffer.data()) + rowBytes > buffer.size()) {
        std::fwrite(buffer.data(), 1, static_cast<size_t>(p - buffer.data()), file);
        p = buffer.data();
      }
      p = std::to_chars(p, p + 32, table.time[r]).ptr;
      for (size_t c = 0; c < columns; ++c) {
        *p++ = ',';
        p = std::to_chars(p, p + 32, table.columns[c][r]).ptr;
      }
      *p++ = '\n';
    }
    std::fwrite(buffer.data(), 1, static_cast<size_t>(p - buffer.data()), file);
    std::fclose(file);
  }
  return paths;
}

void BM_ExportCsv(benchmark::State& state) {
  ExportSetup& setup = Setup();
  const std::string baselineStem = setup.recording.File("baseline_");
  const std::string out = setup.recording.File("export.csv");
  Bench::MeasureAgainstBaseline(
      state, [&] { RemoveOutputs(FormatCsvFromMemory(setup, baselineStem)); },
      [&] {
        kvtool::CsvSink sink(out);
        kvtool::RunExport(setup.plan, setup.summary, sink, {});
        RemoveOutputs(sink.Outputs());
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * setup.valueBytes);
  state.counters["values_MB"] = static_cast<double>(setup.valueBytes) / 1e6;
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

// The driver's reads alone: a sink that keeps nothing.
class NullSink : public kvtool::ExportSink {
 public:
  void Begin(const kvtool::ExportPlan&, const kvtool::RecordingSummary&) override {}
  void BeginTable(const kvtool::ExportTable&) override {}
  void Write(const kvtool::ExportTable&, const kvtool::RowWindow& rows) override { benchmark::DoNotOptimize(rows.time); }
  void EndTable(const kvtool::ExportTable&) override {}
  void Commit() override {}
  std::vector<std::string> Outputs() const override { return {}; }
};

void BM_ExportReadsOnly(benchmark::State& state) {
  ExportSetup& setup = Setup();
  for (auto _ : state) {
    NullSink sink;
    kvtool::RunExport(setup.plan, setup.summary, sink, {});
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * setup.valueBytes);
}
BENCHMARK(BM_ExportReadsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef KVTOOL_WITH_HDF5
hid_t Dataset(hid_t group, const char* name, hsize_t rows) {
  const hsize_t chunk = std::clamp<hsize_t>(kvtool::kHdf5ChunkBytes / sizeof(double), 1, std::max<hsize_t>(rows, 1));
  const hsize_t maxRows = H5S_UNLIMITED;
  const hid_t space = H5Screate_simple(1, &rows, &maxRows);
  const hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
  H5Pset_chunk(properties, 1, &chunk);
  H5Pset_shuffle(properties);
  H5Pset_deflate(properties, kvtool::kHdf5DeflateLevel);
  const hid_t dataset = H5Dcreate2(group, name, H5T_NATIVE_DOUBLE, space, H5P_DEFAULT, properties, H5P_DEFAULT);
  H5Pclose(properties);
  H5Sclose(space);
  if (dataset < 0) throw std::runtime_error("HDF5: cannot create a dataset");
  return dataset;
}

// The peer: one group per channel with its values and time stamps, each written
// by one H5Dwrite from memory.
void WriteHdf5FromMemory(const ExportSetup& setup, const std::string& path) {
  const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  if (file < 0) throw std::runtime_error("HDF5: cannot create " + path);
  for (size_t t = 0; t < setup.tables.size(); ++t) {
    const TableInMemory& table = setup.tables[t];
    const hsize_t rows = table.time.size();
    for (size_t c = 0; c < table.columns.size(); ++c) {
      const std::string name = setup.plan.tables[t].columns[c].channel->name;
      const hid_t group = H5Gcreate2(file, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
      const hid_t values = Dataset(group, "values", rows);
      const hid_t time = Dataset(group, "time", rows);
      if (H5Dwrite(values, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, table.columns[c].data()) < 0 ||
          H5Dwrite(time, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, table.time.data()) < 0) {
        throw std::runtime_error("HDF5: cannot write " + name);
      }
      H5Dclose(time);
      H5Dclose(values);
      H5Gclose(group);
    }
  }
  H5Fclose(file);
}

void BM_ExportHdf5(benchmark::State& state) {
  ExportSetup& setup = Setup();
  const std::string baseline = setup.recording.File("baseline.h5");
  const std::string out = setup.recording.File("export.h5");
  Bench::MeasureAgainstBaseline(
      state,
      [&] {
        WriteHdf5FromMemory(setup, baseline);
        std::filesystem::remove(baseline);
      },
      [&] {
        kvtool::Hdf5Sink sink(out);
        kvtool::RunExport(setup.plan, setup.summary, sink, {});
        RemoveOutputs(sink.Outputs());
      });
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * setup.valueBytes);
}
BENCHMARK(BM_ExportHdf5)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

// Writing and reading the HDF5 peer file.
#include "bench/BenchHdf5.h"

#include <hdf5.h>

#include <algorithm>
#include <stdexcept>

namespace Korvane::DataReader::Bench {
namespace {

constexpr hsize_t kChunkBytes = 64 << 10;
constexpr int64_t kWriteSamples = 1 << 20;

void Check(herr_t status, const char* what) {
  if (status < 0) throw std::runtime_error(std::string("HDF5: ") + what);
}

hid_t FileType(int dataType) {
  return dataType == 2 ? H5T_STD_I16LE : dataType == 5 ? H5T_IEEE_F32LE : H5T_IEEE_F64LE;
}

hid_t MemoryType(int dataType) {
  return dataType == 2 ? H5T_NATIVE_INT16 : dataType == 5 ? H5T_NATIVE_FLOAT : H5T_NATIVE_DOUBLE;
}

// Writes `count` elements from `data` at element `at` of a one-dimensional dataset.
void WriteSlab(hid_t dataset, hid_t memoryType, hsize_t at, hsize_t count, const void* data) {
  const hid_t fileSpace = H5Dget_space(dataset);
  Check(H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, &at, nullptr, &count, nullptr), "select");
  const hid_t memorySpace = H5Screate_simple(1, &count, nullptr);
  Check(H5Dwrite(dataset, memoryType, memorySpace, fileSpace, H5P_DEFAULT, data), "write");
  H5Sclose(memorySpace);
  H5Sclose(fileSpace);
}

}  // namespace

Hdf5Peer::Hdf5Peer(const BenchRecording& recording, const std::string& path) {
  file_ = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  if (file_ < 0) throw std::runtime_error("HDF5: cannot create " + path);
  std::vector<uint8_t> buffer;
  for (int c = 0; c < static_cast<int>(recording.channels().size()); ++c) {
    const BenchChannel& channel = recording.channels()[static_cast<size_t>(c)];
    const auto ranges = recording.SampleRanges(c);
    int64_t total = 0;
    for (const auto& range : ranges) total += range.second;
    const auto size = static_cast<hsize_t>(total);
    const hsize_t chunk = std::min<hsize_t>(kChunkBytes / static_cast<hsize_t>(channel.sampleBytes), size);
    const hid_t space = H5Screate_simple(1, &size, nullptr);
    const hid_t properties = H5Pcreate(H5P_DATASET_CREATE);
    Check(H5Pset_chunk(properties, 1, &chunk), "chunk");
    const std::string name = "channel" + std::to_string(c);
    const hid_t dataset = H5Dcreate2(static_cast<hid_t>(file_), name.c_str(), FileType(channel.dataType), space,
                                     H5P_DEFAULT, properties, H5P_DEFAULT);
    H5Pclose(properties);
    H5Sclose(space);
    if (dataset < 0) throw std::runtime_error("HDF5: cannot create " + name);
    hsize_t at = 0;
    for (const auto& [first, count] : ranges) {
      for (int64_t done = 0; done < count; done += kWriteSamples) {
        const int64_t n = std::min(kWriteSamples, count - done);
        buffer.resize(static_cast<size_t>(n * channel.sampleBytes));
        recording.RawSamples(c, first + done, n, buffer.data());
        WriteSlab(dataset, MemoryType(channel.dataType), at, static_cast<hsize_t>(n), buffer.data());
        at += static_cast<hsize_t>(n);
      }
    }
    datasets_.push_back(dataset);
    samples_.push_back(total);
  }
  H5Fflush(static_cast<hid_t>(file_), H5F_SCOPE_GLOBAL);
}

Hdf5Peer::~Hdf5Peer() {
  for (int64_t dataset : datasets_) H5Dclose(static_cast<hid_t>(dataset));
  if (file_ >= 0) H5Fclose(static_cast<hid_t>(file_));
}

void Hdf5Peer::Read(int channel, int64_t first, int64_t count, double* out) {
  const auto dataset = static_cast<hid_t>(datasets_.at(static_cast<size_t>(channel)));
  const auto at = static_cast<hsize_t>(first);
  const auto n = static_cast<hsize_t>(count);
  const hid_t fileSpace = H5Dget_space(dataset);
  Check(H5Sselect_hyperslab(fileSpace, H5S_SELECT_SET, &at, nullptr, &n, nullptr), "select");
  const hid_t memorySpace = H5Screate_simple(1, &n, nullptr);
  Check(H5Dread(dataset, H5T_NATIVE_DOUBLE, memorySpace, fileSpace, H5P_DEFAULT, out), "read");
  H5Sclose(memorySpace);
  H5Sclose(fileSpace);
}

}  // namespace Korvane::DataReader::Bench

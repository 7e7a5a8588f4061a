// HDF5 output: one file, one group per channel holding chunked, deflate-compressed
// extendible datasets "values" (n, or n x values per sample) and "time", with the
// channel's name, unit, description, scale, offset, rate and data type as
// attributes; the measurement info as file attributes; events and regions as
// compound datasets "/events" and "/regions". Text channels are fixed-length
// strings; binary channels are left out with a note. Plain types only, so h5py and
// MATLAB's h5read open it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ExportSink.h"
#include "PendingFile.h"

namespace kvtool {

// Every dataset is chunked in pieces of about this many bytes and compressed with
// the shuffle filter and deflate at this level (fast; the benchmark's peer uses
// the same).
inline constexpr uint64_t kHdf5ChunkBytes = 64 << 10;
inline constexpr unsigned kHdf5DeflateLevel = 1;

class Hdf5Sink : public ExportSink {
 public:
  explicit Hdf5Sink(std::string out);
  ~Hdf5Sink() override;

  void Begin(const ExportPlan& plan, const RecordingSummary& summary) override;
  void BeginTable(const ExportTable& table) override;
  void Write(const ExportTable& table, const RowWindow& rows) override;
  void EndTable(const ExportTable& table) override;
  void Commit() override;
  std::vector<std::string> Outputs() const override;

 private:
  struct Group;
  void CloseGroups();

  std::string out_;
  std::unique_ptr<PendingFile> file_;
  int64_t handle_ = -1;  // hid_t
  std::vector<std::unique_ptr<Group>> groups_;  // the current table's columns
  std::vector<std::string> groupNames_;         // every group made so far
  int64_t written_ = 0;                          // rows of the current table
  int64_t extent_ = 0;                           // rows its datasets hold
};

}  // namespace kvtool

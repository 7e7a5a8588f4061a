// MATLAB output through matio: one struct per channel with the fields name,
// values (rows x values per sample), time, unit and rate, in MATLAB's default
// version 7 format (MAT 5, compressed), or in MAT 7.3 (uncompressed) when a
// channel's struct would reach 2 GiB. matio writes a struct whole, so the sink
// holds one channel at a time in memory. Text and binary channels are left out
// with a note.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ExportSink.h"
#include "PendingFile.h"

namespace kvtool {

class MatSink : public ExportSink {
 public:
  explicit MatSink(std::string out);
  ~MatSink() override;

  bool ColumnAtATime() const override { return true; }
  void Begin(const ExportPlan& plan, const RecordingSummary& summary) override;
  void BeginTable(const ExportTable& table) override;
  void Write(const ExportTable& table, const RowWindow& rows) override;
  void EndTable(const ExportTable& table) override;
  void Commit() override;
  std::vector<std::string> Outputs() const override;

 private:
  std::string out_;
  std::unique_ptr<PendingFile> file_;
  void* mat_ = nullptr;  // mat_t
  int compression_ = 0;  // matio_compression of every variable
  std::vector<std::string> variables_;
  // The channel being gathered.
  bool skip_ = false;
  std::vector<double> values_;
  std::vector<double> time_;
};

}  // namespace kvtool

// CSV output: one file per table, a header row ("time" and one column per value),
// then one row per sample. Numbers are printed shortest-exact with std::to_chars
// (they read back bit for bit); texts and binary payloads (hex) are quoted cells.
// One table goes to OUT itself; several go to OUT's stem + "_" + table + ".csv".
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ExportSink.h"
#include "PendingFile.h"

namespace kvtool {

class CsvSink : public ExportSink {
 public:
  explicit CsvSink(std::string out);

  void Begin(const ExportPlan& plan, const RecordingSummary& summary) override;
  void BeginTable(const ExportTable& table) override;
  void Write(const ExportTable& table, const RowWindow& rows) override;
  void EndTable(const ExportTable& table) override;
  void Commit() override;
  std::vector<std::string> Outputs() const override;

 private:
  void Reserve(size_t bytes);
  void Flush();
  void Put(char c) { buffer_[used_++] = c; }
  void PutQuoted(const std::string& text);

  std::string out_;
  std::vector<std::unique_ptr<PendingFile>> files_;
  std::vector<std::string> tableNames_;  // the table each file holds
  PendingFile* current_ = nullptr;
  std::vector<char> buffer_;
  size_t used_ = 0;
  size_t rowBytes_ = 0;  // room a row of numbers needs at most
};

}  // namespace kvtool

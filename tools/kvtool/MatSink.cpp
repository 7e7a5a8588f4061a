// Writing through matio. MATLAB stores matrices column by column, so a channel's
// rows x width values are transposed when its struct is built.
#include "MatSink.h"

#include <matio.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "ToolError.h"

namespace kvtool {
namespace {

constexpr size_t kMaxVariableName = 63;

mat_t* Mat(void* handle) { return static_cast<mat_t*>(handle); }

// A MATLAB variable name (a letter, then letters, digits and '_') not taken yet.
std::string VariableName(const std::string& channel, std::vector<std::string>& taken) {
  std::string name;
  for (const char c : channel) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) name = "ch_" + name;
  name.resize(std::min(name.size(), kMaxVariableName - 4));
  const std::string stem = name;
  for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n) name = stem + "_" + std::to_string(n);
  taken.push_back(name);
  return name;
}

// MATLAB's own default format (version 7: MAT 5, compressed) holds variables of
// less than 2 GiB. A recording with a longer channel is written as MAT 7.3, and
// uncompressed there: matio compresses MAT 7.3 at zlib's slowest level, which
// took 7 s for one channel of 8 MB of samples here (a 256 MiB recording: 6.5
// minutes, against 4 s uncompressed).
constexpr int64_t kMat5VariableBytes = (int64_t{1} << 31) - (int64_t{1} << 20);  // room for the struct's headers

// True when every channel's struct (values and time, doubles) fits a MAT 5 variable.
bool FitsMat5(const ExportPlan& plan) {
  for (const ExportTable& table : plan.tables) {
    for (const ExportColumn& column : table.columns) {
      const int64_t bytesPerRow = (int64_t{column.width} + 1) * static_cast<int64_t>(sizeof(double));
      if (table.rows > kMat5VariableBytes / bytesPerRow) return false;
    }
  }
  return true;
}

matvar_t* Matrix(size_t rows, size_t columns, double* data) {
  size_t dims[2] = {rows, columns};
  return Mat_VarCreate(nullptr, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, data, MAT_F_DONT_COPY_DATA);
}

matvar_t* Text(const std::string& text) {
  size_t dims[2] = {1, text.size()};
  return Mat_VarCreate(nullptr, MAT_C_CHAR, MAT_T_UTF8, 2, dims, const_cast<char*>(text.data()), 0);
}

}  // namespace

MatSink::MatSink(std::string out) : out_(std::move(out)) {}

MatSink::~MatSink() {
  if (mat_ != nullptr) Mat_Close(Mat(mat_));
}

void MatSink::Begin(const ExportPlan& plan, const RecordingSummary&) {
  file_ = std::make_unique<PendingFile>(out_);
  file_->CloseStream();
  const std::string header = "kvtool export";
  const bool mat5 = FitsMat5(plan);
  compression_ = mat5 ? MAT_COMPRESSION_ZLIB : MAT_COMPRESSION_NONE;
  mat_ = Mat_CreateVer(file_->TemporaryPath().c_str(), header.c_str(), mat5 ? MAT_FT_MAT5 : MAT_FT_MAT73);
  if (mat_ == nullptr && !mat5) {
    throw ToolError(kExitOutputFailure, "cannot create " + out_ +
                                            ": a channel reaches 2 GiB, which needs MAT 7.3, and matio could not "
                                            "make a MAT 7.3 file (built without HDF5?)");
  }
  if (mat_ == nullptr) throw ToolError(kExitOutputFailure, "cannot create " + out_ + ": matio could not make the file");
}

void MatSink::BeginTable(const ExportTable& table) {
  const ChannelEntry& channel = *table.columns.front().channel;
  skip_ = table.columns.front().IsText();
  if (skip_) std::fprintf(stderr, "kvtool: note: mat leaves out the %s channel %s\n", ChannelListName(channel.list),
                          channel.name.c_str());
  values_.clear();
  time_.clear();
}

void MatSink::Write(const ExportTable& table, const RowWindow& rows) {
  if (skip_) return;
  const auto count = static_cast<size_t>(rows.rows * table.columns.front().width);
  values_.insert(values_.end(), rows.values[0], rows.values[0] + count);
  time_.insert(time_.end(), rows.time, rows.time + rows.rows);
}

void MatSink::EndTable(const ExportTable& table) {
  if (skip_) return;
  const ExportColumn& column = table.columns.front();
  const auto width = static_cast<size_t>(column.width);
  const size_t rows = time_.size();
  std::vector<double> columnMajor(values_.size());
  for (size_t r = 0; r < rows; ++r) {
    for (size_t k = 0; k < width; ++k) columnMajor[k * rows + r] = values_[r * width + k];
  }
  values_.clear();
  values_.shrink_to_fit();
  const std::string name = VariableName(column.channel->name, variables_);
  double rate = column.channel->rate;
  const char* fields[] = {"name", "values", "time", "unit", "rate"};
  size_t dims[2] = {1, 1};
  matvar_t* record = Mat_VarCreateStruct(name.c_str(), 2, dims, fields, 5);
  if (record == nullptr) throw ToolError(kExitOutputFailure, "writing " + out_ + ": matio could not make a struct");
  Mat_VarSetStructFieldByName(record, "name", 0, Text(column.channel->name));
  Mat_VarSetStructFieldByName(record, "values", 0, Matrix(rows, width, columnMajor.data()));
  Mat_VarSetStructFieldByName(record, "time", 0, Matrix(rows, 1, time_.data()));
  Mat_VarSetStructFieldByName(record, "unit", 0, Text(column.channel->unit));
  Mat_VarSetStructFieldByName(record, "rate", 0, Matrix(1, 1, &rate));
  const int status = Mat_VarWrite(Mat(mat_), record, static_cast<matio_compression>(compression_));
  Mat_VarFree(record);
  time_.clear();
  if (status != 0) throw ToolError(kExitOutputFailure, "writing " + out_ + ": matio could not write " + name);
}

void MatSink::Commit() {
  const int status = Mat_Close(Mat(mat_));
  mat_ = nullptr;
  if (status != 0) throw ToolError(kExitOutputFailure, "writing " + out_ + ": matio could not close the file");
  file_->Commit();
}

std::vector<std::string> MatSink::Outputs() const { return {out_}; }

}  // namespace kvtool

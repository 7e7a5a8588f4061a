// Buffered standard output: one fwrite per megabyte of rows.
#include "StreamOut.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "Output.h"
#include "ToolError.h"

namespace kvtool {

StreamOut::~StreamOut() {
  if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
}

StreamOut& StreamOut::Text(std::string_view text) {
  buffer_.append(text);
  MaybeFlush();
  return *this;
}

StreamOut& StreamOut::Char(char c) {
  buffer_.push_back(c);
  return *this;
}

StreamOut& StreamOut::Integer(long long value) { return Text(std::to_string(value)); }

StreamOut& StreamOut::Number(double value) {
  char text[32];
  buffer_.append(text, FormatDouble(value, text));
  MaybeFlush();
  return *this;
}

StreamOut& StreamOut::JsonNumber(double value) { return std::isfinite(value) ? Number(value) : Text("null"); }

StreamOut& StreamOut::JsonText(const std::string& text) {
  return Text(nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

StreamOut& StreamOut::CellText(const std::string& text) {
  for (const char c : text) {
    switch (c) {
      case '\\': buffer_ += "\\\\"; break;
      case '\t': buffer_ += "\\t"; break;
      case '\n': buffer_ += "\\n"; break;
      case '\r': buffer_ += "\\r"; break;
      default: buffer_.push_back(c);
    }
  }
  MaybeFlush();
  return *this;
}

void StreamOut::Write() {
  const size_t written = std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
  const bool complete = written == buffer_.size();
  buffer_.clear();
  if (!complete) throw ToolError(kExitOutputFailure, "cannot write to standard output");
}

void StreamOut::Flush() {
  Write();
  if (std::fflush(stdout) != 0) throw ToolError(kExitOutputFailure, "cannot write to standard output");
}

}  // namespace kvtool

// Buffered standard output for commands that print rows as they read them, so
// that the output of a recording of any size never sits in memory whole. Numbers
// go out shortest-exact; a failed write is a ToolError (kExitOutputFailure).
#pragma once

#include <string>
#include <string_view>

namespace kvtool {

class StreamOut {
 public:
  StreamOut() { buffer_.reserve(kFlushBytes + 4096); }
  // Flushes what is left; a failure here is lost, so commands call Flush first.
  ~StreamOut();
  StreamOut(const StreamOut&) = delete;
  StreamOut& operator=(const StreamOut&) = delete;

  StreamOut& Text(std::string_view text);
  StreamOut& Char(char c);
  StreamOut& Integer(long long value);
  // Shortest text that reads back as exactly value ("nan", "inf" included).
  StreamOut& Number(double value);
  // A JSON number, or null for NaN and infinities.
  StreamOut& JsonNumber(double value);
  // A JSON string (quoted, escaped; bytes that are not UTF-8 replaced).
  StreamOut& JsonText(const std::string& text);
  // A text for a tab-separated row: backslash, tab, newline and return escaped.
  StreamOut& CellText(const std::string& text);

  // Writes the buffer to standard output and flushes it; throws ToolError
  // (kExitOutputFailure) when the output does not take it.
  void Flush();

 private:
  static constexpr size_t kFlushBytes = size_t{1} << 20;
  void MaybeFlush() {
    if (buffer_.size() >= kFlushBytes) Write();
  }
  void Write();

  std::string buffer_;
};

}  // namespace kvtool

// The small value types shared by the XML document classes: parse status, load,
// save and target modes, and the export formatting an element carries. Everything
// here is plain data; the document classes own all memory.
#pragma once

#include <cstdint>

namespace Korvane::DataReader {

class XML;
class XMLHeader;
class XMLElement;
class XMLVariable;
class XMLContent;
class XMLComment;
class XMLCData;

// Outcome of the last load of a document.
enum XML_PARSE_STATUS : int {
  XML_PARSE_OK = 0,
  XML_PARSE_NO_HEADER = 1,  // parsed with a warning: no declaration, or no element at all
  XML_PARSE_ERROR = 2,      // an element's closing tag is missing; the partial tree stays
};

enum XML_LOAD_MODE : int {
  XML_LOAD_MODE_LOCAL_FILE = 0,
  XML_LOAD_MODE_MEMORY_BUFFER = 1,
};

// 0 writes names and values decoded; any other value writes them as stored, which
// keeps entities and so yields well-formed text.
enum XML_SAVE_MODE : int {
  XML_SAVE_MODE_ZERO = 0,
  XML_SAVE_MODE_DEFAULT = 1,
};

enum XML_TARGET_MODE : int {
  XML_TARGET_MODE_FILE = 0,
  XML_TARGET_MODE_MEMORY = 1,
};

// How an element and its descendants are written by Export.
struct XMLEXPORTFORMAT {
  int32_t UseSpace = 0;     // non-zero: the indentation unit is spaces, else tabs
  int32_t IndentCount = 1;  // characters per indentation level, at most kMaxIndentCount
  bool Compact = false;     // no line breaks after tags and contents
};

inline constexpr int32_t kMaxIndentCount = 50;

}  // namespace Korvane::DataReader

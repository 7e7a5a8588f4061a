// XML: one XML document, owning its header and root element. Loading is lenient: it
// always leaves a header and a root in place and records how the parse went in the
// parse status. Also home of the entity codec and the query matching that the
// element classes share. Not thread-safe; each document is used by one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "xml/XMLArena.h"
#include "xml/XMLElement.h"
#include "xml/XMLHeader.h"
#include "xml/XMLTypes.h"

namespace Korvane::DataReader {

class XML {
 public:
  // An empty document: no header, no root.
  XML();
  // Saves to the file it was loaded from when SaveOnClose asked for it.
  ~XML();

  XML(const XML&) = delete;
  XML& operator=(const XML&) = delete;

  // Clears the document and parses the source: a file path (mode 0) or the text
  // itself (mode 1). Always returns 1; the outcome is in ParseStatus. A file that
  // cannot be read, and an empty text, give the default header and a root element
  // named "root"; an unsupported mode gives the same with XML_PARSE_ERROR.
  int Load(const char* source, XML_LOAD_MODE mode);
  // Load (text, XML_LOAD_MODE_MEMORY_BUFFER).
  int LoadText(const char* text);
  // The same for text that need not be terminated; it ends at its first NUL byte.
  int LoadText(std::string_view text);

  // The status of the last load; `detail` (optional) receives the same value.
  XML_PARSE_STATUS ParseStatus(int* detail = nullptr) const noexcept;
  // True when header and root exist and every item of both has its text.
  bool IntegrityTest() const;

  XMLElement* GetRootElement() const noexcept { return root_.get(); }
  XMLHeader* GetHeader() const noexcept { return header_.get(); }
  // The path the document was loaded from, "" for text.
  const std::string& GetFileName() const noexcept { return fileName_; }
  // Releases header and root; the document is empty again.
  void Clear();

  // The export size estimate of the root element plus the header.
  int64_t MemoryUsage() const;
  // Appends the whole document (declaration, header comments, root) to `out`.
  void Export(std::string& out, XML_SAVE_MODE saveMode = XML_SAVE_MODE_DEFAULT) const;
  // Writes the whole document to `path` with a UTF-8 declaration; false on failure.
  bool Save(const char* path, XML_SAVE_MODE saveMode = XML_SAVE_MODE_DEFAULT);
  // Asks the destructor to save the document back to the file it was loaded from.
  void SaveOnClose(bool save) noexcept { saveOnClose_ = save; }

  // Follows the backslash path from the root element, looks up the attribute and,
  // when its decoded value and a terminator fit in `size` bytes, copies it to `out`.
  // Returns the value's length, 0 when path or attribute is missing.
  int XMLGetValue(const char* path, const char* attribute, char* out, int size) const;
  // Sets the attribute at the path, creating missing elements and the attribute;
  // false when the document has no root.
  bool XMLSetValue(const char* path, const char* attribute, const char* value);
  // XMLElement::XMLQuery on the element at the section path; 0 when it is missing.
  int XMLQuery(const char* section, const char* expression, XMLElement** results, int max) const;

  // Decodes `text` into `out` (which needs strlen(text) + 1 bytes) and returns the
  // decoded length; with `out` null returns strlen(text), the upper bound.
  static int XMLDecode(const char* text, char* out);
  // Encodes `text` into `out` and returns the encoded length; with `out` null returns
  // the length `out` must hold without its terminator.
  static int XMLEncode(const char* text, char* out);
  // Compares an attribute value with an operand. A quoted operand compares text with
  // "==" or "!=" by VMatching; an unquoted one compares integers with "==", "!=",
  // ">=", "<=", "<" or ">", and a value or operand that is no integer never matches.
  // Any other operator matches.
  static bool TestMatch(const char* value, const char* op, const char* operand);
  // Wildcard match, case-insensitive: '*' matches any run, '?' any one character.
  static bool VMatching(const char* text, const char* pattern);

 private:
  void Parse(std::string_view text);
  void SetDefaults();

  // Holds the parsed nodes, so it is declared before (and released after) them.
  std::unique_ptr<XMLArena> arena_;
  std::unique_ptr<XMLHeader> header_;
  std::unique_ptr<XMLElement> root_;
  std::string fileName_;
  XML_PARSE_STATUS status_ = XML_PARSE_OK;
  bool saveOnClose_ = false;
};

}  // namespace Korvane::DataReader

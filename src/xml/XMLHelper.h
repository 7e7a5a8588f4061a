// XMLHelper: the parser that turns XML text into an element tree. One pass over the
// text with an explicit stack of open elements: linear in the text, no recursion, any
// nesting depth. It throws only when memory runs out (std::bad_alloc, or
// std::length_error for a single text of 4 GiB or more); what it cannot parse is
// reported through the parse status and the partial tree is kept.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "xml/XMLArena.h"
#include "xml/XMLElement.h"
#include "xml/XMLHeader.h"
#include "xml/XMLTypes.h"

namespace Korvane::DataReader {

class XMLHelper {
 public:
  // Parses `text` (which ends at its first NUL byte, if any). Without a parent the
  // first top-level element becomes the returned root; later top-level elements are
  // parsed and dropped, and top-level comments go to `header` (position 0 before the
  // root, 1 after it). With a parent, top-level elements and items are added to it and
  // null is returned. Sets `status` to XML_PARSE_ERROR when an element is left open
  // (its closing tag is missing) or markup is cut off before the root element is
  // complete; leaves it otherwise. Elements, attributes and contents are placed in
  // `arena` when one is given (which must then outlive them), else each on the heap.
  static std::unique_ptr<XMLElement> ParseElementTree(XMLHeader* header, XMLElement* parent, std::string_view text,
                                                      XML_PARSE_STATUS& status, XMLArena* arena = nullptr);

  // The position just after the markup that ends the element or item starting at the
  // first '<' at or after `start`: after its matching closing tag for a start tag
  // (closing tags matched by depth, names not checked), after itself for an empty
  // element, comment, CDATA section or processing instruction. npos when not found.
  static size_t FindXMLClose(std::string_view text, size_t start);

  // Adds `text` to `parent` as a content at `position` once leading and trailing tabs,
  // line feeds, carriage returns and spaces are removed; nothing without a parent or
  // when nothing is left. The content is placed in `arena` when one is given.
  static void AddBlankVariable(XMLElement* parent, std::string_view text, int position, XMLArena* arena = nullptr);
};

}  // namespace Korvane::DataReader

// A forward walk over the tags of the setup text that keeps, per open element,
// whether it lies on the path asked for; enough XML for one property, in one pass.
#include "SetupProperty.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

namespace kvtool {
namespace {

constexpr int32_t kDefaultBlockSize = 100;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// Position behind `close` searched from `from`, or npos.
size_t Behind(std::string_view text, size_t from, std::string_view close) {
  const size_t at = text.find(close, from);
  return at == std::string_view::npos ? at : at + close.size();
}

// The '>' ending the tag that opens at `from`, passing over quoted values.
size_t TagEnd(std::string_view text, size_t from) {
  char quote = 0;
  for (size_t i = from; i < text.size(); ++i) {
    if (quote != 0) {
      if (text[i] == quote) quote = 0;
    } else if (text[i] == '"' || text[i] == '\'') {
      quote = text[i];
    } else if (text[i] == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

struct OpenElement {
  size_t depth = 0;          // steps of the path matched by this element and its parents
  bool childMatched = false; // a child already took the next step (the first one wins)
};

}  // namespace

std::optional<std::string> MeasurementProperty(std::string_view setup, std::string_view name) {
  const std::string_view path[] = {"System", "KorvaneSetup", "Devices", name};
  constexpr size_t kSteps = std::size(path);
  std::vector<OpenElement> open;
  size_t i = 0;
  while ((i = setup.find('<', i)) != std::string_view::npos) {
    const std::string_view rest = setup.substr(i);
    if (rest.starts_with("<!--")) {
      i = Behind(setup, i + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      i = Behind(setup, i + 9, "]]>");
    } else if (rest.starts_with("<?") || rest.starts_with("<!")) {
      i = Behind(setup, i + 2, ">");
    } else if (rest.starts_with("</")) {
      if (!open.empty()) open.pop_back();
      i = Behind(setup, i + 2, ">");
    } else {
      const size_t end = TagEnd(setup, i + 1);
      if (end == std::string_view::npos) break;
      size_t nameEnd = i + 1;
      while (nameEnd < end && !std::isspace(static_cast<unsigned char>(setup[nameEnd])) && setup[nameEnd] != '/') {
        ++nameEnd;
      }
      const std::string_view tag = setup.substr(i + 1, nameEnd - i - 1);
      const bool empty = setup[end - 1] == '/';
      // The root is step 0; element k of the path is step k + 1.
      size_t depth = 0;
      if (open.empty()) {
        depth = 1;
      } else if (OpenElement& parent = open.back();
                 parent.depth == open.size() && parent.depth <= kSteps && !parent.childMatched &&
                 SameName(tag, path[parent.depth - 1])) {
        parent.childMatched = true;
        depth = parent.depth + 1;
      }
      if (depth == kSteps + 1) {
        if (empty) return std::nullopt;
        const size_t textEnd = std::min(setup.find('<', end + 1), setup.size());
        return std::string(setup.substr(end + 1, textEnd - end - 1));
      }
      if (!empty) open.push_back({depth, false});
      i = end + 1;
    }
    if (i == std::string_view::npos) break;
  }
  return std::nullopt;
}

std::optional<int32_t> SetupBlockSize(std::string_view setup) {
  const std::optional<std::string> text = MeasurementProperty(setup, "BlockSize");
  if (!text) return kDefaultBlockSize;
  const char* first = text->data();
  const char* last = first + text->size();
  while (first != last && std::isspace(static_cast<unsigned char>(*first))) ++first;
  if (first == last) return kDefaultBlockSize;  // an element without text reads as missing
  if (*first == '+') ++first;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc{} || end == first || value <= 0) return std::nullopt;
  return value;
}

}  // namespace kvtool

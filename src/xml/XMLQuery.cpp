// Attribute queries over the children of an element: an expression names an
// attribute, an operator and an operand ("Type == \"A*\"", "Rate >= 100").
#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "xml/XML.h"

namespace Korvane::DataReader {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";
constexpr std::string_view kOperatorCharacters = "=!<>";

std::string_view Trim(std::string_view text) noexcept {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The whole text as a decimal integer (blanks around it allowed), or nothing.
std::optional<long long> ParseInteger(std::string_view text) noexcept {
  text = Trim(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

struct Expression {
  std::string attribute;
  std::string op;
  std::string operand;
};

Expression ParseExpression(std::string_view text) {
  text = Trim(text);
  size_t pos = 0;
  while (pos < text.size() && kBlanks.find(text[pos]) == std::string_view::npos &&
         kOperatorCharacters.find(text[pos]) == std::string_view::npos) {
    ++pos;
  }
  Expression expression;
  expression.attribute = text.substr(0, pos);
  text = Trim(text.substr(pos));
  pos = 0;
  while (pos < text.size() && pos < 2 && kOperatorCharacters.find(text[pos]) != std::string_view::npos) ++pos;
  expression.op = text.substr(0, pos);
  expression.operand = Trim(text.substr(pos));
  return expression;
}

unsigned char Fold(char c) noexcept { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

bool XML::VMatching(const char* text, const char* pattern) {
  const std::string_view t = text != nullptr ? text : "";
  const std::string_view p = pattern != nullptr ? pattern : "";
  // Greedy match that backs up to the last '*' on a mismatch: O(|t| x |p|) at worst.
  size_t ti = 0, pi = 0;
  size_t starPattern = std::string_view::npos, starText = 0;
  while (ti < t.size()) {
    if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && Fold(p[pi]) == Fold(t[ti])))) {
      ++ti;
      ++pi;
    } else if (pi < p.size() && p[pi] == '*') {
      starPattern = pi++;
      starText = ti;
    } else if (starPattern != std::string_view::npos) {
      pi = starPattern + 1;
      ti = ++starText;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

bool XML::TestMatch(const char* value, const char* op, const char* operand) {
  const std::string_view v = value != nullptr ? value : "";
  const std::string_view o = op != nullptr ? op : "";
  std::string_view x = operand != nullptr ? operand : "";
  if (x.starts_with('"')) {
    x.remove_prefix(1);
    if (x.ends_with('"')) x.remove_suffix(1);
    const std::string pattern(x);
    const std::string text(v);
    if (o == "==") return VMatching(text.c_str(), pattern.c_str());
    if (o == "!=") return !VMatching(text.c_str(), pattern.c_str());
    return true;
  }
  if (o != "==" && o != "!=" && o != ">=" && o != "<=" && o != "<" && o != ">") return true;
  const std::optional<long long> left = ParseInteger(v);
  const std::optional<long long> right = ParseInteger(x);
  if (!left || !right) return false;
  if (o == "==") return *left == *right;
  if (o == "!=") return *left != *right;
  if (o == ">=") return *left >= *right;
  if (o == "<=") return *left <= *right;
  if (o == "<") return *left < *right;
  return *left > *right;
}

int XMLElement::XMLQuery(const char* expression, XMLElement** results, int max) const {
  const Expression parsed = ParseExpression(expression != nullptr ? expression : "");
  int matches = 0;
  for (XMLElement* child : GetChildren()) {
    const int index = child->FindVariable(parsed.attribute.c_str());
    if (index < 0) continue;
    const std::string value = child->GetVariables()[static_cast<size_t>(index)]->Value();
    if (!XML::TestMatch(value.c_str(), parsed.op.c_str(), parsed.operand.c_str())) continue;
    if (results != nullptr && matches < max) results[matches] = child;
    ++matches;
  }
  return matches;
}

}  // namespace Korvane::DataReader

// XmlNode: a small element tree that the test kit writes out as XML text, for the
// setup and measurement-info documents of test files. It only writes; it never
// reads the library's documents. Children are kept in a list so references to
// them stay valid while more are added.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <utility>
#include <vector>

namespace Korvane::DataReader::TestKit {

class XmlNode {
 public:
  explicit XmlNode(std::string name) : name_(std::move(name)) {}

  // Adds (or replaces) an attribute; returns this node.
  XmlNode& Attr(const std::string& name, const std::string& value);
  XmlNode& Attr(const std::string& name, int64_t value) { return Attr(name, std::to_string(value)); }

  // Sets this node's text content; returns this node.
  XmlNode& Text(const std::string& text);

  // Sets the value `name` (a child element holding `text`): replaces the text of
  // an existing child without children of that name, else appends one. Returns
  // this node, so values chain.
  XmlNode& Set(const std::string& name, const std::string& text);
  XmlNode& Set(const std::string& name, const char* text) { return Set(name, std::string(text)); }
  XmlNode& Set(const std::string& name, int value) { return Set(name, std::to_string(value)); }
  XmlNode& Set(const std::string& name, int64_t value) { return Set(name, std::to_string(value)); }
  XmlNode& Set(const std::string& name, double value);
  XmlNode& Set(const std::string& name, bool value) { return Set(name, std::string(value ? "true" : "false")); }

  // The Add family appends a child and returns the child; With appends one and
  // returns this node, like Set, so that a definition takes several records in one
  // chain: def.Set("Unit", "V").With(arrayInfo).With(onlineInfo).
  // Appends an empty child element and returns it.
  XmlNode& Add(const std::string& name);
  // Appends a copy of `child` and returns the copy.
  XmlNode& AddCopy(const XmlNode& child);
  // Appends a copy of `child` and returns this node.
  XmlNode& With(const XmlNode& child);

  // The first child of that name (exact), or null.
  XmlNode* Child(const std::string& name);
  // The first child of that name, created when missing.
  XmlNode& Ensure(const std::string& name);

  const std::string& Name() const noexcept { return name_; }

  // The subtree as XML text, one element per line, indented by depth.
  void Write(std::string& out, int depth = 0) const;
  std::string ToString() const;

 private:
  std::string name_;
  std::vector<std::pair<std::string, std::string>> attributes_;
  std::string text_;
  std::list<XmlNode> children_;
};

// `text` with the five XML special characters written as entities.
std::string XmlEscape(const std::string& text);

// The XML declaration every document of the test kit starts with.
inline constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

}  // namespace Korvane::DataReader::TestKit

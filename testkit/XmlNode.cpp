// XmlNode: writing a small element tree as XML text.
#include "testkit/XmlNode.h"

#include <cstdio>

namespace Korvane::DataReader::TestKit {

std::string XmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

XmlNode& XmlNode::Attr(const std::string& name, const std::string& value) {
  for (auto& attribute : attributes_) {
    if (attribute.first == name) {
      attribute.second = value;
      return *this;
    }
  }
  attributes_.emplace_back(name, value);
  return *this;
}

XmlNode& XmlNode::Text(const std::string& text) {
  text_ = text;
  return *this;
}

XmlNode& XmlNode::Set(const std::string& name, const std::string& text) {
  XmlNode* existing = Child(name);
  if (existing != nullptr && existing->children_.empty()) {
    existing->Text(text);
  } else {
    Add(name).Text(text);
  }
  return *this;
}

XmlNode& XmlNode::Set(const std::string& name, double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return Set(name, std::string(text));
}

XmlNode& XmlNode::Add(const std::string& name) { return children_.emplace_back(name); }

XmlNode& XmlNode::AddCopy(const XmlNode& child) { return children_.emplace_back(child); }

XmlNode& XmlNode::With(const XmlNode& child) {
  children_.emplace_back(child);
  return *this;
}

XmlNode* XmlNode::Child(const std::string& name) {
  for (XmlNode& child : children_) {
    if (child.name_ == name) return &child;
  }
  return nullptr;
}

XmlNode& XmlNode::Ensure(const std::string& name) {
  XmlNode* child = Child(name);
  return child != nullptr ? *child : Add(name);
}

void XmlNode::Write(std::string& out, int depth) const {
  out.append(static_cast<size_t>(depth), '\t');
  out += '<';
  out += name_;
  for (const auto& [name, value] : attributes_) {
    out += ' ';
    out += name;
    out += "=\"";
    out += XmlEscape(value);
    out += '"';
  }
  if (children_.empty() && text_.empty()) {
    out += "/>\r\n";
    return;
  }
  out += '>';
  out += XmlEscape(text_);
  if (!children_.empty()) {
    out += "\r\n";
    for (const XmlNode& child : children_) child.Write(out, depth + 1);
    out.append(static_cast<size_t>(depth), '\t');
  }
  out += "</";
  out += name_;
  out += ">\r\n";
}

std::string XmlNode::ToString() const {
  std::string out;
  Write(out);
  return out;
}

}  // namespace Korvane::DataReader::TestKit

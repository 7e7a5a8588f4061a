// Attribute texts and their typed forms. Numbers go through the C library on the
// decoded value, so they follow the process's numeric locale.
#include "xml/XMLVariable.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "xml/XMLText.h"

namespace Korvane::DataReader {
namespace {

std::string_view WithoutTrailingSpaces(std::string_view text) noexcept {
  const size_t end = text.find_last_not_of(' ');
  return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

// The stored form of a text given through the programming interface.
std::string StoredForm(const char* text, int raw) {
  return raw != 0 ? std::string(text) : XMLText::Encode(text);
}

}  // namespace

XMLVariable::XMLVariable(XMLElement* owner, const char* name, const char* value, int raw, bool temporal)
    : owner_(owner), hasName_(name != nullptr), hasValue_(value != nullptr), temporal_(temporal) {
  if (name != nullptr) SetName(name, raw);
  if (value != nullptr) value_.assign(StoredForm(value, raw));
}

XMLVariable::XMLVariable(XMLElement* owner, std::string_view storedName, std::string_view storedValue)
    : name_(WithoutTrailingSpaces(storedName)), value_(storedValue), owner_(owner) {}

int XMLVariable::GetName(char* out, int raw) const noexcept { return XMLText::GetText(name_, out, raw); }

int XMLVariable::GetValue(char* out, int raw) const noexcept { return XMLText::GetText(value_, out, raw); }

std::string XMLVariable::Name(bool raw) const { return raw ? std::string(name_) : XMLText::Decode(name_); }

std::string XMLVariable::Value(bool raw) const { return raw ? std::string(value_) : XMLText::Decode(value_); }

void XMLVariable::SetName(const char* name, int raw) {
  hasName_ = name != nullptr;
  name_.assign(WithoutTrailingSpaces(name != nullptr ? StoredForm(name, raw) : std::string()));
}

void XMLVariable::SetValue(const char* value, int raw) {
  hasValue_ = value != nullptr;
  value_.assign(value != nullptr ? StoredForm(value, raw) : std::string());
}

int XMLVariable::SetFormattedValue(const char* format, ...) {
  if (format == nullptr) return 0;
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  SetValue(text.c_str());
  return static_cast<int>(value_.size());
}

int XMLVariable::GetValueInt() const {
  return static_cast<int>(std::strtol(Value().c_str(), nullptr, 10));
}

unsigned int XMLVariable::GetValueUInt() const {
  unsigned int value = 0;
  if (std::sscanf(Value().c_str(), "%u", &value) != 1) return 0;
  return value;
}

int64_t XMLVariable::GetValueInt64() const {
  return static_cast<int64_t>(std::strtoll(Value().c_str(), nullptr, 10));
}

uint64_t XMLVariable::GetValueUInt64() const {
  return static_cast<uint64_t>(std::strtoull(Value().c_str(), nullptr, 10));
}

float XMLVariable::GetValueFloat() const { return static_cast<float>(std::strtod(Value().c_str(), nullptr)); }

void XMLVariable::SetValueInt(int value) { SetFormattedValue("%d", value); }

void XMLVariable::SetValueUInt(unsigned int value) { SetFormattedValue("%u", value); }

void XMLVariable::SetValueInt64(int64_t value) { SetFormattedValue("%" PRId64, value); }

void XMLVariable::SetValueUInt64(uint64_t value) { SetFormattedValue("%" PRIu64, value); }

void XMLVariable::SetValueFloat(float value) { SetFormattedValue("%.9g", static_cast<double>(value)); }

std::unique_ptr<XMLVariable> XMLVariable::Duplicate() const {
  auto copy = std::make_unique<XMLVariable>(nullptr, name_, value_);
  copy->hasName_ = hasName_;
  copy->hasValue_ = hasValue_;
  copy->temporal_ = temporal_;
  return copy;
}

}  // namespace Korvane::DataReader

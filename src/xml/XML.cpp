// Loading, saving and path access of a whole document. The stored layout of a
// document: an optional declaration ending at the first "?>", then the root element
// with comments before or after it.
#include "xml/XML.h"

#include <cstring>

#include "xml/XMLHelper.h"
#include "xml/XMLText.h"

namespace Korvane::DataReader {
namespace {

constexpr std::string_view kDeclarationEnd = "?>";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kDefaultRootTag = "<root>";

// The whole file, or nothing with false when it cannot be read.
bool ReadWholeFile(const char* path, std::string& text) {
  std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  if (file == nullptr) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    text.resize(static_cast<size_t>(size));
    ok = std::fread(text.data(), 1, text.size(), file) == text.size();
  }
  std::fclose(file);
  return ok;
}

}  // namespace

XML::XML() = default;

XML::~XML() {
  if (saveOnClose_ && !fileName_.empty()) Save(fileName_.c_str());
}

void XML::Clear() {
  header_.reset();
  root_.reset();
  arena_.reset();
  fileName_.clear();
  status_ = XML_PARSE_OK;
}

void XML::SetDefaults() {
  header_ = std::make_unique<XMLHeader>(XMLHeader::kDefaultDeclaration);
  root_ = std::make_unique<XMLElement>(nullptr, kDefaultRootTag);
}

int XML::Load(const char* source, XML_LOAD_MODE mode) {
  Clear();
  if (mode == XML_LOAD_MODE_MEMORY_BUFFER) {
    Parse(source != nullptr ? std::string_view(source) : std::string_view());
  } else if (mode == XML_LOAD_MODE_LOCAL_FILE) {
    std::string text;
    if (ReadWholeFile(source, text)) {
      Parse(text);
    } else {
      SetDefaults();
    }
    fileName_ = source != nullptr ? source : "";
  } else {
    SetDefaults();
    status_ = XML_PARSE_ERROR;
  }
  return 1;
}

int XML::LoadText(const char* text) { return Load(text, XML_LOAD_MODE_MEMORY_BUFFER); }

int XML::LoadText(std::string_view text) {
  Clear();
  Parse(text);
  return 1;
}

void XML::Parse(std::string_view text) {
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  if (nul != nullptr) text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
  if (text.empty()) {
    SetDefaults();
    return;
  }
  std::string_view body = text;
  const size_t declarationEnd = text.find(kDeclarationEnd);
  if (declarationEnd != std::string_view::npos) {
    header_ = std::make_unique<XMLHeader>(text.substr(0, declarationEnd + kDeclarationEnd.size()));
    body = text.substr(declarationEnd + kDeclarationEnd.size());
  } else {
    status_ = XML_PARSE_NO_HEADER;
    header_ = std::make_unique<XMLHeader>(std::string(kByteOrderMark).append(XMLHeader::kDefaultDeclaration));
  }
  const size_t firstTag = body.find('<');
  if (firstTag != std::string_view::npos) {
    arena_ = std::make_unique<XMLArena>();
    root_ = XMLHelper::ParseElementTree(header_.get(), nullptr, body.substr(firstTag), status_, arena_.get());
  }
  if (root_ == nullptr) {
    if (status_ == XML_PARSE_OK) status_ = XML_PARSE_NO_HEADER;
    root_ = std::make_unique<XMLElement>(nullptr, kDefaultRootTag);
  }
}

XML_PARSE_STATUS XML::ParseStatus(int* detail) const noexcept {
  if (detail != nullptr) *detail = status_;
  return status_;
}

bool XML::IntegrityTest() const {
  return header_ != nullptr && root_ != nullptr && header_->IntegrityTest() && root_->IntegrityTest();
}

int64_t XML::MemoryUsage() const {
  int64_t bytes = 0;
  if (header_ != nullptr) bytes += header_->MemoryUsage();
  if (root_ != nullptr) bytes += root_->MemoryUsage();
  return bytes;
}

void XML::Export(std::string& out, XML_SAVE_MODE saveMode) const {
  if (root_ != nullptr) {
    root_->Export(out, 1, saveMode, header_.get());
  } else if (header_ != nullptr) {
    header_->ExportPrologue(out);
    header_->ExportEpilogue(out);
  }
}

bool XML::Save(const char* path, XML_SAVE_MODE saveMode) {
  if (path == nullptr) return false;
  if (header_ == nullptr) header_ = std::make_unique<XMLHeader>(XMLHeader::kDefaultDeclaration);
  header_->SetEncoding("UTF-8");
  std::string text;
  Export(text, saveMode);
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

int XML::XMLGetValue(const char* path, const char* attribute, char* out, int size) const {
  if (root_ == nullptr) return 0;
  const XMLElement* element = root_->GetElementInSection(path);
  if (element == nullptr) return 0;
  const int index = element->FindVariable(attribute);
  if (index < 0) return 0;
  const std::string value = element->GetVariables()[static_cast<size_t>(index)]->Value();
  if (out != nullptr && size > 0 && value.size() < static_cast<size_t>(size)) XMLText::CopyOut(value, out);
  return static_cast<int>(value.size());
}

bool XML::XMLSetValue(const char* path, const char* attribute, const char* value) {
  if (root_ == nullptr) return false;
  XMLElement* element = root_->GetElementInSection(path, true);
  element->FindVariableZ(attribute, true)->SetValue(value != nullptr ? value : "");
  return true;
}

int XML::XMLQuery(const char* section, const char* expression, XMLElement** results, int max) const {
  if (root_ == nullptr) return 0;
  const XMLElement* element = root_->GetElementInSection(section);
  return element != nullptr ? element->XMLQuery(expression, results, max) : 0;
}

int XML::XMLDecode(const char* text, char* out) {
  const std::string_view source = text != nullptr ? text : "";
  return XMLText::GetText(source, out, 0);
}

int XML::XMLEncode(const char* text, char* out) {
  const std::string_view source = text != nullptr ? text : "";
  if (out == nullptr) return static_cast<int>(XMLText::EncodedLength(source));
  return XMLText::CopyOut(XMLText::Encode(source), out);
}

}  // namespace Korvane::DataReader

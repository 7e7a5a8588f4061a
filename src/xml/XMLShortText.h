// XMLShortText: the storage of one name or text of the document tree. Up to
// kInlineBytes bytes live in the object itself, so the short names and values that
// make up most documents cost no allocation of their own; longer texts take one heap
// block of exactly their size. 32 bytes, movable and copyable.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace Korvane::DataReader {

class XMLShortText {
 public:
  static constexpr size_t kInlineBytes = 28;

  XMLShortText() noexcept = default;
  explicit XMLShortText(std::string_view text) { assign(text); }
  XMLShortText(const XMLShortText& other) { assign(other.view()); }
  XMLShortText(XMLShortText&& other) noexcept { TakeFrom(other); }
  XMLShortText& operator=(const XMLShortText& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  XMLShortText& operator=(XMLShortText&& other) noexcept {
    if (this != &other) {
      Free();
      TakeFrom(other);
    }
    return *this;
  }
  ~XMLShortText() { Free(); }

  std::string_view view() const noexcept { return {IsInline() ? local_ : Heap(), size_}; }
  operator std::string_view() const noexcept { return view(); }
  size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // Throws std::length_error for a text of 4 GiB or more.
  void assign(std::string_view text) {
    if (text.size() > UINT32_MAX) throw std::length_error("XML text too long");
    if (size_ == 0 && text.size() <= kInlineBytes) {
      // Nothing to free and nothing of this object's own in `text`: the parser's
      // case, one copy.
      if (!text.empty()) std::memcpy(local_, text.data(), text.size());
      size_ = static_cast<uint32_t>(text.size());
      return;
    }
    // Copy before freeing: `text` may point into this object's own storage.
    if (text.size() > kInlineBytes) {
      char* block = new char[text.size()];
      std::memcpy(block, text.data(), text.size());
      Free();
      std::memcpy(local_, &block, sizeof block);
    } else {
      char copy[kInlineBytes];
      if (!text.empty()) std::memcpy(copy, text.data(), text.size());
      Free();
      if (!text.empty()) std::memcpy(local_, copy, text.size());
    }
    size_ = static_cast<uint32_t>(text.size());
  }
  void clear() noexcept {
    Free();
    size_ = 0;
  }
  void swap(XMLShortText& other) noexcept {
    XMLShortText held(std::move(other));
    other = std::move(*this);
    *this = std::move(held);
  }

 private:
  bool IsInline() const noexcept { return size_ <= kInlineBytes; }
  // A longer text's block address, kept in the first bytes of local_ (unaligned, so
  // that the object stays 32 bytes).
  char* Heap() const noexcept {
    char* block;
    std::memcpy(&block, local_, sizeof block);
    return block;
  }
  void Free() noexcept {
    if (!IsInline()) delete[] Heap();
  }
  void TakeFrom(XMLShortText& other) noexcept {
    std::memcpy(local_, other.local_, sizeof local_);
    size_ = other.size_;
    other.size_ = 0;
  }

  char local_[kInlineBytes];  // the text, or (size_ > kInlineBytes) its block address
  uint32_t size_ = 0;
};

static_assert(sizeof(XMLShortText) == 32);

inline bool operator==(const XMLShortText& a, const XMLShortText& b) noexcept { return a.view() == b.view(); }

}  // namespace Korvane::DataReader

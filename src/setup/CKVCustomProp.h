// One named custom property of a channel, as the acquisition side attached it in
// the channel's "CustomProps": an integer, a floating-point number or a short
// text. Owned by its channel; copied into the public KVCustomProperty entries.
#pragma once

#include <cstdint>
#include <string>

#include "KVDataReaderLib.h"

namespace Korvane::DataReader {

class CKVCustomProp {
 public:
  // Value kinds; the numbers are those of the public record.
  enum Type : int { kNone = 0, kInteger = 1, kFloat = 2, kString = 3 };

  // Width of the key and of a text value, terminator included.
  static constexpr int kKeyBytes = 100;
  static constexpr int kStringBytes = 100;

  // An empty key without a value.
  CKVCustomProp() = default;

  // The key, cut to 99 characters.
  void SetKey(const std::string& key);
  void SetInteger(int64_t value);
  void SetFloat(double value);
  // A text of 99 characters or fewer is kept; a longer one leaves the value
  // empty (the property is still a text property).
  void SetString(const std::string& value);

  const std::string& GetKey() const noexcept { return key_; }
  Type GetType() const noexcept { return type_; }
  int64_t GetInteger() const noexcept { return intValue_; }
  double GetFloat() const noexcept { return floatValue_; }
  const std::string& GetString() const noexcept { return stringValue_; }

  // Fills the public entry: the name, the value type and only the value field of
  // that type; the other value fields keep what the caller put there.
  void GetCustomProperty(KVCustomProperty* out) const;

 private:
  std::string key_;
  Type type_ = kNone;
  int64_t intValue_ = 0;
  double floatValue_ = 0;
  std::string stringValue_;
};

}  // namespace Korvane::DataReader

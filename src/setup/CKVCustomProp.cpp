// CKVCustomProp: one custom property of a channel and its copy into the public
// entry.
#include "setup/CKVCustomProp.h"

#include "common/TextUtils.h"

namespace Korvane::DataReader {

void CKVCustomProp::SetKey(const std::string& key) { key_ = key.substr(0, kKeyBytes - 1); }

void CKVCustomProp::SetInteger(int64_t value) {
  type_ = kInteger;
  intValue_ = value;
}

void CKVCustomProp::SetFloat(double value) {
  type_ = kFloat;
  floatValue_ = value;
}

void CKVCustomProp::SetString(const std::string& value) {
  type_ = kString;
  stringValue_ = value.size() < static_cast<size_t>(kStringBytes) ? value : std::string();
}

void CKVCustomProp::GetCustomProperty(KVCustomProperty* out) const {
  CopyStr(out->name, key_.c_str(), sizeof out->name);
  out->value_type = type_;
  switch (type_) {
    case kInteger:
      out->int_value = intValue_;
      break;
    case kFloat:
      out->float_value = floatValue_;
      break;
    case kString:
      CopyStr(out->string_value, stringValue_.c_str(), sizeof out->string_value);
      break;
    default:
      break;
  }
}

}  // namespace Korvane::DataReader

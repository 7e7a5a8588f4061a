// XMLVariable: one attribute of an element, its name and value kept as stored (entities
// undecoded), with decoded and typed access. The owning element deletes it.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "xml/XMLArena.h"
#include "xml/XMLShortText.h"
#include "xml/XMLTypes.h"

namespace Korvane::DataReader {

class XMLVariable {
 public:
  // An attribute from plain text (encoded on the way in) or, with raw non-zero, from
  // text already in stored form. A null name or value leaves that text missing, which
  // fails the integrity test.
  XMLVariable(XMLElement* owner, const char* name, const char* value, int raw = 0, bool temporal = false);
  // An attribute from text in stored form, as the parser finds it.
  XMLVariable(XMLElement* owner, std::string_view storedName, std::string_view storedValue);

  // Writes the name (decoded when raw is 0) and returns its length; with `out` null
  // returns the stored length, an upper bound of the decoded one.
  int GetName(char* out, int raw = 0) const noexcept;
  // Writes the value like GetName.
  int GetValue(char* out, int raw = 0) const noexcept;
  // The decoded (or, with raw, stored) name and value.
  std::string Name(bool raw = false) const;
  std::string Value(bool raw = false) const;
  std::string_view StoredName() const noexcept { return name_; }
  std::string_view StoredValue() const noexcept { return value_; }
  bool HasName() const noexcept { return hasName_; }
  bool HasValue() const noexcept { return hasValue_; }

  // Replaces the name (trailing spaces removed) or value; encoded unless raw.
  void SetName(const char* name, int raw = 0);
  void SetValue(const char* value, int raw = 0);
  // Sets the value from a printf format; returns the value's length.
  int SetFormattedValue(const char* format, ...);

  // The decoded value as a number: strtol base 10 for int, "%u" for unsigned, strtoll
  // and strtoull for the 64-bit forms, strtod narrowed for float; 0 when no digits.
  int GetValueInt() const;
  unsigned int GetValueUInt() const;
  int64_t GetValueInt64() const;
  uint64_t GetValueUInt64() const;
  float GetValueFloat() const;
  void SetValueInt(int value);
  void SetValueUInt(unsigned int value);
  void SetValueInt64(int64_t value);
  void SetValueUInt64(uint64_t value);
  // Written with nine significant digits, which reads back to the same float.
  void SetValueFloat(float value);

  XMLElement* GetOwnerElement() const noexcept { return owner_; }
  void SetOwnerElement(XMLElement* owner) noexcept { owner_ = owner; }
  bool IsTemporal() const noexcept { return temporal_; }
  void SetTemporal(bool temporal) noexcept { temporal_ = temporal; }

  // A copy with the same texts, owned by no element.
  std::unique_ptr<XMLVariable> Duplicate() const;

  // Deleting an attribute runs its destructor and frees its memory, unless it lives
  // in an arena, which frees the memory itself.
  void operator delete(XMLVariable* variable, std::destroying_delete_t) noexcept {
    const bool inArena = variable->InArena();
    variable->~XMLVariable();
    if (!inArena) ::operator delete(variable);
  }
  // True for an attribute the parser placed in its document's arena.
  bool InArena() const noexcept { return arenaMark_.InArena(); }

 private:
  XMLShortText name_;
  XMLShortText value_;
  XMLElement* owner_ = nullptr;
  bool hasName_ = true;
  bool hasValue_ = true;
  bool temporal_ = false;
  friend class XMLArena;
  ArenaMark arenaMark_;
};

}  // namespace Korvane::DataReader

// Convenience readers and writers of single attribute values addressed by a
// backslash path from the root element, on a document given by the caller or loaded
// from (and, for writers, saved back to) a file. Nothing here keeps state between calls.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "xml/XML.h"

namespace Korvane::DataReader {

// Copies the attribute's decoded value (or `defaultValue` when it is missing or does
// not fit) into `out` of `size` bytes, cut to size - 1 characters; returns the length
// copied. The document is `document` when given, else loaded from `xmlFile`.
int XMLGetString(const char* section, const char* attribute, const char* defaultValue, char* out, int size,
                 const char* xmlFile, XML* document = nullptr);
// The attribute as a number (strtol base 10, "%u", strtod narrowed), or the default
// when it is missing or holds no number.
int XMLGetInt(const char* section, const char* attribute, int defaultValue, const char* xmlFile,
              XML* document = nullptr);
unsigned int XMLGetUInt(const char* section, const char* attribute, unsigned int defaultValue, const char* xmlFile,
                        XML* document = nullptr);
float XMLGetFloat(const char* section, const char* attribute, float defaultValue, const char* xmlFile,
                  XML* document = nullptr);

// Set or create the attribute (and missing elements of the path). Without a document
// the file is loaded, changed and saved; returns false when saving failed.
bool XMLSetString(const char* section, const char* attribute, const char* value, const char* xmlFile,
                  XML* document = nullptr);
bool XMLSetInt(const char* section, const char* attribute, int value, const char* xmlFile, XML* document = nullptr);
bool XMLSetUInt(const char* section, const char* attribute, unsigned int value, const char* xmlFile,
                XML* document = nullptr);
bool XMLSetFloat(const char* section, const char* attribute, float value, const char* xmlFile,
                 XML* document = nullptr);
// Renames the element at the path; false when it is missing (or saving failed).
bool XMLRenameElement(const char* section, const char* newName, const char* xmlFile, XML* document = nullptr);

// The decoded names and values of the attributes of the element at the path.
std::vector<std::pair<std::string, std::string>> XMLGetAllVariables(const char* section, const char* xmlFile,
                                                                    XML* document = nullptr);
// The decoded names of the child elements of the element at the path.
std::vector<std::string> XMLGetAllItems(const char* section, const char* xmlFile, XML* document = nullptr);

}  // namespace Korvane::DataReader

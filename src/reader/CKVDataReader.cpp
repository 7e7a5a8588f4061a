// Construction and lifetime of a reader.
#include "reader/CKVDataReader.h"

#include <clocale>

namespace Korvane::DataReader {

CKVDataReader::CKVDataReader() { std::setlocale(LC_ALL, "C"); }

CKVDataReader::~CKVDataReader() = default;

int32_t CKVDataReader::KVGetVersion() const noexcept {
  return kVersionMajor * 1000000 + kVersionMinor * 1000 + kVersionPatch;
}

}  // namespace Korvane::DataReader

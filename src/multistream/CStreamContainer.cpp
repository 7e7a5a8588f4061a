// The container base: the description text shared by both container kinds.
#include "multistream/CStreamContainer.h"

#include <cstring>

namespace Korvane::DataReader::MultiStream {

CStreamContainer::CStreamContainer() = default;
CStreamContainer::~CStreamContainer() = default;

void CStreamContainer::ClearDescription() noexcept { std::memset(description_, 0, sizeof description_); }

}  // namespace Korvane::DataReader::MultiStream

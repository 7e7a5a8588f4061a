// The most-recently-read list of unpacked zip members. The list holds a dozen
// entries, so a linear walk is the cheapest structure; the member being read
// sits at the front and costs one comparison per read.
#include "multistream/ZipOpenFiles.h"

#include <algorithm>

#include "multistream/CVirtualZipStream.h"

namespace Korvane::DataReader::MultiStream {

ZipOpenFiles::ZipOpenFiles(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {
  recent_.reserve(capacity_);
}

void ZipOpenFiles::Use(CVirtualZipStream* stream) {
  if (!recent_.empty() && recent_.front() == stream) return;
  auto found = std::find(recent_.begin(), recent_.end(), stream);
  if (found == recent_.end()) {
    if (recent_.size() >= capacity_) {
      recent_.back()->ReleaseFile();
      recent_.pop_back();
    }
    recent_.insert(recent_.begin(), stream);
    return;
  }
  std::rotate(recent_.begin(), found, found + 1);
}

void ZipOpenFiles::Forget(const CVirtualZipStream* stream) noexcept {
  auto found = std::find(recent_.begin(), recent_.end(), stream);
  if (found != recent_.end()) recent_.erase(found);
}

}  // namespace Korvane::DataReader::MultiStream

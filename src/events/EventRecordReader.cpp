// The window of the event record reader: loading it from the source, and the
// reads that may span two loads (marker searches, texts, skipped lists).
#include "events/EventRecordReader.h"

#include <algorithm>
#include <bit>
#include <climits>

#include "common/DataReaderLibException.h"
#include "multistream/CStream.h"

namespace Korvane::DataReader::Events {
namespace {

static_assert(std::endian::native == std::endian::little, "stored integers are read in place");

using MultiStream::kRecordTagBytes;

// The widest read served from the window in one piece is a record marker and its
// tag.
constexpr int32_t kSmallestWindowBytes = 8;
constexpr uint8_t kShortIndexListMax = 7;

}  // namespace

EventRecordReader::EventRecordReader(MultiStream::CStream& source, int32_t windowBytes, EventArena& storage)
    : source_(source), storage_(storage), size_(std::max<int64_t>(source.Size(), 0)),
      window_(static_cast<size_t>(std::max(windowBytes, kSmallestWindowBytes))),
      cursor_(window_.data()), end_(window_.data()) {}

void EventRecordReader::ThrowEndOfStream() { throw FileCorruptException("EOF detected"); }

bool EventRecordReader::Fill(int64_t wanted) {
  int64_t have = end_ - cursor_;
  if (have >= wanted) return true;
  // Keep the unread bytes: they start the new window.
  const int64_t position = Position();
  std::memmove(window_.data(), cursor_, static_cast<size_t>(have));
  windowStart_ = position;
  cursor_ = window_.data();
  end_ = cursor_ + have;
  while (have < wanted) {
    const int64_t next = position + have;
    const int64_t room = std::min(static_cast<int64_t>(window_.size()) - have, size_ - next);
    if (room <= 0) return false;
    source_.Seek(next, MultiStream::kSeekBegin);
    // A damaged source may deliver less than it claims to hold: what it delivers
    // is the stream.
    const int32_t got = source_.ReadBytes(window_.data() + have, static_cast<int32_t>(room));
    if (got <= 0) return false;
    have += got;
    end_ += got;
  }
  return true;
}

int32_t EventRecordReader::ReadInt32Slow() {
  if (!Fill(4)) ThrowEndOfStream();
  return ReadInt32();
}

void EventRecordReader::SkipBytes(int64_t count) {
  if (count < 0 || count > RemainingBytes()) ThrowEndOfStream();
  if (count <= end_ - cursor_) {
    cursor_ += count;
    return;
  }
  windowStart_ = Position() + count;
  cursor_ = end_ = window_.data();
}

// Junk before a marker is skipped; the bytes of a tag that did not match are not
// searched again. A marker that is the stream's last byte has no room for a tag
// and counts as the end.
bool EventRecordReader::SearchRecordMarker(uint8_t marker, const char* tag) {
  const bool tagUsable = TagUsable(tag);
  for (;;) {
    for (;;) {
      if (cursor_ == end_ && !Fill(1)) ThrowEndOfStream();
      const auto* found = static_cast<const uint8_t*>(std::memchr(cursor_, marker, static_cast<size_t>(end_ - cursor_)));
      if (found != nullptr) {
        cursor_ = found + 1;
        break;
      }
      cursor_ = end_;
    }
    if (Position() >= size_) ThrowEndOfStream();

    Fill(kRecordTagBytes);
    const auto got = static_cast<int32_t>(std::min<int64_t>(end_ - cursor_, kRecordTagBytes));
    const bool matches = got == kRecordTagBytes && tagUsable && std::memcmp(cursor_, tag, kRecordTagBytes) == 0;
    cursor_ += got;
    if (matches) return true;
    if (Position() >= size_) return false;
    if (got != kRecordTagBytes) ThrowEndOfStream();
  }
}

void EventRecordReader::ReadEventText(EventText& out, bool oldFormat) {
  if (!Fill(4)) throw FileCorruptException("Unexpected end of stream");
  const int32_t count = ReadInt32();
  if (count < 0) throw FileCorruptException("Negative string length");
  const bool wide = !oldFormat;
  const int64_t bytes = wide ? 2 * static_cast<int64_t>(count) : count;
  if (bytes > INT32_MAX || bytes > RemainingBytes()) throw FileCorruptException("String beyond stream end");

  if (bytes <= end_ - cursor_) {
    // The whole text is in the window (the usual case): measure it, then place it.
    const uint8_t* text = cursor_;
    cursor_ += bytes;
    if (!wide) {
      const auto* zero = static_cast<const uint8_t*>(std::memchr(text, 0, static_cast<size_t>(bytes)));
      const size_t length = zero != nullptr ? static_cast<size_t>(zero - text) : static_cast<size_t>(bytes);
      if (char* place = out.Place(storage_, length)) std::memcpy(place, text, length);
      return;
    }
    size_t length = 0;
    while (length < static_cast<size_t>(count) && text[2 * length] != 0) ++length;
    char* place = out.Place(storage_, length);
    for (size_t i = 0; i < length; ++i) place[i] = static_cast<char>(text[2 * i]);
    return;
  }
  // Longer than the window: place room for every character the stored bytes can
  // hold, take the pieces as they come, and keep what came before the zero.
  char* place = out.Place(storage_, static_cast<size_t>(count));
  size_t length = 0;
  bool ended = false;
  for (int64_t done = 0; done < bytes;) {
    if (cursor_ == end_ && !Fill(1)) throw FileCorruptException("Unexpected end of stream");
    const int64_t take = std::min(bytes - done, static_cast<int64_t>(end_ - cursor_));
    if (!ended && !wide) {
      const auto* zero = static_cast<const uint8_t*>(std::memchr(cursor_, 0, static_cast<size_t>(take)));
      const size_t piece = zero != nullptr ? static_cast<size_t>(zero - cursor_) : static_cast<size_t>(take);
      std::memcpy(place + length, cursor_, piece);
      length += piece;
      ended = zero != nullptr;
    } else if (!ended) {
      // The low byte of a code unit sits at an even offset of the text; a piece
      // may start on a high byte.
      for (int64_t i = done & 1; i < take; i += 2) {
        if (cursor_[i] == 0) {
          ended = true;
          break;
        }
        place[length++] = static_cast<char>(cursor_[i]);
      }
    }
    cursor_ += take;
    done += take;
  }
  out.Truncate(length);
}

void EventRecordReader::DropExactly(int32_t length) {
  while (length > 0) {
    if (cursor_ == end_ && !Fill(1)) throw FileCorruptException("Unexpected end of stream");
    const auto take = static_cast<int32_t>(std::min<int64_t>(length, end_ - cursor_));
    cursor_ += take;
    length -= take;
  }
}

void EventRecordReader::SkipIndexList() {
  if (cursor_ == end_ && !Fill(1)) throw FileCorruptException("Unexpected end of stream");
  const uint8_t first = *cursor_++;
  if (first <= kShortIndexListMax) {
    DropExactly(first * 2);
    return;
  }
  if (cursor_ == end_ && !Fill(1)) throw FileCorruptException("Unexpected end of stream");
  const uint8_t count = *cursor_++;
  DropExactly(count * 4);
}

}  // namespace Korvane::DataReader::Events

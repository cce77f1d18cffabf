#include "platform/LogEntry.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/Text.h"

namespace brim {
namespace {

// Room kept at the end of a cut line for its marker.
constexpr std::size_t kMarkerRoom = 64;

bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

// Whether piece holds anything an entry may not carry as it is: a control
// character (C1 ones are encoded from 0xC2 on, the separators and the
// bidirectional controls from 0xE2 on), a backslash, which would make an
// escape of the text itself look like one of ours, or the '@' of a URL's user part.
bool needsRewriting(std::string_view piece) {
  for (const char c : piece) {
    const auto byte = static_cast<unsigned char>(c);
    if (isControl(byte) || byte == 0xC2 || byte == 0xE2 || byte == '@' || byte == '\\') return true;
  }
  return false;
}

// The first bytes of a text up to a bound, and the size of the whole: what
// lies past the bound is counted, not kept.
class BoundedText {
 public:
  BoundedText(std::string& kept, std::size_t bound) : kept_(kept), bound_(bound) {}
  void append(std::string_view text) {
    if (kept_.size() < bound_) kept_.append(text.substr(0, bound_ - kept_.size()));
    size_ += text.size();
  }
  std::size_t size() const { return size_; }

 private:
  std::string& kept_;
  std::size_t bound_;
  std::size_t size_ = 0;
};

// The code points of a text given in segments, one after another, each with
// its bytes; a character whose bytes fall in two segments reads as it would
// in the joined text.
class CodePoints {
 public:
  explicit CodePoints(std::span<const std::string_view> segments) : segments_(segments) { skipEmpty(); }
  bool done() const { return segment_ == segments_.size(); }
  std::optional<char32_t> next(std::string_view& bytes) {
    const std::string_view segment = segments_[segment_];
    // A sequence is at most four bytes long: away from a segment's end it is read in place.
    if (offset_ + 4 <= segment.size()) {
      std::size_t pos = offset_;
      const std::optional<char32_t> c = nextCodePoint(segment, pos);
      bytes = segment.substr(offset_, pos - offset_);
      advance(pos - offset_);
      return c;
    }
    std::size_t filled = 0;
    for (std::size_t s = segment_, o = offset_; s < segments_.size() && filled < window_.size(); ++s, o = 0) {
      for (; o < segments_[s].size() && filled < window_.size(); ++o) window_[filled++] = segments_[s][o];
    }
    const std::string_view window(window_.data(), filled);
    std::size_t pos = 0;
    const std::optional<char32_t> c = nextCodePoint(window, pos);
    bytes = window.substr(0, pos);
    advance(pos);
    return c;
  }

 private:
  void advance(std::size_t count) {
    while (count > 0) {
      const std::size_t step = std::min(count, segments_[segment_].size() - offset_);
      offset_ += step;
      count -= step;
      if (offset_ == segments_[segment_].size()) {
        ++segment_;
        offset_ = 0;
        skipEmpty();
      }
    }
  }
  void skipEmpty() {
    while (segment_ < segments_.size() && segments_[segment_].empty()) ++segment_;
  }

  std::span<const std::string_view> segments_;
  std::size_t segment_ = 0;
  std::size_t offset_ = 0;
  std::array<char, 4> window_{};
};

// The text with each control character written as an escape; on one line a
// backslash is doubled too. Bytes that are not UTF-8 stay as they are: the
// log is not their judge.
void appendEscaped(std::span<const std::string_view> segments, LogEntry::Form form, BoundedText& out) {
  for (CodePoints points(segments); !points.done();) {
    std::string_view bytes;
    const std::optional<char32_t> c = points.next(bytes);
    const bool kept = !c || !isEscapedControl(*c) || *c == '\t' || (form == LogEntry::Form::Lines && *c == '\n');
    if (c && *c == '\\' && form == LogEntry::Form::OneLine) {
      out.append("\\\\");
    } else if (kept) {
      out.append(bytes);
    } else {
      out.append(escapeOf(*c));
    }
  }
}

}  // namespace

LogEntry::LogEntry(std::span<const std::string_view> message, Form form) : pieces_(message) {
  bool rewrite = false;
  std::size_t size = 0;
  for (const std::string_view piece : message) {
    rewrite = rewrite || needsRewriting(piece);
    size += piece.size();
  }
  if (!rewrite && size <= kLineLimit) return;
  // Kept: the whole entry when it fits, else the bytes a cut keeps and the
  // first one left out, which tells where a character starts.
  text_.reserve(std::min(size + 16, kLineLimit + 1));
  BoundedText out(text_, kLineLimit + 1);
  if (rewrite) {
    appendEscaped(piecesWithoutURLCredentials(message), form, out);
  } else {
    for (const std::string_view piece : message) out.append(piece);
  }
  if (out.size() > kLineLimit) {
    std::size_t keep = kLineLimit - kMarkerRoom;
    // The cut falls between characters: continuation bytes of UTF-8 go with it.
    while (keep > 0 && (static_cast<unsigned char>(text_[keep]) & 0xC0) == 0x80) --keep;
    text_.resize(keep);
    text_ += " [line cut: " + std::to_string(out.size() - keep) + " more bytes left out]";
  }
  textView_ = text_;
  pieces_ = std::span(&textView_, 1);
}

}  // namespace brim

#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

namespace brim {
namespace {

// Length of the white-space character that starts at text[i], or 0.
size_t spaceAt(std::string_view text, size_t i) {
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
  static constexpr std::array<std::string_view, 20> kWide = {
      "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83",
      "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A",
      "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80", "\xE2\x80\x8B"};
  for (auto wide : kWide) {
    if (wide == "\xE2\x80\x8B") continue;  // zero width space is not white space
    if (text.substr(i, wide.size()) == wide) return wide.size();
  }
  return 0;
}

size_t spaceEndingAt(std::string_view text, size_t end) {
  for (size_t width = 1; width <= 3 && width <= end; ++width) {
    if (spaceAt(text, end - width) == width) return width;
  }
  return 0;
}

}  // namespace

std::string trimWhitespaceAndNewlines(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t width = spaceAt(text, begin);
    if (width == 0) break;
    begin += width;
  }
  size_t end = text.size();
  while (end > begin) {
    const size_t width = spaceEndingAt(text, end);
    if (width == 0) break;
    end -= width;
  }
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

std::vector<std::string> nonEmptyLines(std::string_view text) {
  const std::vector<std::string_view> pieces = nonEmptyPieces(text, '\n');
  return {pieces.begin(), pieces.end()};
}

bool isValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned min = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, min = 0x10000;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    unsigned code = c & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace brim

namespace brim {

std::optional<char32_t> nextCodePoint(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  size_t length = 0;
  char32_t point = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, point = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, point = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, point = lead & 0x07, smallest = 0x10000;
  }
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return std::nullopt;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) {
      ++pos;
      return std::nullopt;
    }
    point = (point << 6) | (byte(pos + i) & 0x3F);
  }
  if (point < smallest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    ++pos;
    return std::nullopt;
  }
  pos += length;
  return point;
}

std::string escapeOf(char32_t c) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (c) {
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\t':
      return "\\t";
    default:
      break;
  }
  std::string out = c < 0x80 ? "\\x" : "\\u";
  for (int shift = c < 0x80 ? 4 : 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0x0F];
  return out;
}

std::string asFolderName(std::string_view name) {
  // NAME_MAX of the file systems the tool writes to.
  constexpr size_t kLongest = 255;
  std::string folder;
  size_t pos = 0;
  while (pos < name.size()) {
    const size_t start = pos;
    const std::optional<char32_t> c = nextCodePoint(name, pos);
    std::string_view piece = name.substr(start, pos - start);
    if (!c || *c < 0x20 || (*c >= 0x7F && *c <= 0x9F)) {
      piece = "_";
    } else if (*c == '/') {
      piece = "-";
    }
    if (folder.size() + piece.size() > kLongest) break;
    folder += piece;
  }
  if (folder.empty() || folder == "." || folder == "..") return "_";
  return folder;
}

namespace {

// Whether c ends a URL's authority: URL parsers end it at the path, the query
// or the fragment; a line break or another control character ends the text it
// could belong to.
bool endsAuthority(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte == '/' || byte == '?' || byte == '#' || byte < 0x20 || byte == 0x7f;
}

// Where the authority that starts at from ends.
size_t authorityEnd(std::string_view text, size_t from) {
  size_t end = from;
  while (end < text.size() && !endsAuthority(text[end])) ++end;
  return end;
}

// Pieces read as one text, by position, without joining them.
class PiecedText {
 public:
  explicit PiecedText(std::span<const std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
      if (piece.empty()) continue;  // no position is in it
      pieces_.push_back(piece);
      starts_.push_back(size_);
      size_ += piece.size();
    }
  }
  size_t size() const { return size_; }
  char operator[](size_t pos) const {
    const size_t i = pieceAt(pos);
    return pieces_[i][pos - starts_[i]];
  }
  // The first "://" at or after from.
  size_t findScheme(size_t from) const {
    for (size_t i = from < size_ ? pieceAt(from) : pieces_.size(); i < pieces_.size(); ++i) {
      const std::string_view piece = pieces_[i];
      for (size_t at = piece.find(':', from > starts_[i] ? from - starts_[i] : 0); at != std::string_view::npos;
           at = piece.find(':', at + 1)) {
        const size_t pos = starts_[i] + at;
        if (pos + 2 < size_ && (*this)[pos + 1] == '/' && (*this)[pos + 2] == '/') return pos;
      }
    }
    return std::string_view::npos;
  }
  // The views of the text from `from` up to `to`, one per piece it spans.
  void appendViews(size_t from, size_t to, std::vector<std::string_view>& out) const {
    for (size_t i = from < size_ ? pieceAt(from) : pieces_.size(); i < pieces_.size() && starts_[i] < to; ++i) {
      const size_t begin = std::max(from, starts_[i]) - starts_[i];
      const size_t end = std::min(to - starts_[i], pieces_[i].size());
      if (end > begin) out.push_back(pieces_[i].substr(begin, end - begin));
    }
  }

 private:
  size_t pieceAt(size_t pos) const {
    return static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), pos) - starts_.begin()) - 1;
  }

  std::vector<std::string_view> pieces_;
  std::vector<size_t> starts_;
  size_t size_ = 0;
};

}  // namespace

std::vector<std::string_view> piecesWithoutURLCredentials(std::span<const std::string_view> pieces) {
  static constexpr std::string_view kMask = "***";
  const PiecedText text(pieces);
  std::vector<std::string_view> out;
  size_t copied = 0;
  for (size_t scheme = text.findScheme(0); scheme != std::string_view::npos; scheme = text.findScheme(scheme + 3)) {
    const size_t start = scheme + 3;
    if (start < copied) continue;
    // The next "://" ends the authority at the latest.
    size_t end = start;
    while (end < text.size() && !endsAuthority(text[end])) ++end;
    size_t at = end;
    while (at > start && text[at - 1] != '@') --at;
    if (at == start) continue;
    text.appendViews(copied, start, out);
    out.push_back(kMask);
    copied = at - 1;
  }
  text.appendViews(copied, text.size(), out);
  return out;
}

std::string withoutURLCredentials(std::string_view text) {
  std::string out;
  for (const std::string_view piece : piecesWithoutURLCredentials(std::span(&text, 1))) out += piece;
  return out;
}

std::string withoutAddressCredentials(std::string_view address) {
  if (address.find("://") != std::string_view::npos) return withoutURLCredentials(address);
  const size_t at = address.substr(0, authorityEnd(address, 0)).rfind('@');
  return at == std::string_view::npos ? std::string(address) : "***" + std::string(address.substr(at));
}

}  // namespace brim

#include "platform/LogLine.h"

#include <optional>
#include <utility>

#include "platform/Text.h"

namespace brim {
namespace {

// One message is one line of the log, and whole documents are logged: a line
// longer than this is cut, and ends in a marker saying how much was left out.
constexpr size_t kLineLimit = size_t{4} << 20;
constexpr size_t kMarkerRoom = 64;

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

// text with each control character written as an escape; on one line a
// backslash is doubled too, so that the entry reads back as exactly the text
// it was. Bytes that are not UTF-8 stay as they are: the log is not their judge.
std::string escapedControls(std::string_view text, LogLine::Form form) {
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    const std::optional<char32_t> c = nextCodePoint(text, pos);
    const bool kept = !c || !isEscapedControl(*c) || *c == '\t' || (form == LogLine::Form::Lines && *c == '\n');
    if (c && *c == '\\' && form == LogLine::Form::OneLine) {
      out += "\\\\";
    } else if (kept) {
      out.append(text.substr(start, pos - start));
    } else {
      out += escapeOf(*c);
    }
  }
  return out;
}

// The message as it may be written: pieces themselves when none needs a
// change (a logged document is not copied), else their rewritten text, kept in
// storage and viewed by single.
LogLine::Pieces entryOf(LogLine::Pieces pieces, LogLine::Form form, std::string& storage, std::string_view& single) {
  bool rewrite = false;
  for (const std::string_view piece : pieces) rewrite = rewrite || needsRewriting(piece);
  if (!rewrite) return pieces;
  // Joined first: a URL may start in one piece and go on in the next.
  std::string joined;
  for (const std::string_view piece : pieces) joined += piece;
  storage = escapedControls(withoutURLCredentials(joined), form);
  single = storage;
  return LogLine::Pieces(&single, 1);
}

// pieces themselves when they fit, else their cut form (at most kLineLimit
// bytes, marker included), kept in storage and viewed by single.
LogLine::Pieces bounded(LogLine::Pieces pieces, std::string& storage, std::string_view& single) {
  size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  if (size <= kLineLimit) return pieces;
  size_t keep = kLineLimit - kMarkerRoom;
  std::string cut;
  // The kept bytes and the first one left out, which tells where a character starts.
  for (const std::string_view piece : pieces) {
    if (cut.size() > keep) break;
    cut.append(piece.substr(0, keep + 1 - cut.size()));
  }
  // The cut falls between characters: continuation bytes of UTF-8 go with it.
  while (keep > 0 && (static_cast<unsigned char>(cut[keep]) & 0xC0) == 0x80) --keep;
  cut.resize(keep);
  cut += " [line cut: " + std::to_string(size - keep) + " more bytes left out]";
  storage = std::move(cut);
  single = storage;
  return LogLine::Pieces(&single, 1);
}

}  // namespace

LogLine::LogLine(Pieces message, Form form)
    : pieces_(bounded(entryOf(message, form, rewritten_, rewrittenView_), cut_, cutView_)) {}

}  // namespace brim

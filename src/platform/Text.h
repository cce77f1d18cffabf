#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brim {

// A string as "%@" formats it: an absent one is the six characters (null).
inline std::string orNull(const std::optional<std::string>& text) { return text ? *text : std::string("(null)"); }

// Trims the platform's white-space-and-newline set (ASCII white space, and the
// Unicode spaces and line separators in UTF-8) from both ends.
std::string trimWhitespaceAndNewlines(std::string_view text);

// The pieces of text between separators, in order, without the empty ones
// (which runs of separators and separators at either end would give).
std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator);
// The pieces of text between line feeds, in order, without the empty ones.
std::vector<std::string> nonEmptyLines(std::string_view text);

// A name from outside (the profiler's machine name) as one folder name that
// can only name a folder inside the one it is joined to: "/" becomes "-";
// NUL, other control characters and bytes that are not UTF-8 become "_";
// an empty name, "." and ".." become "_"; a name longer than a folder name
// may be is cut at a character boundary.
std::string asFolderName(std::string_view name);

// A character that a log line or a terminal shows as an escape, never as it
// is: the C0 controls, DEL, the C1 controls, the line and paragraph separators
// (U+2028, U+2029: line breaks to many readers) and the bidirectional
// embedding, override and isolate controls (U+202A to U+202E, U+2066 to
// U+2069), which would show a text in another order than it is. Tab and line
// feed are among them; whoever keeps them says so.
constexpr bool isEscapedControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}
// The escape of such a character: "\n", "\r", "\t", "\x1b" below U+0080,
// "\u009b" or "\u202e" above.
std::string escapeOf(char32_t c);

// True when text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// text with the user information of every URL in it (from the scheme's "//"
// to the last "@" of the authority, whatever lies between) written as "***":
// a password may hold any character libcurl sends, quotes and spaces
// included, and a user name alone is often a token.
std::string withoutURLCredentials(std::string_view text);
// The same for a text given in pieces and read as one (a URL may start in one
// piece and go on in the next): the views of the pieces and of "***" that make
// the result, in order. Nothing is copied, so a logged document is not.
std::vector<std::string_view> piecesWithoutURLCredentials(std::span<const std::string_view> pieces);
// One address as a proxy setting holds it, with or without a scheme, its user
// information written as "***".
std::string withoutAddressCredentials(std::string_view address);

}  // namespace brim

namespace brim {

// The code point of the UTF-8 sequence that starts at text[pos], advancing pos
// past it; absent (pos moved past one byte) for a byte that starts no valid
// sequence: stray continuation bytes, overlong forms, surrogates, values past U+10FFFF.
std::optional<char32_t> nextCodePoint(std::string_view text, size_t& pos);

}  // namespace brim

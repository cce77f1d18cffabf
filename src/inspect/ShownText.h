#pragma once
// What brim_inspect prints comes from installations and bodies anybody may
// have written: shown on a terminal, pasted into a shell or read by a script,
// none of it may act as anything but text.
#include <string>
#include <string_view>

namespace brim::inspect {

// Control characters (C0, DEL, C1, the line and paragraph separators, the
// bidirectional controls) as visible escapes ("\n", "\x1b", "\u009b",
// "\u202e") and bytes that are not UTF-8 as "\xff"; the rest as it is.
// keepLines: line feeds and tabs stay, for a document shown whole.
std::string forTerminal(std::string_view text, bool keepLines = false);
// One word for a POSIX shell: unchanged when it holds only characters no shell
// gives a meaning, else in single quotes.
std::string shellQuoted(std::string_view text);
// A JSON string, quotes included, always valid UTF-8: a byte that is not
// UTF-8 becomes U+FFFD.
std::string jsonString(std::string_view text);

}  // namespace brim::inspect

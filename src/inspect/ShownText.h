#pragma once
// What brim_inspect prints comes from installations and bodies anybody may
// have written: shown on a terminal, pasted into a shell or read by a script,
// none of it may act as anything but text.
#include <optional>
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

// Whether the value under key (the last key of its path) is a secret: what the
// settings keep encrypted (sites, the proxy's user and password) and the
// registration password they keep plain. Any of them may be stored either way.
bool isSecretKey(std::string_view key);
// A stored string as an administrator sees it: with decrypt, cipher text
// decrypted and the rest as stored; without, cipher text as "(encrypted)", a
// secret stored in plain as "(not encrypted; shown with --decrypt)" (text
// that only looks like another phrase's cipher text stays), and any other
// text with the user information of its URLs as "***".
struct ShownValue {
  std::string text;
  bool decrypted = false;  // cipher text under the pass phrase, shown decrypted
  bool hidden = false;     // text is a note in parentheses, not the value
};
ShownValue shownString(std::string_view key, const std::string& stored, bool decrypt, const std::string& passPhrase);
// Whether text is whole cipher blocks in Base64: encrypted, perhaps under another pass phrase.
bool looksEncrypted(const std::string& text);

}  // namespace brim::inspect

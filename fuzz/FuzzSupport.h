#pragma once
// What every target shares: a scratch agent installation of its own process,
// a quiet log, a stand-in for the shell, and the judge of a document's XML.
#include <plist/plist.h>

#include <string>
#include <string_view>

namespace brim::fuzz {

// Sets the process up once: the fixed paths go under a scratch directory of
// this process (on tmpfs when there is one), the settings file there names
// that installation, the log's echo and its fallback file go to /dev/null,
// and the directory goes when the process exits.
void useScratchInstallation();

// The scratch root (the sandbox root of every fixed path).
const std::string& scratchRoot();
// "<root>/opt/local/share/brimvault_mac", the install path the settings name.
std::string installDir();

// Writes the bytes to the file, replacing it; false when it cannot.
bool writeBytes(const std::string& path, std::string_view bytes);

// What the shell stand-in answers for "system_profiler ..." and "ps ..."
// commands: it writes these bytes where the command's output is redirected
// (an appending redirection adds nothing). The bytes must stay alive while
// the code under test runs. Any other command does nothing.
void setCommandOutput(std::string_view bytes);
// Commands the stand-in was given since the last setCommandOutput.
int commandsRun();

// A well-formed XML 1.0 document in UTF-8: only characters XML allows (also
// through character references), one root element, names that are XML names,
// no attribute twice on one element. Without checkCharacters, only the markup.
bool isWellFormedXml(std::string_view text, bool checkCharacters = true);

// Open finding "nul-in-string": libplist keeps a string holding a NUL byte
// whole, but plist_copy copies it only up to the NUL, and plist_to_xml then
// reads past the copy (a heap-buffer-overflow in a settings write-back). The
// targets that copy nodes skip such inputs until the tool refuses them; the
// input that showed it stays in their corpus as finding-nul-in-string.
bool holdsStringWithNul(plist_t node);

// Property lists nested deeper than this are being bounded in the tool
// itself: until then their recursive walks take quadratic time and, far
// deeper, overflow the stack, so the targets skip them.
inline constexpr int kNestingLimit = 256;
// Whether the node holds collections more than `levels` deep (a collection
// on its own is one level); looks no deeper than that.
bool nestsDeeperThan(plist_t node, int levels);

// A property list that one of the two above rules out, for the targets that
// copy what they read.
bool reachesOpenPlistFinding(plist_t node);

}  // namespace brim::fuzz

#pragma once
// What every target shares: a scratch agent installation of its own process,
// a quiet log, a stand-in for the shell, and the judge of a document's XML.

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

}  // namespace brim::fuzz

#include "FuzzSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <set>

#include "platform/CustomLogger.h"
#include "platform/ShellCommand.h"
#include "platform/Paths.h"

namespace brim::fuzz {
namespace {

namespace fs = std::filesystem;

std::string& root() {
  static std::string value;
  return value;
}

std::string_view& commandOutput() {
  static std::string_view bytes;
  return bytes;
}

int& commandCount() {
  static int count = 0;
  return count;
}

// The folders the collectors and the process sampler use, under the scratch
// install path; the controller's ids feed the web posts' query strings.
std::string settingsText(const std::string& install) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>macfolders</key>
	<dict>
		<key>agentinstallpathabsolute</key>
		<string>)" +
         install + R"(</string>
		<key>tempdirrelative</key>
		<string>temp</string>
		<key>datapostdirrelative</key>
		<string>datapost</string>
	</dict>
	<key>machineinfo</key>
	<dict>
		<key>dcregid</key>
		<integer>1234</integer>
		<key>agenttype</key>
		<string>mac</string>
		<key>machinename</key>
		<string>fuzz</string>
	</dict>
	<key>controllerinfo</key>
	<dict>
		<key>memberid</key>
		<integer>5</integer>
		<key>siteid</key>
		<integer>-7</integer>
	</dict>
</dict>
</plist>
)";
}

void removeScratch() {
  std::error_code ignored;
  if (!root().empty()) fs::remove_all(root(), ignored);
}

constexpr std::string_view kScratchPrefix = "brim_fuzz.";

// A run that ended on a finding never reached its exit handler: the scratch
// directories of processes that are gone go now.
void removeStaleScratch(const fs::path& base) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(base, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kScratchPrefix)) continue;
    const pid_t pid = static_cast<pid_t>(std::atol(name.c_str() + kScratchPrefix.size()));
    std::error_code ignored;
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), ignored);
  }
}

// One code point of UTF-8 at pos, advancing pos; absent for a byte sequence
// that is not UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> decodeUtf8(std::string_view text, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  int length = 0;
  char32_t c = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (pos + length > text.size()) return std::nullopt;
  for (int i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (byte(pos + i) & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  pos += length;
  return c;
}

// The XML 1.0 productions, written out here again rather than taken from the
// tree builder: the judge of its documents must not share its code.
bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

bool isNameStartChar(char32_t c) {
  return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c) {
  return isNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool isXmlName(std::string_view name) {
  size_t pos = 0;
  bool first = true;
  while (pos < name.size()) {
    const auto c = decodeUtf8(name, pos);
    if (!c || !(first ? isNameStartChar(*c) : isNameChar(*c))) return false;
    first = false;
  }
  return !first;
}

// Every character, and every character reference, is one XML may carry.
bool holdsOnlyXmlChars(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const auto c = decodeUtf8(text, pos);
    if (!c || !isXmlChar(*c)) return false;
  }
  for (size_t at = text.find("&#"); at != std::string_view::npos; at = text.find("&#", at + 2)) {
    const bool hex = at + 2 < text.size() && text[at + 2] == 'x';
    const size_t digits = at + (hex ? 3 : 2);
    const size_t end = text.find(';', digits);
    if (end == std::string_view::npos || end == digits) return false;
    char32_t value = 0;
    for (size_t i = digits; i < end; ++i) {
      const char d = text[i];
      int digit = -1;
      if (d >= '0' && d <= '9') digit = d - '0';
      if (hex && d >= 'a' && d <= 'f') digit = d - 'a' + 10;
      if (hex && d >= 'A' && d <= 'F') digit = d - 'A' + 10;
      if (digit < 0) return false;
      value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
      if (value > 0x10FFFF) return false;
    }
    if (!isXmlChar(value)) return false;
  }
  return true;
}

bool namesAreWellFormed(pugi::xml_node node) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    if (!isXmlName(child.name())) return false;
    std::set<std::string_view> seen;
    for (pugi::xml_attribute attribute : child.attributes()) {
      if (!isXmlName(attribute.name()) || !seen.insert(attribute.name()).second) return false;
    }
    if (!namesAreWellFormed(child)) return false;
  }
  return true;
}

ShellCommand::Outcome answer(const std::string& command, bool readOutput);

}  // namespace

void useScratchInstallation() {
  if (!root().empty()) return;
  const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  removeStaleScratch(base);
  root() = std::string(base) + "/" + std::string(kScratchPrefix) + std::to_string(::getpid());
  std::error_code error;
  fs::create_directories(installDir() + "/config", error);
  fs::create_directories(installDir() + "/temp", error);
  fs::create_directories(root() + "/tmp", error);
  if (error) {
    std::fprintf(stderr, "cannot make the scratch installation %s: %s\n", root().c_str(), error.message().c_str());
    std::abort();
  }
  std::atexit(removeScratch);
  Paths::setSandboxRoot(root());
  // The log is not what is under test: its lines go nowhere.
  CustomLogger::setSink([](const std::string&) {});
  ShellCommand::setStandIn(answer);
  if (!writeBytes(Paths::fixed(Paths::kSettingsFile), settingsText(installDir()))) std::abort();
  // Every log line is echoed to standard output; libFuzzer reports on standard error.
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

const std::string& scratchRoot() { return root(); }

std::string installDir() { return root() + std::string(Paths::kInstallDir); }

bool writeBytes(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

void setCommandOutput(std::string_view bytes) {
  commandOutput() = bytes;
  commandCount() = 0;
}

int commandsRun() { return commandCount(); }

bool isWellFormedXml(std::string_view text, bool checkCharacters) {
  if (checkCharacters && !holdsOnlyXmlChars(text)) return false;
  pugi::xml_document document;
  const auto parsed = document.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_declaration,
                                           pugi::encoding_utf8);
  if (!parsed) return false;
  int elements = 0;
  for (pugi::xml_node node : document.children()) {
    if (node.type() == pugi::node_element) ++elements;
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return false;
  }
  return elements == 1 && namesAreWellFormed(document);
}


}  // namespace brim::fuzz

namespace brim::fuzz {
namespace {

// The word after a redirection, as the shell would take it: single quotes
// (with '\'' for a quote inside) or a bare word.
std::string unquotedWord(std::string_view word) {
  std::string text;
  bool quoted = false;
  for (const char c : word) {
    if (c == '\'') {
      quoted = !quoted;
    } else if (c == '\\' && !quoted) {
      continue;
    } else {
      text += c;
    }
  }
  return text;
}

// The shell, as the code under test reaches it: the profiler and ps answer
// with the input's bytes, with no process started.
ShellCommand::Outcome answer(const std::string& command, bool /*readOutput*/) {
  ShellCommand::Outcome outcome;
  outcome.started = true;
  outcome.exitStatus = 0;
  ++commandCount();
  const std::string_view line(command);
  if (!line.starts_with("system_profiler ") && !line.starts_with("ps ")) return outcome;
  const size_t redirect = line.rfind('>');
  if (redirect == std::string_view::npos) return outcome;
  const std::string path = unquotedWord(line.substr(redirect + 1));
  const bool append = redirect > 0 && line[redirect - 1] == '>';
  std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
  if (!file) {
    outcome.exitStatus = 1;
    return outcome;
  }
  if (!append) std::fwrite(commandOutput().data(), 1, commandOutput().size(), file);
  std::fclose(file);
  return outcome;
}

}  // namespace

}  // namespace brim::fuzz

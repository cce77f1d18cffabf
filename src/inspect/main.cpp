// brim_inspect: reads what brim_asset wrote, posted and was configured with,
// for administrators and support staff. Reads no environment variable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "config/SectionFields.h"
#include "inspect/BodyDecoder.h"
#include "inspect/Installation.h"
#include "inspect/PlistJson.h"
#include "inspect/RootedTree.h"
#include "inspect/Show.h"
#include "inspect/ShownText.h"
#include "inspect/SilentFailures.h"
#include "inspect/WebPostWriter.h"
#include "inspect/WireFormat.h"
#include "platform/CustomLogger.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace {

using brim::inspect::Check;

constexpr int kBadInput = 2;
// No document or body the tool writes comes near this.
constexpr size_t kMaxInput = 64 << 20;

constexpr const char* kUsage =
    "usage: brim_inspect [--root DIR] [--json] COMMAND\n"
    "  decode [--pretty] [--pass-phrase-file F] [FILE|-]  a posted body or data-post file as its document\n"
    "  check [--pass-phrase-file F] FILE...               check documents against the wire format\n"
    "  schema | wire-format                               print the RELAX NG schema | its description\n"
    "  settings [--decrypt]                               the settings file's sections\n"
    "  webposts [--decrypt]                               the web posts, their sites and query strings\n"
    "  set-webpost NAME URL [--compression on|off] [--encryption on|off]\n"
    "                                                     point a report at a server (root only)\n"
    "  doctor                                             check the installation\n"
    "  show [--html OUT|--json] FILE...                   inventory documents for people: text, one page, JSON\n"
    "  show --diff [--html OUT|--json] OLD NEW            what was added, removed and changed between two\n"
    "  help | --help | -h                                 this text\n"
    "  --version                                          the version and the pass phrase's fingerprint\n"
    "--root DIR reads the installation under DIR instead of /; --json prints check, settings, webposts,\n"
    "doctor, show and --version as JSON (secrets masked unless --decrypt).\n"
    "Exit status: 0 fine, 1 a deviation, a failed check, a change (show --diff) or nothing written,\n"
    "2 bad input.\n";

int usage(const std::string& problem) {
  std::cerr << "brim_inspect: " << brim::inspect::forTerminal(problem) << "\n" << kUsage;
  return kBadInput;
}

int badInput(const std::string& what) {
  std::cerr << "brim_inspect: " << brim::inspect::forTerminal(what) << "\n";
  return kBadInput;
}

// Standard input as a whole, or one file named on the command line. A named
// file is opened without blocking and read only when it is a regular file, so
// that a FIFO or a device returns at once rather than holding the tool.
std::optional<std::string> readInput(const std::string& name, std::string& error) {
  const bool standardInput = name == "-";
  const brim::UniqueFd opened(standardInput ? -1 : ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const int fd = standardInput ? STDIN_FILENO : opened.get();
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    error = name + ": cannot be read (" + std::strerror(errno) + ")";
    return std::nullopt;
  }
  if (!standardInput && !S_ISREG(st.st_mode)) {
    error = name + ": not a regular file (a folder, a FIFO or a device): not read";
    return std::nullopt;
  }
  const std::string tooLarge = name + ": larger than any document the tool writes (64 MB)";
  if (!standardInput && static_cast<size_t>(st.st_size) > kMaxInput) {
    error = tooLarge;
    return std::nullopt;
  }
  std::string text;
  char chunk[1 << 16];
  while (text.size() <= kMaxInput) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = name + ": read error (" + std::strerror(errno) + ")";
      return std::nullopt;
    }
    if (n == 0) return text;
    text.append(chunk, static_cast<size_t>(n));
  }
  error = tooLarge;
  return std::nullopt;
}

struct Options {
  std::vector<std::string> operands;
  bool pretty = false, decrypt = false, json = false;
  std::optional<std::string> passPhraseFile;
  std::optional<bool> compression, encryption;  // set-webpost
  std::optional<std::string> htmlOut;           // show
  bool diff = false;
};

int decode(const Options& o, const std::string& passPhrase) {
  if (o.operands.size() > 1) return usage("decode takes one file");
  const std::string name = o.operands.empty() ? "-" : o.operands.front();
  std::string error;
  const std::optional<std::string> body = readInput(name, error);
  if (!body) return badInput(error);
  const brim::inspect::Decoded decoded = brim::inspect::decodeBody(*body, passPhrase);
  if (!decoded.ok) return badInput(name + ": " + decoded.error);
  const std::string shown = o.pretty ? brim::inspect::prettyDocument(decoded.document) : decoded.document;
  // Whole to a file or a pipe; on a terminal nothing in it may act as a control sequence.
  std::cout << (::isatty(STDOUT_FILENO) ? brim::inspect::forTerminal(shown, true) : shown);
  if (!o.pretty && (decoded.document.empty() || decoded.document.back() != '\n')) std::cout << "\n";
  return 0;
}

int check(const Options& o, const std::string& passPhrase) {
  if (o.operands.empty()) return usage("check needs at least one file");
  // Bad input (2) outweighs a deviation (1); every file is looked at either way.
  int status = 0;
  std::vector<Check> verdicts;
  for (const std::string& name : o.operands) {
    std::string error;
    const std::optional<std::string> body = readInput(name, error);
    const brim::inspect::Decoded decoded =
        body ? brim::inspect::decodeBody(*body, passPhrase) : brim::inspect::Decoded{};
    if (!body || !decoded.ok) {
      const std::string what = body ? name + ": " + decoded.error : error;
      status = badInput(what);
      verdicts.push_back({Check::Status::FAIL, name, what, "bad input"});
      continue;
    }
    std::optional<std::string> deviation = brim::inspect::checkDocument(decoded.document);
    if (!deviation) deviation = brim::inspect::checkDataPostName(name, decoded.document);
    if (deviation) status = std::max(status, 1);
    verdicts.push_back({deviation ? Check::Status::FAIL : Check::Status::OK, name, deviation.value_or("OK"), {}});
    if (!o.json) std::cout << brim::inspect::forTerminal(name + ": " + verdicts.back().detail) << "\n";
  }
  if (o.json) std::cout << brim::inspect::doctorJson(verdicts);
  return status;
}

std::optional<bool> onOff(const std::string& value) {
  if (value == "on") return true;
  if (value == "off") return false;
  return std::nullopt;
}

int setWebPost(const Options& o, const brim::inspect::RootedTree& tree) {
  if (o.operands.size() != 2) return usage("set-webpost takes a web-post name and a site address");
  if (::geteuid() != 0) return badInput("set-webpost writes the agent's web-post file: run it as root");
  std::string error;
  const brim::inspect::WebPostChange change{o.operands[0], o.operands[1], o.compression, o.encryption};
  if (!brim::inspect::writeWebPost(tree, change, error)) {
    std::cerr << "brim_inspect: " << error << "\n";
    return error.find(" not written: ") == std::string::npos ? kBadInput : 1;
  }
  std::cout << change.name << ": primarysite set in " << brim::Paths::fixed(brim::Paths::kWebPostsFile) << "\n";
  return 0;
}

// The page to standard output ("-") or into its file; status when it is out.
int writePage(const std::string& out, const std::string& page, int status) {
  if (out == "-") {
    std::cout << page;
    return status;
  }
  std::string error;
  if (!brim::inspect::writeWhole(out, page, error)) {
    std::cerr << "brim_inspect: " << brim::inspect::forTerminal(error) << "\n";
    return 1;
  }
  std::cout << brim::inspect::forTerminal(out) << ": written\n";
  return status;
}

int show(const Options& o, const std::string& passPhrase) {
  if (o.operands.empty()) return usage("show needs at least one file");
  if (o.diff && o.operands.size() != 2) return usage("show --diff takes two files, OLD and NEW");
  if (o.htmlOut && o.json) return usage("show: --html and --json each choose the form; give one");
  std::vector<brim::inspect::ShownDocument> documents;
  for (const std::string& name : o.operands) {
    std::string error;
    const std::optional<std::string> body = readInput(name, error);
    if (!body) return badInput(error);
    const brim::inspect::Decoded decoded = brim::inspect::decodeBody(*body, passPhrase);
    if (!decoded.ok) return badInput(name + ": " + decoded.error);
    std::optional<brim::inspect::ShownDocument> shown = brim::inspect::readInventory(decoded.document, name, error);
    if (!shown) return badInput(name + ": " + error);
    // Shown all the same: a damaged document is what a person most wants to look at.
    if (const std::optional<std::string> deviation = brim::inspect::checkDocument(decoded.document))
      std::cerr << "brim_inspect: "
                << brim::inspect::forTerminal(name + ": does not follow the wire format: " + *deviation) << "\n";
    documents.push_back(std::move(*shown));
  }
  if (o.diff) {
    const brim::inspect::ShownDocument &older = documents[0], &newer = documents[1];
    if (older.type != newer.type)
      return badInput("show --diff: " + older.file + " and " + newer.file + " are different inventories (" +
                      older.type + ", " + newer.type + ")");
    const std::vector<brim::inspect::CategoryDiff> diff = brim::inspect::diffInventories(older, newer);
    const int changed = diff.empty() ? 0 : 1;
    if (o.htmlOut) return writePage(*o.htmlOut, brim::inspect::diffHtml(older, newer, diff), changed);
    std::cout << (o.json ? brim::inspect::diffJson(older, newer, diff) : brim::inspect::diffText(older, newer, diff));
    return changed;
  }
  if (o.htmlOut) return writePage(*o.htmlOut, brim::inspect::showHtml(documents), 0);
  std::cout << (o.json ? brim::inspect::showJson(documents) : brim::inspect::showText(documents));
  return 0;
}

int version(const Options& o) {
  const std::string fingerprint = brim::inspect::passPhraseFingerprint();
  if (o.json) {
    std::cout << "{\"version\": \"" << brim::build::kVersion << "\", \"passphrasefingerprint\": \"" << fingerprint
              << "\", \"placeholderpassphrase\": " << (brim::build::kPlaceholderPassPhrase ? "true" : "false") << "}\n";
  } else {
    std::cout << "brim_inspect " << brim::build::kVersion << "\npass phrase fingerprint " << fingerprint
              << " (SHA-256, first 16 hex digits)" << (brim::build::kPlaceholderPassPhrase ? ": the placeholder" : "")
              << "\n";
  }
  return 0;
}

int run(const std::vector<std::string>& args) {
  std::string command;
  Options o;
  std::optional<std::string> root;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--root" || a == "--pass-phrase-file" || a == "--html") {
      if (!hasValue) return usage(a + " needs a value");
      (a == "--root" ? root : a == "--html" ? o.htmlOut : o.passPhraseFile) = args[++i];
    } else if (a == "--diff") {
      o.diff = true;
    } else if (a == "--pretty") {
      o.pretty = true;
    } else if (a == "--decrypt") {
      o.decrypt = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--help" || a == "-h") {
      command = "help";
    } else if (a == "--version") {
      command = "--version";
    } else if (a == "--compression" || a == "--encryption") {
      const std::optional<bool> value = hasValue ? onOff(args[++i]) : std::nullopt;
      if (!value) return usage(a + " takes on or off");
      (a == "--compression" ? o.compression : o.encryption) = value;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return usage("unknown option " + a);
    } else if (command.empty()) {
      command = a;
    } else {
      o.operands.push_back(a);
    }
  }
  if (command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (root) {
    if (root->empty() || root->front() != '/') return usage("--root needs an absolute directory");
    struct stat st {};
    if (::stat(root->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return badInput("--root " + *root + ": no such folder");
    brim::Paths::setSandboxRoot(*root);
  }
  // Only what prints data has a JSON form; anything else says so rather than ignore the option.
  static const std::set<std::string> kJsonCommands = {"check", "settings", "webposts", "doctor", "show", "--version"};
  if (o.json && !kJsonCommands.contains(command)) {
    return usage(std::string("--json: ") + (command.empty() ? "no command" : command) +
                 " prints no JSON (check, settings, webposts, doctor, show and --version do)");
  }
  if ((o.compression || o.encryption) && command != "set-webpost") {
    return usage("--compression and --encryption go with set-webpost");
  }
  if ((o.htmlOut || o.diff) && command != "show") return usage("--html and --diff go with show");
  std::string passPhrase = brim::sharedPassPhrase();
  if (o.passPhraseFile) {
    std::string error;
    const std::optional<std::string> text = readInput(*o.passPhraseFile, error);
    if (!text) return badInput(error);
    passPhrase = text->substr(0, text->find_first_of("\r\n"));
    if (passPhrase.empty()) return badInput(*o.passPhraseFile + ": holds no pass phrase on its first line");
  }
  if (o.decrypt && ::geteuid() != 0) return badInput("--decrypt shows the agent's secrets: run it as root");

  if (command == "--version") return version(o);
  // A copy under --root is anybody's files: read, and written, only inside it.
  const brim::inspect::RootedTree tree(root.value_or("/"));
  if (command == "set-webpost") return setWebPost(o, tree);
  if (command == "decode") return decode(o, passPhrase);
  if (command == "check") return check(o, passPhrase);
  if (command == "show") return show(o, passPhrase);
  if (!o.operands.empty()) return usage(command + " takes no operand");
  if (command == "schema") {
    std::cout << brim::inspect::relaxNgSchema();
    return 0;
  }
  if (command == "wire-format") {
    std::cout << brim::inspect::wireFormatMarkdown();
    return 0;
  }
  if (command == "settings" || command == "webposts") {
    std::string error;
    const std::string_view file = command == "settings" ? brim::Paths::kSettingsFile : brim::Paths::kWebPostsFile;
    const bool printed =
        o.json ? brim::inspect::printPlistFileJson(std::cout, tree, brim::Paths::fixed(file), o.decrypt, error)
        : command == "settings" ? brim::inspect::printSettings(std::cout, o.decrypt, error)
                                : brim::inspect::printWebPosts(std::cout, o.decrypt, error);
    return printed ? 0 : badInput(error);
  }
  if (command == "doctor") {
    const std::vector<Check> checks = brim::inspect::doctor();
    std::cout << (o.json ? brim::inspect::doctorJson(checks) : brim::inspect::doctorText(checks));
    for (const Check& c : checks) {
      if (c.status == Check::Status::FAIL) return 1;
    }
    return 0;
  }
  return usage(command.empty() ? "no command" : "unknown command " + command);
}

}  // namespace

int main(int argc, const char** argv) {
  // The modules log as the tool does; here that would only mix with the output
  // and append to the agent's log.
  brim::CustomLogger::setSink([](const std::string&) {});
  return run(std::vector<std::string>(argv + 1, argv + argc));
}

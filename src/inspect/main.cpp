// brim_inspect: reads what brim_asset wrote, posted and was configured with,
// for administrators and support staff. Reads no environment variable.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/CustomLogger.h"
#include "config/SectionFields.h"
#include "inspect/BodyDecoder.h"
#include "inspect/Installation.h"
#include "inspect/ShownText.h"
#include "inspect/WireFormat.h"
#include "platform/Paths.h"

namespace {

using brim::inspect::Check;

constexpr int kBadInput = 2;
// No document or body the tool writes comes near this.
constexpr std::streamsize kMaxInput = 64 << 20;

constexpr const char* kUsage =
    "usage: brim_inspect [--root DIR] COMMAND\n"
    "  decode [--pretty] [--pass-phrase-file F] [FILE|-]  a posted body or data-post file as its document\n"
    "  check [--pass-phrase-file F] FILE...               check documents against the wire format\n"
    "  schema | wire-format                               print the RELAX NG schema | its description\n"
    "  settings [--decrypt]                               the settings file's sections\n"
    "  webposts [--decrypt]                               the web posts, their sites and query strings\n"
    "  doctor [--json]                                    check the installation\n"
    "--root DIR reads the installation under DIR instead of /.\n";

int usage(const std::string& problem) {
  std::cerr << "brim_inspect: " << brim::inspect::forTerminal(problem) << "\n" << kUsage;
  return kBadInput;
}

int badInput(const std::string& what) {
  std::cerr << "brim_inspect: " << brim::inspect::forTerminal(what) << "\n";
  return kBadInput;
}

std::optional<std::string> readInput(const std::string& name, std::string& error) {
  std::ifstream file;
  if (name != "-") {
    file.open(name, std::ios::binary);
    if (!file) {
      error = name + ": cannot be read";
      return std::nullopt;
    }
  }
  std::istream& in = name == "-" ? std::cin : file;
  std::string text;
  char chunk[1 << 16];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(in.gcount()));
    if (static_cast<std::streamsize>(text.size()) > kMaxInput) {
      error = name + ": larger than any document the tool writes (64 MB)";
      return std::nullopt;
    }
  }
  if (in.bad()) {
    error = name + ": read error";
    return std::nullopt;
  }
  return text;
}

struct Options {
  std::vector<std::string> operands;
  bool pretty = false, decrypt = false, json = false;
  std::optional<std::string> passPhraseFile;
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
  for (const std::string& name : o.operands) {
    std::string error;
    const std::optional<std::string> body = readInput(name, error);
    if (!body) {
      status = badInput(error);
      continue;
    }
    const brim::inspect::Decoded decoded = brim::inspect::decodeBody(*body, passPhrase);
    if (!decoded.ok) {
      status = badInput(name + ": " + decoded.error);
      continue;
    }
    std::optional<std::string> deviation = brim::inspect::checkDocument(decoded.document);
    if (!deviation) deviation = brim::inspect::checkDataPostName(name, decoded.document);
    if (deviation) {
      std::cout << brim::inspect::forTerminal(name + ": " + *deviation) << "\n";
      status = std::max(status, 1);
    } else {
      std::cout << brim::inspect::forTerminal(name) << ": OK\n";
    }
  }
  return status;
}

int run(const std::vector<std::string>& args) {
  std::string command;
  Options o;
  std::optional<std::string> root;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--root" || a == "--pass-phrase-file") {
      if (!hasValue) return usage(a + " needs a value");
      (a == "--root" ? root : o.passPhraseFile) = args[++i];
    } else if (a == "--pretty") {
      o.pretty = true;
    } else if (a == "--decrypt") {
      o.decrypt = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return usage("unknown option " + a);
    } else if (command.empty()) {
      command = a;
    } else {
      o.operands.push_back(a);
    }
  }
  if (root) {
    if (root->empty() || root->front() != '/') return usage("--root needs an absolute directory");
    brim::Paths::setSandboxRoot(*root);
  }
  std::string passPhrase = brim::sharedPassPhrase();
  if (o.passPhraseFile) {
    std::string error;
    const std::optional<std::string> text = readInput(*o.passPhraseFile, error);
    if (!text) return badInput(error);
    passPhrase = text->substr(0, text->find_first_of("\r\n"));
    if (passPhrase.empty()) return badInput(*o.passPhraseFile + ": holds no pass phrase on its first line");
  }
  if (o.decrypt && ::geteuid() != 0) return badInput("--decrypt shows the agent's secrets: run it as root");

  if (command == "decode") return decode(o, passPhrase);
  if (command == "check") return check(o, passPhrase);
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
    const bool printed = command == "settings" ? brim::inspect::printSettings(std::cout, o.decrypt, error)
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

#include "inspect/Installation.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "config/DateToDisasterRecoverySettings.h"
#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "config/SectionFields.h"
#include "config/SettingsLayout.h"
#include "config/WebPostSetting.h"
#include "envelope/Base64.h"
#include "envelope/DirectReports.h"
#include "envelope/EncryptionAES.h"
#include "inspect/BodyDecoder.h"
#include "inspect/RootedTree.h"
#include "inspect/ShownText.h"
#include "inspect/SilentFailures.h"
#include "net/Communications.h"
#include "net/Reachability.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "platform/ReachabilitySource.h"
#include "platform/TrustedPath.h"

namespace brim::inspect {
namespace {

// Under --root the installation is a copy: nothing is written into it and no
// name it holds is looked up, as neither would tell anything about the copy.
bool readsACopy() { return !Paths::sandboxRoot().empty(); }

// The installation: the copy under --root, or the machine itself.
RootedTree installation() { return RootedTree(readsACopy() ? Paths::sandboxRoot() : std::string("/")); }

// A folder named in the settings, as this process sees it: under the sandbox
// root unless the settings already name it there (a test sandbox writes them so).
std::string rooted(const std::string& path) {
  const std::string& root = Paths::sandboxRoot();
  if (!root.empty() && path.compare(0, root.size() + 1, root + "/") == 0) return path;
  return Paths::fixed(path);
}

// The settings as the tool loads them, from a dictionary read here: a root
// entry that is not a dictionary reads as an absent section.
void loadPreferences(GlobalPreferences& prefs, plist_t settings) {
  for (const SectionTable& table : kSettingsLayout) {
    plist_t dict = plistDictItem(settings, table.key);
    if (SettingsSection* section = prefs.section(table.key)) {
      section->initWithDictionary(dict && plist_get_node_type(dict) == PLIST_DICT ? dict : nullptr);
    }
  }
}

// The file's root dictionary; null, with error set, when there is none.
Plist readDictionaryFile(const RootedTree& tree, const std::string& path, std::string& error) {
  const std::optional<std::string> text = tree.readFile(path, error);
  if (!text) return nullptr;
  Plist file = parsePlist(*text);
  if (file && plist_get_node_type(file.get()) == PLIST_DICT) return file;
  error = path + " cannot be read as a property-list dictionary";
  return nullptr;
}

std::string scalarText(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
      return plistBool(node).value_or(false) ? "true" : "false";
    case PLIST_UINT:
    case PLIST_REAL:
      return std::to_string(plistInteger(node).value_or(0));
    case PLIST_STRING:
      return "\"" + forTerminal(plistString(node).value_or("")) + "\"";
    case PLIST_DATA: {
      uint64_t length = 0;
      plist_get_data_ptr(node, &length);
      return "(" + std::to_string(length) + " bytes of data)";
    }
    case PLIST_DATE:
      return "(a date)";
    default:
      return "(?)";
  }
}

void printValue(std::ostream& out, const std::string& key, plist_t node, bool decrypt, const std::string& passPhrase) {
  if (plist_get_node_type(node) == PLIST_DICT) {
    forEachEntry(node, [&](const std::string& name, plist_t value) {
      printValue(out, key + "." + name, value, decrypt, passPhrase);
    });
    return;
  }
  if (plist_get_node_type(node) == PLIST_ARRAY) {
    for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
      printValue(out, key + "[" + std::to_string(i) + "]", plist_array_get_item(node, i), decrypt, passPhrase);
    }
    return;
  }
  // A section that holds a plain value has no key of its own.
  out << "  " << (key.empty() ? std::string("(value)") : forTerminal(key.substr(1))) << " = ";
  const std::optional<std::string> text = plistString(node);
  if (text && decryptsWith(*text, passPhrase)) {
    if (decrypt) {
      out << "\"" << forTerminal(EncryptionAES().decryptChilkat(*text, passPhrase)) << "\" (decrypted)\n";
    } else {
      out << "(encrypted)\n";
    }
    return;
  }
  out << scalarText(node);
  // Whole cipher blocks that do not come back: encrypted under another pass phrase, or damaged.
  const std::optional<std::string> bytes = text ? decodeBase64(*text) : std::nullopt;
  if (bytes && !bytes->empty() && bytes->size() % 16 == 0) out << " (looks encrypted; does not decrypt)";
  out << "\n";
}

// The address a post goes to: the query string resolved against the site,
// as a reference that is only a query replaces the site's own query.
std::string postAddress(const std::string& site, const std::string& query) {
  std::string base = Communications::initWithBaseURLString(site).baseURL.value_or(site);
  base = base.substr(0, base.find_first_of("?#"));
  return base + query;
}

std::string hostOf(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return {};
  std::string host = url.substr(scheme + 3);
  host = host.substr(0, host.find_first_of("/?#"));
  if (const size_t at = host.rfind('@'); at != std::string::npos) host = host.substr(at + 1);
  if (!host.empty() && host.front() == '[') return host.substr(1, host.find(']') - 1);
  return host.substr(0, host.find(':'));
}

// The first IPv4 address of a host name or dotted address; names are looked
// up only on the machine itself.
std::optional<uint32_t> ipv4Of(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = readsACopy() ? AI_NUMERICHOST : 0;
  addrinfo* raw = nullptr;
  if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &raw) != 0) return std::nullopt;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> found(raw, &::freeaddrinfo);
  if (!found) return std::nullopt;
  return ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
}

Check ok(std::string name, std::string detail) { return {Check::Status::OK, std::move(name), std::move(detail), {}}; }
Check warn(std::string name, std::string detail, std::string advice) {
  return {Check::Status::WARN, std::move(name), std::move(detail), std::move(advice)};
}
Check failed(std::string name, std::string detail, std::string advice) {
  return {Check::Status::FAIL, std::move(name), std::move(detail), std::move(advice)};
}

std::string octal(mode_t mode) {
  std::ostringstream out;
  out << std::oct << (mode & 07777);
  return out.str();
}

// The settings file, checked and read; null when it cannot be read.
Plist checkSettingsFile(std::vector<Check>& checks, const RootedTree& tree) {
  const std::string path = GlobalPreferences::settingsFilePath();
  std::string unreadable;
  const std::optional<struct stat> st = tree.status(path, unreadable);
  Plist settings = st ? readDictionaryFile(tree, path, unreadable) : nullptr;
  if (!settings) {
    checks.push_back(
        failed("settings", unreadable, "apt-get install --reinstall brim-asset (lays out a missing settings file)"));
    return nullptr;
  }
  checks.push_back(ok("settings", path + " readable"));
  if (st->st_uid != 0) {
    checks.push_back(
        failed("settings owner", "owned by uid " + std::to_string(st->st_uid), "chown root " + shellQuoted(path)));
  } else {
    checks.push_back(ok("settings owner", "root"));
  }
  if (st->st_mode & S_IWOTH) {
    checks.push_back(failed("settings mode", "mode " + octal(st->st_mode) + ": anyone may rewrite the sites",
                            "chmod go-w " + shellQuoted(path)));
  } else if (st->st_mode & S_IWGRP) {
    checks.push_back(warn("settings mode", "mode " + octal(st->st_mode) + ": its group may write it",
                          "chmod g-w " + shellQuoted(path)));
  } else {
    checks.push_back(ok("settings mode", "mode " + octal(st->st_mode)));
  }
  return settings;
}

void checkFolders(std::vector<Check>& checks, const MacFolderSettings& folders, const RootedTree& tree) {
  struct Folder {
    const char* name;
    const std::optional<std::string>& relative;
    bool holdsCode;  // run as root or read as configuration: nobody else may plant files there
  };
  const Folder kFolders[] = {
      {"config", folders.configDirectRelative(), true}, {"executable", folders.executableDirRelative(), true},
      {"temp", folders.tempDirRelative(), false},       {"data-post", folders.dataPostDirRelative(), false},
      {"data", folders.dataDirRelative(), false},       {"log", folders.logDirRelative(), false},
  };
  for (const Folder& f : kFolders) {
    const std::string name = std::string(f.name) + " folder";
    if (!f.relative) continue;
    const std::string named = folders.folder(f.relative);
    if (named.empty() || named.front() != '/') {
      checks.push_back(failed(name, "\"" + named + "\" is not an absolute path: the tool uses no such folder",
                              "set macfolders.agentinstallpathabsolute in the settings"));
      continue;
    }
    const std::string path = rooted(named);
    std::string missing;
    const std::optional<struct stat> st = tree.status(path, missing);
    if (!st || !S_ISDIR(st->st_mode)) {
      checks.push_back(failed(name, st ? path + ": not a folder" : missing, "mkdir -p " + shellQuoted(path)));
    } else if ((st->st_mode & S_IWOTH) && !(st->st_mode & S_ISVTX)) {
      const std::string detail = path + " mode " + octal(st->st_mode) + ": anyone may write in it";
      const std::string advice = "chmod o-w " + shellQuoted(path);
      checks.push_back(f.holdsCode ? failed(name, detail, advice) : warn(name, detail, advice));
    } else {
      checks.push_back(ok(name, path + " mode " + octal(st->st_mode)));
    }
  }
  if (!folders.dataPostDirRelative()) {
    checks.push_back(failed("data-post folder", "the settings name no data-post folder",
                            "set macfolders.datapostdirrelative in the settings"));
    return;
  }
  if (readsACopy()) return;
  // Written the way the tool writes: a new file in the folder, under a hidden
  // temporary name that the uploader leaves alone.
  const std::string probe = rooted(folders.folder(folders.dataPostDirRelative())) + "/.autodelete_brim_inspect_XXXXXX";
  std::string name = probe;
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    checks.push_back(failed("data-post writable", probe.substr(0, probe.rfind('/')) + " takes no new file",
                            "free space there, or make it writable for root"));
  } else {
    ::close(fd);
    ::unlink(name.c_str());
    checks.push_back(ok("data-post writable", "a new file can be written"));
  }
}

// One finding of the rule the tool applies before it runs, reads or writes
// what a path names: its owner and write bits, and those of every folder
// above it, from the top of the installation down.
Check trustFinding(const std::string& name, const std::string& path, const std::string& top, bool refused) {
  const std::optional<std::string> why = TrustedPath::whyUntrusted(path, top);
  if (!why) return ok(name, path + " and the folders above it belong to root, writable by root only");
  // The rule's own advice ends with the folder or file to fix: given here quoted for the shell.
  std::vector<std::string> above = {"/"};
  for (size_t end = path.size(); end != std::string::npos && end > 0; end = path.rfind('/', end - 1)) {
    above.push_back(path.substr(0, end));
  }
  for (const std::string& at : above) {
    for (const char* fix : {"chown root ", "chmod go-w "}) {
      const std::string tail = std::string(": ") + fix + at;
      if (why->size() > tail.size() && why->compare(why->size() - tail.size(), tail.size(), tail) == 0) {
        const std::string detail = why->substr(0, why->size() - tail.size());
        const std::string advice = fix + shellQuoted(at);
        return refused ? failed(name, detail, advice) : warn(name, detail, advice);
      }
    }
  }
  const std::string advice = "make it a folder or file of root's that only root may change";
  return refused ? failed(name, *why, advice) : warn(name, *why, advice);
}

// What the tool refuses: the settings or web-post file, a configuration or an
// executable folder, or brim_register, that anybody but root could change. A
// data folder others could change is written all the same: a warning here.
void checkTrustedPaths(std::vector<Check>& checks, const MacFolderSettings& folders, const RootedTree& tree) {
  const std::string& top = tree.top();
  checks.push_back(trustFinding("settings trust", GlobalPreferences::settingsFilePath(), top, true));
  checks.push_back(trustFinding("web posts trust", Paths::fixed(Paths::kWebPostsFile), top, true));
  const auto absolute = [&](const std::optional<std::string>& relative) -> std::optional<std::string> {
    const std::string named = folders.folder(relative);
    if (!relative || named.front() != '/') return std::nullopt;
    return rooted(named);
  };
  if (const auto config = absolute(folders.configDirectRelative())) {
    checks.push_back(trustFinding("config folder trust", *config, top, true));
  }
  if (const auto executables = absolute(folders.executableDirRelative())) {
    checks.push_back(trustFinding("executable folder trust", *executables, top, true));
    const std::string registrar = *executables + "/brim_register";
    std::string missing;
    if (!tree.status(registrar, missing)) {
      checks.push_back(warn("brim_register", missing + ": a machine whose registration id is 0 cannot register",
                            "reinstall the agent"));
    } else {
      checks.push_back(trustFinding("brim_register trust", registrar, top, true));
    }
  }
  if (const auto data = absolute(folders.dataDirRelative())) {
    checks.push_back(trustFinding("data folder trust", *data, top, false));
  }
}

void checkReachable(std::vector<Check>& checks, const std::string& name, const std::string& host,
                    const RootedTree& tree) {
  const std::optional<uint32_t> address = ipv4Of(host);
  if (!address && readsACopy()) {
    checks.push_back(
        warn(name, host + " not looked up: --root reads a copied installation", "run doctor on the machine itself"));
    return;
  }
  // The copy's route table is read by path: only a plain file, reached through no link, is.
  std::string refused;
  const std::optional<std::string> table = ReachabilitySource::sourceFile();
  if (readsACopy() && table && !tree.isPlainFile(*table, refused)) {
    checks.push_back(failed(name, refused, "give the copy a route table that is a plain file"));
    return;
  }
  if (!address) {
    checks.push_back(failed(name, host + " has no IPv4 address", "check the name and the machine's DNS settings"));
    return;
  }
  const auto target = Reachability::reachabilityWithAddress(*address);
  if (!target || target->currentReachabilityStatus() == Reachability::NotReachable) {
    checks.push_back(failed(name, "no route to " + host, "check the machine's network and routes"));
  } else {
    checks.push_back(ok(name, host + " reachable"));
  }
}

// The command that writes a web post's site, for a standalone install; the
// agent's server may also send the web post again.
std::string setWebPostAdvice(std::string_view report) {
  return "brim_inspect set-webpost " + std::string(report) + " http://<server>/<path>";
}

void checkWebPosts(std::vector<Check>& checks, const GlobalPreferences& prefs, std::set<std::string>& hosts,
                   const RootedTree& tree) {
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  std::string unreadable;
  const Plist file = readDictionaryFile(tree, path, unreadable);
  if (!file) {
    checks.push_back(failed("web posts", unreadable, "the agent's server must send the web posts again"));
    return;
  }
  const bool toDR = prefs.disasterInfo().reportToDR();
  // The web posts the tool itself looks up: one per posted report.
  for (const DirectReport* declared : kDirectReports) {
    const std::string_view report = declared->webPost();
    if (report.empty()) continue;
    const std::string name = "web post " + std::string(report);
    WebPostSetting post;
    if (!post.initWithDictionary(plistDictItem(file.get(), report))) {
      checks.push_back(failed(name, "missing from " + path, setWebPostAdvice(report)));
      continue;
    }
    const char* siteKey = toDR ? "disasterrecovery" : "primarysite";
    const std::optional<std::string>& stored = post.storedSite(siteKey);
    const std::optional<std::string>& site = toDR ? post.disasterRecovery() : post.primarySite();
    if (!stored || stored->empty()) {
      checks.push_back(
          failed(name, std::string("no ") + siteKey + ": the report is never posted", setWebPostAdvice(report)));
    } else if (!decryptsWith(*stored, sharedPassPhrase())) {
      checks.push_back(
          failed(name, std::string(siteKey) + " does not decrypt with the compiled-in pass phrase",
                 setWebPostAdvice(report) + " (this build's pass phrase), or build with the deployment's one"));
    } else if (site->rfind("http://", 0) != 0 && site->rfind("https://", 0) != 0) {
      checks.push_back(failed(name, std::string(siteKey) + " is not an http(s) address", setWebPostAdvice(report)));
    } else {
      checks.push_back(ok(name, std::string("posts to its ") + siteKey));
      hosts.insert(hostOf(*site));
    }
  }
}

// The last run of each job in the tool's log, and how it ended.
struct Run {
  std::string started;
  std::vector<std::string> lines;
  bool has(std::string_view text) const {
    for (const std::string& line : lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }
};

void checkLastRuns(std::vector<Check>& checks, const RootedTree& tree) {
  const std::string path = Paths::fixed(Paths::kLogDir) + "/brim_asset.log";
  // Whole documents are logged on every run: the last runs are near the end.
  constexpr size_t kLogTail = 32 << 20;
  std::string unreadable;
  const std::optional<std::string> log = tree.readTail(path, kLogTail, unreadable);
  if (!log && tree.status(path, unreadable)) {
    checks.push_back(failed("last runs", unreadable, "make the log a plain file"));
    return;
  }
  constexpr std::string_view kMain = "int main(int, const char **):";
  constexpr std::string_view kAssets = "-[ConsolidatedAssets ";
  // Every line that tells how a job went starts with one of the two; documents do not matter here.
  constexpr size_t kKept = 200;
  struct Job {
    const char* name;
    const char* marker;
  };
  static constexpr Job kJobs[] = {
      {"hardware inventory", "int main(int, const char **):asset data collection"},
      {"software inventory", "int main(int, const char **):software asset collection"},
      {"process sample", "int main(int, const char **):Collect top 20 CPU and Memory processes"},
      {"process report", "int main(int, const char **):Save top 20 CPU and Memory processes data"},
      {"machine details", "-[ConsolidatedAssets collectMacDetails]"},
      {"SMART status", "-[ConsolidatedAssets collectSmartStatus]"},
  };
  std::vector<Run> runs;
  std::istringstream in(log.value_or(""));
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(kMain);
    if (at != std::string::npos && line.compare(at + kMain.size(), std::string::npos, "Asset collection") == 0) {
      runs.push_back({line.substr(0, at == 0 ? 0 : at - 1), {}});
    } else if (!runs.empty() && (at != std::string::npos || line.find(kAssets) != std::string::npos)) {
      runs.back().lines.push_back(line.substr(0, kKept));
    }
  }
  if (!log) {
    checks.push_back(warn("last runs", path + " missing: the tool has not run here",
                          "systemctl enable --now brim-asset.target, or run brim_asset as root"));
    return;
  }
  if (!runs.empty() && runs.back().has("RegID is still 0, exiting")) {
    checks.push_back(failed("last run", runs.back().started + ": stopped, registration id still 0",
                            std::string(Paths::kInstallDir) + "/bin/brim_register, and look at its output"));
  }
  for (const Job& job : kJobs) {
    const std::string name = std::string("last ") + job.name;
    const Run* last = nullptr;
    for (const Run& run : runs) {
      if (run.has(job.marker)) last = &run;
    }
    if (!last) {
      checks.push_back(warn(name, "no run in the log", "systemctl enable --now brim-asset.target"));
      continue;
    }
    const std::string when = last->started + ": ";
    if (!last->has("Lock Removed")) {
      checks.push_back(warn(name, when + "did not finish", "see " + shellQuoted(path) + " for where it stopped"));
    } else if (last->has("PROCESS DATA WRITE ERROR") ||
               (std::string_view(job.name) == "software inventory" && !last->has("software asset saved into file"))) {
      checks.push_back(failed(name, when + "its data-post file was not written", "see the data-post checks"));
    } else if (last->has("Saved data for webpost")) {
      checks.push_back(warn(name,
                            when + "not delivered" + (last->has("No Connection") ? " (no connection)" : "") +
                                ": saved as a data-post file for the uploader",
                            "check the network and the web post's site"));
    } else if (last->has("No Response")) {
      checks.push_back(
          warn(name, when + "no answer from the server, and not saved for the uploader", "check the web post's site"));
    } else {
      checks.push_back(ok(name, when + "finished"));
    }
  }
}

}  // namespace

void forEachEntry(plist_t dict, const std::function<void(const std::string& key, plist_t value)>& visit) {
  plist_dict_iter raw = nullptr;
  plist_dict_new_iter(dict, &raw);
  const std::unique_ptr<void, decltype(&std::free)> it(raw, &std::free);
  for (;;) {
    char* rawKey = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, it.get(), &rawKey, &value);
    const std::unique_ptr<char, decltype(&std::free)> key(rawKey, &std::free);
    if (!key) break;
    visit(key.get(), value);
  }
}

bool printSettings(std::ostream& out, bool decrypt, std::string& error) {
  const std::string path = GlobalPreferences::settingsFilePath();
  const Plist settings = readDictionaryFile(installation(), path, error);
  if (!settings) return false;
  out << "# " << forTerminal(path) << "\n";
  const std::string passPhrase = sharedPassPhrase();
  forEachEntry(settings.get(), [&](const std::string& section, plist_t value) {
    out << "[" << forTerminal(section) << "]\n";
    printValue(out, "", value, decrypt, passPhrase);
  });
  return true;
}

bool printWebPosts(std::ostream& out, bool decrypt, std::string& error) {
  const RootedTree tree = installation();
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  const Plist file = readDictionaryFile(tree, path, error);
  if (!file) return false;
  // The settings give the query string; without them it is what an empty settings file gives.
  GlobalPreferences prefs;
  std::string unreadable;
  loadPreferences(prefs, readDictionaryFile(tree, GlobalPreferences::settingsFilePath(), unreadable).get());
  const bool toDR = prefs.disasterInfo().reportToDR();
  out << "# " << forTerminal(path) << (toDR ? " (the settings send reports to the disaster-recovery sites)" : "")
      << "\n";
  forEachEntry(file.get(), [&](const std::string& name, plist_t value) {
    WebPostSetting post;
    post.initWithDictionary(value);
    out << "[" << forTerminal(name) << "]\n";
    out << "  compression = " << (post.compression() ? "true" : "false")
        << ", encryption = " << (post.encryption() ? "true" : "false")
        << ", encryptxmlroottag = " << (post.encryptXMLRootTag() ? "true" : "false") << "\n";
    const struct {
      const char* key;
      const std::optional<std::string>& stored;
      const std::optional<std::string>& plain;
    } sites[] = {{"primarysite", post.storedSite("primarysite"), post.primarySite()},
                 {"secondarysite", post.storedSite("secondarysite"), post.secondarySite()},
                 {"disasterrecovery", post.storedSite("disasterrecovery"), post.disasterRecovery()}};
    for (const auto& site : sites) {
      out << "  " << site.key << " = ";
      if (!site.stored)
        out << "(absent)\n";
      else if (!decryptsWith(*site.stored, sharedPassPhrase()))
        out << "(does not decrypt)\n";
      else if (!decrypt)
        out << "(encrypted)\n";
      else
        out << "\"" << forTerminal(*site.plain) << "\"\n";
    }
    const std::string query = post.GETDataURLSubString(prefs);
    out << "  query = \"" << forTerminal(query) << "\"\n";
    const std::optional<std::string>& target = toDR ? post.disasterRecovery() : post.primarySite();
    if (decrypt && target) out << "  posts to " << forTerminal(postAddress(*target, query)) << "\n";
  });
  return true;
}

std::vector<Check> doctor() {
  std::vector<Check> checks;
  const RootedTree tree = installation();
  const Plist settings = checkSettingsFile(checks, tree);
  GlobalPreferences prefs;
  loadPreferences(prefs, settings.get());
  if (settings) {
    const int64_t regId = prefs.machineInfo().dcRegId();
    if (regId == 0) {
      checks.push_back(failed("registration id", "0: every job stops after running brim_register",
                              std::string(Paths::kInstallDir) + "/bin/brim_register, and look at its output"));
    } else {
      checks.push_back(ok("registration id", std::to_string(regId)));
    }
    checkFolders(checks, prefs.macFodler(), tree);
    checkTrustedPaths(checks, prefs.macFodler(), tree);
  }
  std::set<std::string> hosts;
  checkWebPosts(checks, prefs, hosts, tree);
  for (const std::string& host : hosts) checkReachable(checks, "reach " + host, host, tree);
  if (const auto& proxyIP = prefs.proxySettings().proxyIP(); proxyIP && !proxyIP->empty()) {
    checkReachable(checks, "proxy " + *proxyIP, *proxyIP, tree);
  }
  checkLastRuns(checks, tree);
  checkJobCommands(checks);
  checkLastReportContents(checks);
  if (const MacFolderSettings folders = prefs.macFodler(); settings && folders.dataPostDirRelative()) {
    checkDataPostBacklog(checks, rooted(folders.folder(folders.dataPostDirRelative())));
  }
  checkLogFallback(checks);
  checkPassPhrase(checks);
  return checks;
}

}  // namespace brim::inspect

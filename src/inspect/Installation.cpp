#include "inspect/Installation.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "config/DateToDisasterRecoverySettings.h"
#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "config/SectionFields.h"
#include "config/WebPostSetting.h"
#include "envelope/Base64.h"
#include "envelope/EncryptionAES.h"
#include "inspect/BodyDecoder.h"
#include "inspect/SilentFailures.h"
#include "net/Communications.h"
#include "net/Reachability.h"
#include "platform/Paths.h"
#include "platform/Plist.h"

namespace brim::inspect {
namespace {

// The web posts the tool itself looks up: one per direct report.
constexpr std::string_view kReportWebPosts[] = {"wpmacsmartsts", "wpmacupdsysdtl"};

// A folder named in the settings, as this process sees it: under the sandbox
// root unless the settings already name it there (a test sandbox writes them so).
std::string rooted(const std::string& path) {
  const std::string& root = Paths::sandboxRoot();
  if (!root.empty() && path.compare(0, root.size() + 1, root + "/") == 0) return path;
  return Paths::fixed(path);
}

// Calls visit with each key and value of a dictionary, in the file's order.
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

// The file's root dictionary; null, with error set, when there is none.
Plist readDictionaryFile(const std::string& path, std::string& error) {
  Plist file = readPlistFile(path);
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
      return "\"" + plistString(node).value_or("") + "\"";
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
  out << "  " << key.substr(1) << " = ";
  const std::optional<std::string> text = plistString(node);
  if (text && decryptsWith(*text, passPhrase)) {
    if (decrypt) {
      out << "\"" << EncryptionAES().decryptChilkat(*text, passPhrase) << "\" (decrypted)\n";
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

// The first IPv4 address of a host name or dotted address.
std::optional<uint32_t> ipv4Of(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
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

void checkSettingsFile(std::vector<Check>& checks, bool& readable) {
  const std::string path = GlobalPreferences::settingsFilePath();
  struct stat st {};
  std::string unreadable;
  readable = ::stat(path.c_str(), &st) == 0 && readDictionaryFile(path, unreadable);
  if (!readable) {
    checks.push_back(failed("settings", path + " missing or not a property-list dictionary",
                            "apt-get install --reinstall brim-asset (lays out a missing settings file)"));
    return;
  }
  checks.push_back(ok("settings", path + " readable"));
  if (st.st_uid != 0) {
    checks.push_back(failed("settings owner", "owned by uid " + std::to_string(st.st_uid), "chown root " + path));
  } else {
    checks.push_back(ok("settings owner", "root"));
  }
  if (st.st_mode & S_IWOTH) {
    checks.push_back(
        failed("settings mode", "mode " + octal(st.st_mode) + ": anyone may rewrite the sites", "chmod go-w " + path));
  } else if (st.st_mode & S_IWGRP) {
    checks.push_back(
        warn("settings mode", "mode " + octal(st.st_mode) + ": its group may write it", "chmod g-w " + path));
  } else {
    checks.push_back(ok("settings mode", "mode " + octal(st.st_mode)));
  }
}

void checkFolders(std::vector<Check>& checks, const MacFolderSettings& folders) {
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
    const std::string path = rooted(folders.folder(f.relative));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      checks.push_back(failed(name, path + " missing", "mkdir -p " + path));
    } else if ((st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX)) {
      const std::string detail = path + " mode " + octal(st.st_mode) + ": anyone may write in it";
      const std::string advice = "chmod o-w " + path;
      checks.push_back(f.holdsCode ? failed(name, detail, advice) : warn(name, detail, advice));
    } else {
      checks.push_back(ok(name, path + " mode " + octal(st.st_mode)));
    }
  }
  if (!folders.dataPostDirRelative()) {
    checks.push_back(failed("data-post folder", "the settings name no data-post folder",
                            "set macfolders.datapostdirrelative in the settings"));
    return;
  }
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

void checkReachable(std::vector<Check>& checks, const std::string& name, const std::string& host) {
  const std::optional<uint32_t> address = ipv4Of(host);
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

void checkWebPosts(std::vector<Check>& checks, const GlobalPreferences& prefs, std::set<std::string>& hosts) {
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  const Plist file = readPlistFile(path);
  const bool toDR = prefs.disasterInfo().reportToDR();
  for (std::string_view report : kReportWebPosts) {
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
      checks.push_back(failed(name, std::string("no ") + siteKey + ": the report is never posted",
                              setWebPostAdvice(report)));
    } else if (!decryptsWith(*stored, sharedPassPhrase())) {
      checks.push_back(failed(name, std::string(siteKey) + " does not decrypt with the compiled-in pass phrase",
                              setWebPostAdvice(report) + " (this build's pass phrase), or build with the deployment's one"));
    } else if (site->rfind("http://", 0) != 0 && site->rfind("https://", 0) != 0) {
      checks.push_back(failed(name, std::string(siteKey) + " is not an http(s) address",
                              setWebPostAdvice(report)));
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

// The last `bytes` of a file from the start of a line; absent when it cannot be read.
std::optional<std::string> tailOf(const std::string& path, std::streamoff bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  in.seekg(size > bytes ? size - bytes : 0);
  std::string text(static_cast<size_t>(std::min(size, bytes)), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (size > bytes) text.erase(0, text.find('\n') + 1);
  return text;
}

void checkLastRuns(std::vector<Check>& checks) {
  const std::string path = Paths::fixed(Paths::kLogDir) + "/brim_asset.log";
  // Whole documents are logged on every run: the last runs are near the end.
  constexpr std::streamoff kLogTail = 32 << 20;
  const std::optional<std::string> log = tailOf(path, kLogTail);
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
    checks.push_back(warn("last runs", path + " missing: the tool has not run here", "systemctl enable --now brim-asset.target, or run brim_asset as root"));
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
      checks.push_back(warn(name, when + "did not finish", "see " + path + " for where it stopped"));
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

bool printSettings(std::ostream& out, bool decrypt, std::string& error) {
  const std::string path = GlobalPreferences::settingsFilePath();
  const Plist settings = readDictionaryFile(path, error);
  if (!settings) return false;
  out << "# " << path << "\n";
  const std::string passPhrase = sharedPassPhrase();
  forEachEntry(settings.get(), [&](const std::string& section, plist_t value) {
    out << "[" << section << "]\n";
    printValue(out, "", value, decrypt, passPhrase);
  });
  return true;
}

bool printWebPosts(std::ostream& out, bool decrypt, std::string& error) {
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  const Plist file = readDictionaryFile(path, error);
  if (!file) return false;
  const GlobalPreferences& prefs = GlobalPreferences::getSharedInstance();
  const bool toDR = prefs.disasterInfo().reportToDR();
  out << "# " << path << (toDR ? " (the settings send reports to the disaster-recovery sites)" : "") << "\n";
  forEachEntry(file.get(), [&](const std::string& name, plist_t value) {
    WebPostSetting post;
    post.initWithDictionary(value);
    out << "[" << name << "]\n";
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
        out << "\"" << *site.plain << "\"\n";
    }
    const std::string query = post.GETDataURLSubString(prefs);
    out << "  query = \"" << query << "\"\n";
    const std::optional<std::string>& target = toDR ? post.disasterRecovery() : post.primarySite();
    if (decrypt && target) out << "  posts to " << postAddress(*target, query) << "\n";
  });
  return true;
}

std::vector<Check> doctor() {
  std::vector<Check> checks;
  bool readable = false;
  checkSettingsFile(checks, readable);
  GlobalPreferences& prefs = GlobalPreferences::getSharedInstance();
  if (readable) {
    const int64_t regId = prefs.machineInfo().dcRegId();
    if (regId == 0) {
      checks.push_back(failed("registration id", "0: every job stops after running brim_register",
                              std::string(Paths::kInstallDir) + "/bin/brim_register, and look at its output"));
    } else {
      checks.push_back(ok("registration id", std::to_string(regId)));
    }
    checkFolders(checks, prefs.macFodler());
  }
  std::set<std::string> hosts;
  checkWebPosts(checks, prefs, hosts);
  for (const std::string& host : hosts) checkReachable(checks, "reach " + host, host);
  if (const auto& proxyIP = prefs.proxySettings().proxyIP(); proxyIP && !proxyIP->empty()) {
    checkReachable(checks, "proxy " + *proxyIP, *proxyIP);
  }
  checkLastRuns(checks);
  checkJobCommands(checks);
  checkLastReportContents(checks);
  if (const MacFolderSettings folders = prefs.macFodler(); readable && folders.dataPostDirRelative()) {
    checkDataPostBacklog(checks, rooted(folders.folder(folders.dataPostDirRelative())));
  }
  checkLogFallback(checks);
  checkPassPhrase(checks);
  return checks;
}

}  // namespace brim::inspect

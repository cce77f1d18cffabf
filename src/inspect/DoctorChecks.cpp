// The doctor's checks of the installation itself: settings, folders and their
// trust, web posts and the routes to their servers.
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "config/DateToDisasterRecoverySettings.h"
#include "config/GlobalPreferences.h"
#include "config/ProxySettings.h"
#include "config/SectionFields.h"
#include "config/WebPostSetting.h"
#include "envelope/DirectReports.h"
#include "inspect/BodyDecoder.h"
#include "inspect/Installation.h"
#include "inspect/LastRuns.h"
#include "inspect/RootedTree.h"
#include "inspect/ShownDate.h"
#include "inspect/ShownText.h"
#include "inspect/SilentFailures.h"
#include "inspect/SystemAdvice.h"
#include "net/Reachability.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "platform/ReachabilitySource.h"
#include "platform/Text.h"
#include "platform/TrustedPath.h"

namespace brim::inspect {
namespace {

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

std::string octal(mode_t mode) {
  std::ostringstream out;
  out << std::oct << (mode & 07777);
  return out.str();
}

// What a fresh installation lacks until the set-up's next step: said so, as
// the FAIL is then no fault.
constexpr std::string_view kNotConfiguredYet = "not configured yet: ";

// Every folder of the agent the tool reads from, runs from or writes into as root.
struct Folder {
  const char* name;
  const std::optional<std::string>& relative;
};
std::vector<Folder> agentFolders(const MacFolderSettings& folders) {
  return {{"config", folders.configDirectRelative()}, {"executable", folders.executableDirRelative()},
          {"temp", folders.tempDirRelative()},        {"data-post", folders.dataPostDirRelative()},
          {"data", folders.dataDirRelative()},        {"log", folders.logDirRelative()}};
}

// The settings file, checked and read; null when it cannot be read.
Plist checkSettingsFile(std::vector<Check>& checks, const RootedTree& tree) {
  const std::string path = GlobalPreferences::settingsFilePath();
  std::string unreadable;
  const std::optional<struct stat> st = tree.status(path, unreadable);
  Plist settings = st ? readDictionaryFile(tree, path, unreadable) : nullptr;
  if (!settings) {
    checks.push_back(failed("settings", unreadable, reinstallAdvice() + " (lays out a missing settings file)"));
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
  for (const Folder& f : agentFolders(folders)) {
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
    } else if (st->st_mode & S_IWOTH) {
      // Sticky or not: anyone may plant a name there that root then opens,
      // runs, rolls back or writes through.
      checks.push_back(failed(name, path + " mode " + octal(st->st_mode) + ": anyone may write in it",
                              "chmod 755 " + shellQuoted(path)));
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

// What the tool refuses: the settings or web-post file, brim_register, or any
// folder it reads configuration from, runs programs from or writes into, that
// anybody but root could change.
void checkTrustedPaths(std::vector<Check>& checks, const MacFolderSettings& folders, const RootedTree& tree) {
  const std::string& top = tree.top();
  checks.push_back(trustFinding("settings trust", GlobalPreferences::settingsFilePath(), top, true));
  checks.push_back(trustFinding("web posts trust", Paths::fixed(Paths::kWebPostsFile), top, true));
  const auto absolute = [&](const std::optional<std::string>& relative) -> std::optional<std::string> {
    const std::string named = folders.folder(relative);
    if (!relative || named.empty() || named.front() != '/') return std::nullopt;
    return rooted(named);
  };
  for (const Folder& f : agentFolders(folders)) {
    if (const auto path = absolute(f.relative)) {
      checks.push_back(trustFinding(std::string(f.name) + " folder trust", *path, top, true));
    }
  }
  if (const auto executables = absolute(folders.executableDirRelative())) {
    const std::string registrar = *executables + "/brim_register";
    std::string missing;
    if (!tree.status(registrar, missing)) {
      checks.push_back(warn("brim_register", missing + ": a machine whose registration id is 0 cannot register",
                            "reinstall the agent"));
    } else {
      checks.push_back(trustFinding("brim_register trust", registrar, top, true));
    }
  }
}

// The run lock as the next run meets it: a run waits up to 60 s for a file of
// root's there and then takes it over; anything else it can neither wait for
// nor take, and runs without the lock.
void checkRunLock(std::vector<Check>& checks, const MacFolderSettings& folders, const RootedTree& tree) {
  const std::string named = folders.folder(folders.executableDirRelative());
  if (!folders.executableDirRelative() || named.empty() || named.front() != '/') return;
  const std::string lock = rooted(named) + "/brim_asset.lock";
  std::string why;
  const std::optional<struct stat> st = tree.status(lock, why);
  if (!st) {
    checks.push_back(ok("run lock", "no run holds it"));
  } else if (S_ISDIR(st->st_mode)) {
    checks.push_back(failed("run lock", lock + " is a folder: no run can take the lock, so runs are not kept apart",
                            "rmdir " + shellQuoted(lock)));
  } else if (!tree.isPlainFile(lock, why)) {
    checks.push_back(failed("run lock", lock + " is not a plain file (" + why + "): no run can take the lock",
                            "rm " + shellQuoted(lock)));
  } else {
    checks.push_back(warn("run lock",
                          "held since " + shownDate(st->st_mtime) +
                              ": a run is going on, or one that was stopped left it (the next run waits 60 s)",
                          "when no brim_asset runs: rm " + shellQuoted(lock)));
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
      checks.push_back(failed(name, std::string(kNotConfiguredYet) + "missing from " + path, setWebPostAdvice(report)));
      continue;
    }
    const char* siteKey = toDR ? "disasterrecovery" : "primarysite";
    const std::optional<std::string>& stored = post.storedSite(siteKey);
    const std::optional<std::string>& site = toDR ? post.disasterRecovery() : post.primarySite();
    if (!stored || stored->empty()) {
      checks.push_back(failed(name, std::string(kNotConfiguredYet) + "no " + siteKey + ": the report is never posted",
                              setWebPostAdvice(report)));
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

}  // namespace

std::vector<Check> doctor() {
  std::vector<Check> checks;
  const RootedTree tree = installation();
  const Plist settings = checkSettingsFile(checks, tree);
  GlobalPreferences prefs;
  loadPreferences(prefs, settings.get());
  if (settings) {
    const int64_t regId = prefs.machineInfo().dcRegId();
    if (regId == 0) {
      checks.push_back(failed("registration id",
                              std::string(kNotConfiguredYet) + "0: every job stops after running brim_register",
                              "the first job registers the machine: " + runJobNowAdvice("macname")));
    } else {
      checks.push_back(ok("registration id", std::to_string(regId)));
    }
    checkFolders(checks, prefs.macFodler(), tree);
    checkTrustedPaths(checks, prefs.macFodler(), tree);
    checkRunLock(checks, prefs.macFodler(), tree);
  }
  std::set<std::string> hosts;
  checkWebPosts(checks, prefs, hosts, tree);
  for (const std::string& host : hosts) checkReachable(checks, "reach " + host, host, tree);
  if (const auto& proxyIP = prefs.proxySettings().proxyIP(); proxyIP && !proxyIP->empty()) {
    // A proxy address may carry a user and a password: neither is shown, and neither makes it an IPv4 address.
    const std::string shown = withoutAddressCredentials(*proxyIP);
    checkReachable(checks, "proxy " + shown, shown, tree);
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

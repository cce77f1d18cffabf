// Any bytes as the /proc, /sys, /etc and /var texts the Linux system_profiler
// (and the tool's reachability test) reads, through every data type's reader:
// each report is a well-formed XML property list (whatever bytes the texts
// hold), and the machine name is never empty and holds no "/".
//
// The input lays out a machine, one file after another:
//   ==> /proc/cpuinfo            a file, its content up to the next "\n==> "
//   ==> /sys/block/vda -> ../devices/...   a symbolic link
//   ==> !smartctl                what "smartctl -H" answers for every disk
// Paths with ".." and links that leave the machine are skipped, so that the
// readers only ever see the tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "Readers.h"
#include "SystemRoot.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "platform/ReachabilitySource.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarker = "==> ";
constexpr std::string_view kLinkArrow = " -> ";
constexpr std::string_view kSmartctl = "!smartctl";
// The recorded trees' clock: 2026-12-04 21:05:03 UTC.
constexpr time_t kReportTime = 1796418303;

// A machine path that names something inside the tree: absolute, no "..".
bool staysInside(const fs::path& path) {
  if (!path.is_absolute() || path == "/") return false;
  for (const fs::path& part : path)
    if (part == "..") return false;
  return true;
}

// A link's target, relative to the link's directory, that does not climb out of the tree.
bool linkStaysInside(const fs::path& link, const fs::path& target) {
  if (target.empty() || target.is_absolute()) return false;
  int depth = 0;
  for (const fs::path& part : link.parent_path().relative_path()) {
    if (!part.empty()) ++depth;
  }
  for (const fs::path& part : target) {
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (part != "." && !part.empty()) {
      ++depth;
    }
  }
  return true;
}

void place(const fs::path& tree, std::string_view header, std::string_view content,
           std::optional<std::string>& smartctl) {
  if (header == kSmartctl) {
    smartctl = std::string(content);
    return;
  }
  std::error_code ignored;
  const size_t arrow = header.find(kLinkArrow);
  const fs::path machinePath = fs::path(std::string(header.substr(0, arrow))).lexically_normal();
  if (!staysInside(machinePath) || machinePath.native().size() > 512) return;
  const fs::path hostPath = tree / machinePath.relative_path();
  fs::create_directories(hostPath.parent_path(), ignored);
  if (arrow != std::string_view::npos) {
    const fs::path target(std::string(header.substr(arrow + kLinkArrow.size())));
    if (linkStaysInside(machinePath, target)) fs::create_symlink(target, hostPath, ignored);
    return;
  }
  brim::fuzz::writeBytes(hostPath.string(), content);
}

// Lays the input out under tree; what "smartctl -H" answers, when the input says.
std::optional<std::string> layOut(const fs::path& tree, std::string_view input) {
  std::optional<std::string> smartctl;
  if (!input.starts_with(kMarker)) return smartctl;
  size_t pos = 0;
  while (pos < input.size()) {
    const size_t headerStart = pos + kMarker.size();
    const size_t headerEnd = std::min(input.find('\n', headerStart), input.size());
    const size_t contentStart = std::min(headerEnd + 1, input.size());
    size_t next = input.find("\n" + std::string(kMarker), headerEnd);
    const size_t contentEnd = next == std::string_view::npos ? input.size() : next + 1;
    place(tree, input.substr(headerStart, headerEnd - headerStart),
          input.substr(contentStart, contentEnd - std::min(contentStart, contentEnd)), smartctl);
    pos = next == std::string_view::npos ? input.size() : next + 1;
  }
  return smartctl;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::fuzz::useScratchInstallation();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path tree = fs::path(brim::fuzz::scratchRoot()) / "machine";
  std::error_code ignored;
  fs::remove_all(tree, ignored);
  fs::create_directories(tree, ignored);
  const std::optional<std::string> smartctl = layOut(tree, std::string_view(reinterpret_cast<const char*>(data), size));

  // The facts that do not live in files, fixed as for the recorded trees.
  profiler::SystemRoot root(tree.string());
  root.smartHealth = [&smartctl](const std::string&) { return smartctl; };
  root.fsSpace = [](const std::string&) -> std::optional<profiler::FsSpace> {
    return profiler::FsSpace{274877906944ull, 85305675776ull};
  };
  root.machineArch = [] { return std::optional<std::string>("x86_64"); };
  root.effectiveUser = [] { return static_cast<uid_t>(0); };
  root.now = [] { return kReportTime; };
  root.fileTime = [](const std::string&) -> std::optional<time_t> { return kReportTime; };

  for (const profiler::DataType& type : profiler::dataTypes()) {
    const std::string report = profiler::reportXml(type, root);
    if (!brim::fuzz::isWellFormedXml(report)) std::abort();
    const brim::Plist parsed = brim::parsePlist(report);
    if (!parsed || plist_get_node_type(parsed.get()) != PLIST_ARRAY) std::abort();
  }
  const std::string name = profiler::machineName(root);
  if (name.empty() || name.find('/') != std::string::npos) std::abort();
  profiler::networkText(root);

  // The tool's own reachability test reads the routing table of the same tree.
  brim::Paths::setSandboxRoot(tree.string());
  brim::ReachabilitySource::flagsForAddress(0x0a000001);
  brim::Paths::setSandboxRoot(brim::fuzz::scratchRoot());
  return 0;
}

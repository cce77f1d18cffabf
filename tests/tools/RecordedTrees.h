#pragma once
// The recorded machines the profiler readers are tested on, with the facts that
// do not live in files (SMART health, free space, clock, user) fixed per tree.
#include <string>

#include "SystemRoot.h"

namespace brim::test {

// Fixed clock of every recorded report: 2026-12-04 21:05:03 UTC.
inline constexpr time_t kReportTime = 1796418303;
// Every package list's modification time: 2024-03-01 12:00:00 UTC.
inline constexpr time_t kPackageTime = 1709294400;

inline std::string treePath(const std::string& tree) { return std::string(BRIM_TEST_FIXTURES) + "/linux/" + tree; }

// "vm": this build machine, a virtual machine with a virtio disk and no DMI.
// "laptop": the hand-written notebook of make-laptop-tree.py.
inline profiler::SystemRoot recordedRoot(const std::string& tree, const std::string& path = "") {
  profiler::SystemRoot root(path.empty() ? treePath(tree) : path);
  const bool laptop = tree == "laptop";
  root.smartHealth = [laptop](const std::string& device) -> std::optional<std::string> {
    // smartctl cannot read a virtio disk; the laptop's SSD reports healthy.
    if (!laptop || device != "/dev/sda") return std::nullopt;
    return std::string(
        "smartctl 7.4 2023-08-01 r5530\n=== START OF READ SMART DATA SECTION ===\n"
        "SMART overall-health self-assessment test result: PASSED\n");
  };
  root.fsSpace = [laptop](const std::string& mountPoint) -> std::optional<profiler::FsSpace> {
    if (mountPoint != "/") return std::nullopt;
    return laptop ? profiler::FsSpace{499569917952ull, 120500000000ull} : profiler::FsSpace{274877906944ull, 85305675776ull};
  };
  root.machineArch = [] { return std::optional<std::string>("x86_64"); };
  root.effectiveUser = [laptop] { return static_cast<uid_t>(laptop ? 1000 : 0); };
  root.now = [] { return kReportTime; };
  root.fileTime = [](const std::string&) -> std::optional<time_t> { return kPackageTime; };
  return root;
}

}  // namespace brim::test

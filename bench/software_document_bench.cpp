// The applications category of the software document, built from a profiler
// report of 5 000 applications (the recorded Mac's list repeated), through the
// real command line with a replaying system_profiler first on PATH: written
// into the document's text as the "-software" run does, and as a subtree.
// Reports the time per build and the peak resident memory while building
// (the peak is reset once the report has been made).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "inventory/InventoryCategories.h"
#include "inventory/collectData.h"
#include "platform/Plist.h"

namespace {

constexpr int kApplications = 5000;

// A temporary directory with bin/system_profiler answering the large report.
class LargeReport {
 public:
  LargeReport() {
    char pattern[] = "/tmp/brim_bench_XXXXXX";
    root_ = ::mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/bin");
    std::filesystem::create_directories(root_ + "/temp");
    writeReport(root_ + "/SPApplicationsDataType.xml");
    std::ofstream(root_ + "/bin/system_profiler") << "#!/bin/sh\ncat '" << root_ << "/SPApplicationsDataType.xml'\n";
    std::filesystem::permissions(root_ + "/bin/system_profiler", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    ::setenv("PATH", (root_ + "/bin:" + (path ? path : "")).c_str(), 1);
  }
  ~LargeReport() { std::filesystem::remove_all(root_); }
  std::string dataDir() const { return root_ + "/temp"; }

 private:
  static void writeReport(const std::string& path) {
    brim::Plist report = brim::readPlistFile(std::string(BRIM_TEST_DATA) + "/mac-a/SPApplicationsDataType.xml");
    plist_t first = plist_array_get_item(report.get(), 0);
    plist_t recorded = plist_dict_get_item(first, "_items");
    const uint32_t count = plist_array_get_size(recorded);
    plist_t items = plist_new_array();
    for (int i = 0; i < kApplications; ++i) {
      plist_array_append_item(items, plist_copy(plist_array_get_item(recorded, static_cast<uint32_t>(i) % count)));
    }
    plist_dict_set_item(first, "_items", items);
    std::ofstream(path) << brim::plistToXml(report.get());
  }
  std::string root_;
};

// VmHWM of this process, in KiB.
long peakResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// What making the report took is handed back and forgotten by the peak.
void resetPeak() {
  ::malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

template <class Build>
void buildApplications(benchmark::State& state, Build build) {
  static LargeReport report;
  resetPeak();
  std::size_t documentBytes = 0;
  for (auto _ : state) {
    brim::collectData collector;
    collector.dataDir = report.dataDir();
    const std::string document = build(collector);
    documentBytes = document.size();
    benchmark::DoNotOptimize(document.data());
  }
  state.counters["applications"] = kApplications;
  state.counters["document_bytes"] = static_cast<double>(documentBytes);
  state.counters["peak_rss_KiB"] = static_cast<double>(peakResidentKiB());
}

void BM_ApplicationsIntoDocument(benchmark::State& state) {
  buildApplications(state, [](brim::collectData& collector) {
    std::string text;
    collector.appendCategory(*brim::categoryNamed("applicationinfo"), text);
    return text;
  });
}
BENCHMARK(BM_ApplicationsIntoDocument)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ApplicationsSubtree(benchmark::State& state) {
  buildApplications(state, [](brim::collectData& collector) { return collector.collect(*brim::categoryNamed("applicationinfo")).XMLString(); });
}
BENCHMARK(BM_ApplicationsSubtree)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

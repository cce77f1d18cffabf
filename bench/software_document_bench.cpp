// The applications category of the software document, built from a profiler
// report of 5 000 applications (the recorded Mac's list repeated), through the
// real command line with a replaying system_profiler first on PATH. Reports
// the time per build and the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
    brim::Plist report =
        brim::readPlistFile(std::string(BRIM_TEST_FIXTURES) + "/macos/mac-a/SPApplicationsDataType.xml");
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

long peakResidentKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_SoftwareApplicationsCategory(benchmark::State& state) {
  static LargeReport report;
  std::size_t documentBytes = 0;
  for (auto _ : state) {
    brim::collectData collector;
    collector.dataDir = report.dataDir();
    const std::string document = collector.getApplicationInfo().XMLString();
    documentBytes = document.size();
    benchmark::DoNotOptimize(document.data());
  }
  state.counters["applications"] = kApplications;
  state.counters["document_bytes"] = static_cast<double>(documentBytes);
  state.counters["peak_rss_KiB"] = static_cast<double>(peakResidentKiB());
}
BENCHMARK(BM_SoftwareApplicationsCategory)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

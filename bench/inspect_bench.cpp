// brim_inspect on a software document of 5 000 applications: checking it
// against the wire format, and decoding it from the heaviest body form
// (compressed, then encrypted without the root tag). Reports the time per
// call and the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "config/SectionFields.h"
#include "envelope/CompressChilkat.h"
#include "envelope/EncryptionAES.h"
#include "envelope/ReportEnvelope.h"
#include "envelope/XMLTree.h"
#include "inspect/BodyDecoder.h"
#include "inspect/WireFormat.h"
#include "platform/CustomLogger.h"
#include "reports/ConsolidatedAssets.h"

namespace {

constexpr int kApplications = 5000;

std::string softwareDocument() {
  brim::XMLTree document("wpmacasstinfo");
  document.addChildNodeToCurrentNodeWithName("type", std::string("software"));
  document.addChildNodeToCurrentNodeWithName("regid", std::string("4711"));
  document.addChildNodeToCurrentNodeWithName("scandttime", std::string("12/06/2026 05:18:44"));
  for (const char* category : {"systeminfo", "applicationinfo", "usbinfo"}) {
    brim::XMLTree fn("fn");
    fn.addChildNodeToCurrentNodeWithName("fnname", std::string(category));
    for (int i = 0; category == std::string("applicationinfo") && i < kApplications; ++i) {
      const std::string id = std::to_string(i);
      fn.addChildNodeToCurrentNodeWithName("dtl", std::nullopt, "ID", id);
      fn.jumpToChildWithAttributeName("ID", id);
      for (const char* tag :
           {"appname", "appver", "lastmodified", "kind", "intel64bit", "getinfostring", "appstore", "location"}) {
        fn.addChildNodeWithCDATAToCurrentNodeWithName(tag, "Application " + id + " " + tag);
      }
      fn.jumpToParent();
    }
    document.addChildTree(fn);
  }
  return document.XMLString();
}

// The modules' log lines would only flood the output and the fallback log.
const bool kQuiet = [] {
  brim::CustomLogger::setSink([](const std::string&) {});
  return true;
}();

long peakResidentKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_CheckSoftwareDocument(benchmark::State& state) {
  static const std::string document = softwareDocument();
  for (auto _ : state) benchmark::DoNotOptimize(brim::inspect::checkDocument(document));
  state.counters["document_bytes"] = static_cast<double>(document.size());
  state.counters["peak_rss_KiB"] = static_cast<double>(peakResidentKiB());
}
BENCHMARK(BM_CheckSoftwareDocument)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DecodeCompressedEncryptedBody(benchmark::State& state) {
  static const std::string body = [] {
    const std::string compressed = brim::CompressChilkat().compressChilkat(softwareDocument()).value_or("");
    const std::string inner = brim::xmlStringWithoutRootNodeWithName("wpmacasstinfo", compressed).value_or("");
    return "<wpmacasstinfo>" + brim::EncryptionAES().encryptChilkat(inner, brim::sharedPassPhrase()) +
           "</wpmacasstinfo>";
  }();
  std::string why;
  for (auto _ : state) benchmark::DoNotOptimize(brim::inspect::decodeBody(body, brim::sharedPassPhrase(), why));
  state.counters["body_bytes"] = static_cast<double>(body.size());
  state.counters["peak_rss_KiB"] = static_cast<double>(peakResidentKiB());
}
BENCHMARK(BM_DecodeCompressedEncryptedBody)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

// Any bytes as the output of the two ps listings, through one sample into the
// store and the top-process report over it: the report is well-formed XML
// with as many processes from each ranking (at most twenty), each named by a
// file name, and the store is gone afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "procmon/CollectProcessesData.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::fuzz::useScratchInstallation();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  brim::fuzz::setCommandOutput(std::string_view(reinterpret_cast<const char*>(data), size));

  brim::CollectProcessesData sampler;
  sampler.CollectTopCpunMemProcs();
  sampler.RetTopCpunMemPrsfrDB();
  const brim::XMLTree report = sampler.CreateProcXMLTree();
  sampler.deleteProcDBTable("autodelete_procsdata.sql");

  if (!brim::fuzz::isWellFormedXml(report.XMLString())) std::abort();
  size_t processes = 0;
  for (pugi::xml_node process : report.rootElement().children("prs")) {
    ++processes;
    if (std::strchr(process.attribute("name").value(), '/')) std::abort();
  }
  if (processes > 40 || processes % 2 != 0) std::abort();
  if (brim::FileSystem::exists(brim::CollectProcessesData::databasePath())) std::abort();
  return 0;
}

// Any bytes as system_profiler's report, through every category's walk and
// the description form of what they parse to: each category document is
// well-formed XML, and bytes that are not a property-list array make an
// empty category. The machine name reported is saved and reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "config/GlobalPreferences.h"
#include "config/MachineInfoSettings.h"
#include "inventory/InventoryCategories.h"
#include "inventory/collectData.h"
#include "platform/Description.h"
#include "platform/Plist.h"

namespace {

// Nothing but "fnname" (the locations list has not even that).
bool isEmptyCategory(const brim::XMLTree& tree) {
  for (pugi::xml_node child : tree.rootElement().children()) {
    if (std::string_view(child.name()) != "fnname") return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::fuzz::useScratchInstallation();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view report(reinterpret_cast<const char*>(data), size);
  brim::fuzz::setCommandOutput(report);

  const brim::Plist parsed = brim::parsePlist(report);
  const bool isArray = parsed && plist_get_node_type(parsed.get()) == PLIST_ARRAY;
  if (parsed) brim::describe(parsed.get());

  brim::collectData collector;
  for (const brim::CategoryView& category : brim::inventoryCategories()) {
    const brim::XMLTree tree = collector.collect(category);
    const std::string text = tree.XMLString();
    if (!brim::fuzz::isWellFormedXml(text)) std::abort();
    if (!isArray && !isEmptyCategory(tree)) std::abort();
  }
  collector.getDiskDetails();

  // A machine name the profiler reports is saved into the settings file, and
  // the agent's other components read it back from there.
  const brim::SystemInfo details = collector.getMacDetailsData();
  if (details.compName && details.compName->find('\0') == std::string::npos) {
    brim::GlobalPreferences saved;
    brim::GlobalPreferences::setStaticInstance(saved);
    if (saved.machineInfo().machineName() != details.compName) std::abort();
  }
  return 0;
}

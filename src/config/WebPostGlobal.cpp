#include "config/WebPostGlobal.h"

#include "platform/CustomLogger.h"
#include "platform/Paths.h"

namespace brim {

std::unique_ptr<WebPostSetting> WebPostGlobal::getWebPostSettingForName(const std::string& name) {
  constexpr Sig sig = Sig::classLevel("WebPostGlobal", "getWebPostSettingForName:");
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  const Plist webPosts = readPlistFile(path);
  if (!webPosts) {
    logAt(sig, "cannot read web-post file " + path);
    return nullptr;
  }
  plist_t entry = plistDictItem(webPosts.get(), name);
  if (!entry || plist_get_node_type(entry) != PLIST_DICT) {
    logAt(sig, "no web post named " + name + " in " + path);
    return nullptr;
  }
  auto setting = std::make_unique<WebPostSetting>();
  setting->initWithDictionary(entry);
  return setting;
}

}  // namespace brim

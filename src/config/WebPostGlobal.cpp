#include "config/WebPostGlobal.h"

#include "platform/CustomLogger.h"
#include "platform/Paths.h"

namespace brim {

std::unique_ptr<WebPostSetting> WebPostGlobal::getWebPostSettingForName(const std::string& name) {
  constexpr Sig sig = Sig::classLevel("WebPostGlobal", "getWebPostSettingForName:");
  const std::string path = Paths::fixed(Paths::kWebPostsFile);
  std::string refused;
  const Plist webPosts = readTrustedPlistFile(path, refused);
  if (!webPosts) {
    logAt(sig,
          refused.empty() ? "cannot read web-post file " + path : "web-post file " + path + " not read: " + refused);
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

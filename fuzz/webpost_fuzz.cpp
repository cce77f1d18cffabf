// Any bytes as the web-post file, through the lookup of a report's web post
// and its query string: the query is empty or starts with "?", and carries
// "ec=256" exactly when the web post asks for encryption.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "config/WebPostGlobal.h"
#include "config/WebPostSetting.h"
#include "platform/Paths.h"
#include "platform/Plist.h"
#include "platform/Text.h"

namespace {

bool hasText(const std::optional<std::string>& value) { return value && !value->empty(); }

void lookUp(const std::string& name) {
  const std::unique_ptr<brim::WebPostSetting> setting = brim::WebPostGlobal::getWebPostSettingForName(name);
  if (!setting) return;
  for (const auto* site : {&setting->primarySite(), &setting->secondarySite(), &setting->disasterRecovery()}) {
    if (*site && !brim::isValidUtf8(**site)) std::abort();
  }
  const std::string query = setting->GETDataURLSubString();
  bool namesNothing = !setting->encryption();
  for (const char* parameter : {"memberid", "siteid", "regid", "agenttype", "other"}) {
    if (hasText(setting->fields().find(std::string("getdata/") + parameter)->text)) namesNothing = false;
  }
  if (query.empty() != namesNothing) std::abort();
  if (!query.empty() && query.front() != '?') std::abort();
  if (setting->encryption() && query.find("ec=256") == std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::fuzz::useScratchInstallation();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const brim::Plist parsed = brim::parsePlist(bytes);
  if (!brim::fuzz::writeBytes(brim::Paths::fixed(brim::Paths::kWebPostsFile), bytes)) std::abort();

  // The two reports' web posts, and whatever name the file's first entry has.
  std::vector<std::string> names = {"wpmacsmartsts", "wpmacupdsysdtl"};
  if (parsed && plist_get_node_type(parsed.get()) == PLIST_DICT && plist_dict_get_size(parsed.get()) > 0) {
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(parsed.get(), &iter);
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(parsed.get(), iter, &key, &value);
    if (key) names.emplace_back(key);
    free(key);
    free(iter);
  }
  for (const std::string& name : names) lookUp(name);
  return 0;
}

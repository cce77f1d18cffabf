#pragma once
// Points a report at a server: writes one web post of the web-post file, its
// site encrypted with the compiled-in pass phrase as the tool reads it.
#include <optional>
#include <string>

#include "inspect/RootedTree.h"

namespace brim::inspect {

struct WebPostChange {
  std::string name;  // the web post a report is posted to (the report's root element)
  std::string site;  // http(s) address, stored as "primarysite"
  std::optional<bool> compression;
  std::optional<bool> encryption;
};

// Adds the web post or updates its site and the flags given; every other entry
// and key, and the file's owner and group, stay; the file is readable by its
// owner alone (its site and the proxy's secrets decrypt with the compiled-in
// phrase). The file and its folder are reached inside tree through no link,
// the old file read only when it is a regular file, and the new one written
// beside it and renamed over it by the folder's descriptor. A new web post asks
// for no compression or encryption unless told, and names its registration-id
// parameter "regid". False, with why set, when nothing was written.
bool writeWebPost(const RootedTree& tree, const WebPostChange& change, std::string& why);

}  // namespace brim::inspect

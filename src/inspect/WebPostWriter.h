#pragma once
// Points a report at a server: writes one web post of the web-post file, its
// site encrypted with the compiled-in pass phrase as the tool reads it.
#include <optional>
#include <string>

namespace brim::inspect {

struct WebPostChange {
  std::string name;  // the web post a report is posted to (the report's root element)
  std::string site;  // http(s) address, stored as "primarysite"
  std::optional<bool> compression;
  std::optional<bool> encryption;
};

// Adds the web post or updates its site and the flags given; every other entry
// and key, and the file's owner, group and mode, stay. A new web post asks for
// no compression or encryption unless told, and names its registration-id
// parameter "regid". False, with error set, when nothing was written.
bool writeWebPost(const WebPostChange& change, std::string& error);

}  // namespace brim::inspect

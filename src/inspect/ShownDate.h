#pragma once
// One form for every date brim_inspect prints itself, whatever form the file
// it read the date from uses: sortable, unambiguous across locales, and with
// the offset that says which local time it is.
#include <ctime>
#include <string>

namespace brim::inspect {

// "2026-12-07 02:36:45 +00:00": ISO 8601 in this machine's local time.
std::string shownDate(std::time_t when);

}  // namespace brim::inspect

#include "inspect/ShownDate.h"

#include <cstdio>
#include <cstdlib>

namespace brim::inspect {

std::string shownDate(std::time_t when) {
  std::tm parts{};
  if (::localtime_r(&when, &parts) == nullptr) return "(a date out of range)";
  char text[40];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S ", &parts) == 0) return "(a date out of range)";
  // strftime's %z has no colon ("+0100"); the offset is formed here, from
  // the seconds east of UTC, so that every C library gives the same text.
  const long east = parts.tm_gmtoff;
  const long minutes = std::labs(east) / 60;
  char offset[40];
  std::snprintf(offset, sizeof offset, "%c%02ld:%02ld", east < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return std::string(text) + offset;
}

}  // namespace brim::inspect

#pragma once
// What an inventory record holds for one field: the value's text as the
// documents write it, or nothing when the profiler did not report it (the
// element then holds "(null)").
#include <optional>
#include <string>

namespace brim {

using RecordValue = std::optional<std::string>;

}  // namespace brim

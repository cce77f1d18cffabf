// system_profiler for Linux: answers the data types the inventory reads, in the
// form the macOS tool writes them, from this machine's /proc, /sys and /etc.
//   system_profiler <DataType>... [-xml]
//   system_profiler -listDataTypes
#include <cstdio>
#include <string>
#include <vector>

#include "Readers.h"

int main(int argc, char** argv) {
  bool xml = false, list = false;
  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-xml")
      xml = true;
    else if (arg == "-listDataTypes")
      list = true;
    else if (arg == "-detailLevel" && i + 1 < argc)
      ++i;  // every level gets the same facts
    else
      names.push_back(arg);
  }
  if (list) {
    std::printf("Available Datatypes:\n");
    for (const auto& type : profiler::dataTypes()) std::printf("%s\n", type.name);
    return 0;
  }
  const profiler::SystemRoot root("/");
  int status = 0;
  for (const auto& name : names) {
    const auto* type = profiler::findDataType(name);
    if (!type) {
      // The real tool ignores types it does not know; say so on the error stream.
      std::fprintf(stderr, "system_profiler: unknown data type %s\n", name.c_str());
      continue;
    }
    if (xml) {
      const std::string text = profiler::reportXml(*type, root);
      std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (name == "SPNetworkDataType") {
      const std::string text = profiler::networkText(root);
      std::fwrite(text.data(), 1, text.size(), stdout);
    } else {
      std::fprintf(stderr, "system_profiler: %s is answered with -xml only\n", name.c_str());
      status = 1;
    }
  }
  // A report cut short (a full disk) must not pass for a whole one.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "system_profiler: cannot write the report\n");
    return 1;
  }
  return status;
}

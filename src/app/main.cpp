// brim_asset: the shipped tool. Reads no environment variable.
#include <string>
#include <vector>

#include "app/EntryPoint.h"

int main(int argc, const char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return brim::EntryPoint(brim::EntryPoint::platformHooks()).run(args);
}

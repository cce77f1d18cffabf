#include "platform/Paths.h"

namespace brim {
namespace {
std::string& root() {
  static std::string value;
  return value;
}
}  // namespace

std::string Paths::fixed(std::string_view absolutePath) { return root() + std::string(absolutePath); }

void Paths::setSandboxRoot(std::string newRoot) {
  while (newRoot.size() > 1 && newRoot.back() == '/') newRoot.pop_back();
  root() = std::move(newRoot);
}

const std::string& Paths::sandboxRoot() { return root(); }

}  // namespace brim

// Any bytes as a copied installation that brim_inspect's settings, webposts
// and doctor read under --root. Nothing may crash or hang; nothing outside the
// copy is read (a file beside it, which links in the copy may name, never
// shows); the text shown holds no control character but the line feed, and
// all of it, the JSON too, is UTF-8.
//
// The input lays out the copy, one entry after another:
//   ==> /opt/local/share/brimvault_mac/config/settings.plist   a file, its content up to the next "\n==> "
//   ==> /opt/local/share/brimvault_mac/config/webposts.plist -> @OUTSIDE@   a symbolic link, to anywhere
//   ==> /opt/local/share/brimvault_mac/log/brim_asset.log |fifo    a FIFO
//   ==> /opt/local/share/brimvault_mac/config/settings.plist |sparse   a sparse file of 100 GB
// "@OUTSIDE@" in a link's target stands for the file beside the copy.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "inspect/Installation.h"
#include "inspect/ShownText.h"
#include "platform/CustomLogger.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarker = "==> ";
constexpr std::string_view kLinkArrow = " -> ";
constexpr std::string_view kOutsideMark = "@OUTSIDE@";
// What the file beside the copy holds: a settings file and a web post whose every value is this word.
constexpr std::string_view kOutsideWord = "OUTSIDE90210";
constexpr std::string_view kInsideWord = "INSIDE_90210";

fs::path tree() { return fs::path(brim::fuzz::scratchRoot()) / "copy"; }
fs::path outside() { return fs::path(brim::fuzz::scratchRoot()) / "beside.plist"; }

void place(std::string_view header, std::string_view content) {
  std::error_code ignored;
  const size_t arrow = header.find(kLinkArrow);
  std::string name(header.substr(0, arrow));
  const bool fifo = name.ends_with(" |fifo"), sparse = name.ends_with(" |sparse");
  if (fifo || sparse) name.erase(name.rfind(" |"));
  const fs::path machinePath = fs::path(name).lexically_normal();
  if (!machinePath.is_absolute() || machinePath == "/" || name.size() > 512) return;
  for (const fs::path& part : machinePath) {
    if (part == "..") return;
  }
  const fs::path hostPath = tree() / machinePath.relative_path();
  fs::create_directories(hostPath.parent_path(), ignored);
  fs::remove(hostPath, ignored);
  if (arrow != std::string_view::npos) {
    std::string target(header.substr(arrow + kLinkArrow.size()));
    if (const size_t at = target.find(kOutsideMark); at != std::string::npos) {
      target.replace(at, kOutsideMark.size(), outside().string());
    }
    fs::create_symlink(target, hostPath, ignored);
  } else if (fifo) {
    ::mkfifo(hostPath.c_str(), 0644);
  } else if (sparse) {
    brim::fuzz::writeBytes(hostPath.string(), "");
    if (::truncate(hostPath.c_str(), 100LL << 30) != 0) return;
  } else {
    brim::fuzz::writeBytes(hostPath.string(), content);
  }
}

void layOut(std::string_view input) {
  if (!input.starts_with(kMarker)) return;
  size_t pos = 0;
  while (pos < input.size()) {
    const size_t headerStart = pos + kMarker.size();
    const size_t headerEnd = std::min(input.find('\n', headerStart), input.size());
    const size_t contentStart = std::min(headerEnd + 1, input.size());
    const size_t next = input.find("\n" + std::string(kMarker), headerEnd);
    const size_t contentEnd = next == std::string_view::npos ? input.size() : next + 1;
    place(input.substr(headerStart, headerEnd - headerStart),
          input.substr(contentStart, contentEnd - std::min(contentStart, contentEnd)));
    pos = next == std::string_view::npos ? input.size() : next + 1;
  }
}

void expectShown(const std::string& text) {
  if (text.find(kOutsideWord) != std::string::npos) std::abort();
  if (!brim::isValidUtf8(text)) std::abort();
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\n') || c == 0x7f) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  brim::fuzz::useScratchInstallation();
  const std::string word(kOutsideWord);
  brim::fuzz::writeBytes(outside().string(),
                         "<plist version=\"1.0\"><dict><key>machineinfo</key><dict><key>dcregid</key><string>" + word +
                             "</string></dict><key>wpmacsmartsts</key><dict><key>primarysite</key><string>" + word +
                             "</string></dict><key>" + word + "</key><string>" + word + "</string></dict></plist>\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::error_code ignored;
  fs::remove_all(tree(), ignored);
  fs::create_directories(tree(), ignored);
  // The word marks what lies outside the copy. The fuzzer learns it from the
  // oracle's own comparison and writes it into the copy, where it would be
  // taken for a read outside: inside the copy it becomes another word.
  std::string input(reinterpret_cast<const char*>(data), size);
  for (size_t at = input.find(kOutsideWord); at != std::string::npos; at = input.find(kOutsideWord, at)) {
    input.replace(at, kOutsideWord.size(), kInsideWord);
  }
  layOut(input);

  // As brim_inspect runs: the modules' log goes nowhere, the copy is the sandbox root.
  brim::CustomLogger::setSink([](const std::string&) {});
  brim::Paths::setSandboxRoot(tree().string());
  for (bool decrypt : {false, true}) {
    std::ostringstream settings, webPosts;
    std::string error;
    // An error is shown as brim_inspect shows it.
    if (!brim::inspect::printSettings(settings, decrypt, error)) settings << brim::inspect::forTerminal(error);
    if (!brim::inspect::printWebPosts(webPosts, decrypt, error)) webPosts << brim::inspect::forTerminal(error);
    expectShown(settings.str());
    expectShown(webPosts.str());
  }
  const std::vector<brim::inspect::Check> checks = brim::inspect::doctor();
  expectShown(brim::inspect::doctorText(checks));
  expectShown(brim::inspect::doctorJson(checks));
  brim::Paths::setSandboxRoot(brim::fuzz::scratchRoot());
  brim::CustomLogger::setSink(nullptr);
  return 0;
}

#pragma once
// Direct system calls for the commands the tool runs only for their effect on
// the file system ("touch", "rm -f", "mkdir -p", "rm -r" of its own paths).
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brim {

class FileSystem {
 public:
  static bool exists(const std::string& path);
  static void touch(const std::string& path);           // touch
  static void removeFile(const std::string& path);      // rm -f
  static bool makeDirectories(const std::string& path); // mkdir -p
  static bool makeDirectory(const std::string& path);   // mkdir
  static void removeTree(const std::string& path);      // rm -r
  // Writes text to path through a temporary file in the same directory.
  static bool writeFileAtomically(const std::string& path, const std::string& text);
  // Appends text with one write, so that lines appended by several processes
  // at once stay whole; creates the file when it is missing.
  static bool appendToFile(const std::string& path, const std::string& text);
  // The same for a text in pieces, appended with one write without being joined first.
  static bool appendToFile(const std::string& path, std::span<const std::string_view> pieces);
  // The whole content of a file; absent when it cannot be read.
  static std::optional<std::string> readFile(const std::string& path);
};

}  // namespace brim

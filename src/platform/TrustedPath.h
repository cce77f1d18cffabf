#pragma once
// The rule root applies before it runs a program, reads a configuration file
// or writes into a folder that a path names: the thing and every folder from
// the top of the file system down to it belong to root, none of them is a
// symbolic link, and nobody else may write to any of them. A sticky folder
// shared by everybody (/tmp) does not count as trusted: anybody may create
// names in it.
#include <optional>
#include <string>
#include <string_view>

namespace brim {

class TrustedPath {
 public:
  // Absent when path passes the rule, checked from top (itself included)
  // down to path; otherwise what is wrong and what to fix, for the log.
  // path must be absolute, lie under top and hold no "." or ".." component.
  static std::optional<std::string> whyUntrusted(std::string_view path, std::string_view top = "/");

  // Absent when path is absolute, holds no NUL (the system would act on the
  // shorter path before it) and no "." or ".." component (what it reaches is
  // not what its components name); otherwise why, for the log.
  static std::optional<std::string> whyNotPlain(std::string_view path);

  // The tool's own check of a path it was given: from the sandbox root when
  // the path lies under it (the sandbox root stands for "/"), else from "/".
  static std::optional<std::string> whyUntrustedForRoot(std::string_view path);
};

}  // namespace brim

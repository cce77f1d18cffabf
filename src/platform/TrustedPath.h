#pragma once
// The rule root applies before it runs a program, reads a configuration file
// or writes into a folder that a path names: the thing and every folder from
// the top of the file system down to it belong to root, none of them is a
// symbolic link, and nobody else may write to any of them. A sticky folder
// shared by everybody (/tmp) does not count as trusted: anybody may create
// names in it. Nor does a thing whose access control list lets another user
// change it.
#include <optional>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

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

// A folder that passed the rule, held open. Whatever is made, written, linked,
// renamed or removed in it goes through its descriptor, so the folder checked
// is the folder used even when something swaps its path for a link meanwhile.
class TrustedFolder {
 public:
  // Walks path one folder at a time by descriptor, from the top whyUntrustedForRoot
  // starts at, checking each as the rule says; nothing is looked up by path
  // twice. With make, a missing folder is made (root's, 0755) and checked as well.
  // Absent, with why set for the log, when a folder fails or cannot be reached.
  static std::optional<TrustedFolder> open(std::string_view path, std::string& why, bool make = false);
  // The folder name inside this one, entered and checked the same way; name
  // is one component.
  std::optional<TrustedFolder> enter(std::string_view name, std::string& why, bool make = false) const;

  int fd() const { return fd_.get(); }
  const std::string& path() const { return path_; }

 private:
  TrustedFolder(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  UniqueFd fd_;
  std::string path_;
};

}  // namespace brim

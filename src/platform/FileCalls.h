#pragma once
// The steps every writer of the tool's files takes alike (FileSystem,
// PendingFile, FileReplacement), and the one way they say what went wrong:
// the path and the system's reason, in the why their caller passed.
#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/UniqueFd.h"

namespace brim::files {

// Both set why to what happened to which path and give false, so that a
// failing step ends its caller with one return.
bool fail(std::string& why, std::string_view what, const std::string& path, int error);
bool refuse(std::string& why, const std::string& path,
            std::string_view reason = "not a regular file owned by this user");

// The only kind of file the tool writes into once it exists.
bool isOwnRegular(const struct stat& st);
// The whole text, through short writes and interruptions; false with errno set.
bool writeAll(int fd, const std::string& text);
// Another descriptor of the same folder: what it reads or holds open is its own.
UniqueFd duplicate(int fd);
// Ten letters and digits for a name nobody can guess.
std::string randomSuffix();
// Flushes a file's data, or a folder's entries, as far as the system can
// make sure they survive a power loss (one source per system).
bool flushToDisk(int fd);

}  // namespace brim::files

#pragma once
// The run's own folder for its temporary files,
// "<agent temporary folder>/autodelete_run.XXXXXX": made on first use and
// open to root only, so that nobody else can plant a link where the run's
// commands write, and runs at the same time never share a temporary file.
// Callers join their file names to path() as to any folder.
#include <string>

#include "platform/TrustedPath.h"

namespace brim {

class RunFolder {
 public:
  // The folder of this run. When it cannot be made, a path under which
  // nothing can exist: the commands that write there then fail.
  static std::string path();
  // The same folder held open, for writes by descriptor; null when it cannot
  // be made (logged). Valid until the next call.
  static const TrustedFolder* folder();
  // End of run: the folder goes with everything in it.
  static void remove();
  // What killed runs left more than an hour ago: their folders, and the
  // hidden files of unfinished data-post and settings writes.
  static void removeStale();
};

}  // namespace brim

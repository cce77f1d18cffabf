#pragma once
// The two shell pipelines that take one process sample: the twenty processes
// with the highest processor share, then the twenty with the highest memory
// share, each without the heading line of `ps`. The sort options of `ps`
// differ between macOS and Linux: each system's source gives its pipelines.
#include <string>
#include <string_view>

namespace brim {

class ProcessSampleCommands {
 public:
  // Writes the processor ranking to "<dir>/CPUProcInfo" (replacing it).
  static std::string byProcessorShare(const std::string& dir);
  // Appends the memory ranking to "<dir>/CPUProcInfo".
  static std::string byMemoryShare(const std::string& dir);

 private:
  // The pipelines up to their redirection, which the sample file completes.
  static const std::string_view kByProcessor;
  static const std::string_view kByMemory;
};

}  // namespace brim

#pragma once
// The doctor's checks for what goes wrong without an error anywhere a job's
// exit status shows: a command missing from the jobs' PATH, reports that
// carry nothing, files the uploader never takes, a log written elsewhere,
// and which pass phrase this build carries.
#include <string>
#include <vector>

#include "inspect/Installation.h"

namespace brim::inspect {

// The first 16 hexadecimal digits of the compiled-in pass phrase's SHA-256:
// enough for support to match builds, nothing to recover the phrase from.
std::string passPhraseFingerprint();

void checkJobCommands(std::vector<Check>& checks);
// The last process report and the last SMART status the log holds.
void checkLastReportContents(std::vector<Check>& checks);
void checkDataPostBacklog(std::vector<Check>& checks, const std::string& dataPostDir);
void checkLogFallback(std::vector<Check>& checks);
void checkPassPhrase(std::vector<Check>& checks);

}  // namespace brim::inspect

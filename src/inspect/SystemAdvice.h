#pragma once
// The doctor's advice in the commands of the system it runs on: how that
// system schedules the jobs, where their commands come from and how the
// agent's own files are put back. Each system has its own source file.
#include <string>
#include <string_view>

namespace brim::inspect {

// The command search path the jobs run with, where the doctor looks for
// the commands they need.
std::string_view jobCommandPath();
// Starts the scheduled job of that name ("inventory", "software",
// "proccollect", "procsave", "macname", "smartstatus").
std::string startJobAdvice(std::string_view job);
// Runs that job once now, and waits for it where the system can.
std::string runJobNowAdvice(std::string_view job);
// Lays out the agent's installed files again.
std::string reinstallAdvice();
// Puts back a command the jobs run ("system_profiler", "ps", "smartctl").
std::string missingCommandAdvice(std::string_view command);

}  // namespace brim::inspect

#pragma once

#include "payload-check/PayloadRun.h"
#include "payload-check/Reason.h"

#include <string_view>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// Why a run failed, read from what its transcript and its run show.

// The run's own faults, whatever it reported (runFault()'s, as reasons).
std::vector<Reason> faultReasons(const RunReport& run);
// Why a run that had to succeed did not; empty when it succeeded.
std::vector<Reason> successReasons(const RunReport& run);
// Why a run that had to fail did not fail as it should: it succeeded, gave
// another code than `code` (when one is needed), broke the protocol or died
// of a signal. Empty when it failed cleanly.
std::vector<Reason> failureReasons(const RunReport& run, std::string_view code = {});
// What passes but the author should know: an error event and then exit
// status 0, a completion after an error.
std::vector<Reason> warningReasons(const RunReport& run);

// A line broke the protocol, other than a completion after an error (a
// warning of its own).
bool malformedBeyondLateCompletion(const RunReport& run);

// Adds each reason unless it is there already.
void addReasons(std::vector<Reason>& reasons, const std::vector<Reason>& more);

// "; "-joined meanings, for a detail text.
std::string meanings(const std::vector<Reason>& reasons);

} // namespace ZunoInstaller::PayloadCheck

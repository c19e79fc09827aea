#pragma once

#include "payload-check/CheckOptions.h"
#include "payload-check/PayloadRun.h"
#include "payload-check/ScenarioContext.h"

#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// The report as one JSON document (docs/payload-protocol.md describes it).
// Texts from the payload are made printable as in the report for a person,
// so the document is always valid UTF-8.
std::string jsonReport(const CheckOptions& options, const RunReport& run, bool passed,
                       const std::vector<ScenarioReport>* scenarios);

} // namespace ZunoInstaller::PayloadCheck

#pragma once

#include "payload-check/CheckOutcome.h"

#include <string>

namespace ZunoInstaller::PayloadCheck {

// The report as one JSON document (docs/payload-protocol.md describes it).
// Texts from the payload are made printable as in the report for a person,
// so the document is always valid UTF-8.
std::string jsonReport(const CheckOutcome& outcome);

} // namespace ZunoInstaller::PayloadCheck

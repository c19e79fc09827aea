#pragma once

#include "payload-check/CheckOutcome.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace ZunoInstaller::PayloadCheck {

// The report as JUnit XML, for CI systems that show test results: one
// testsuite for the payload, one testcase a scenario (or one for the single
// run), a failure carrying the reasons, skipped for a scenario not run, the
// deciding run's standard output verdicts and standard error beside it.
class JunitReport {
public:
    static std::string document(const CheckOutcome& outcome);
    // Writes the document to `path`; false, with the system's reason, when it cannot.
    static bool write(const CheckOutcome& outcome, const std::filesystem::path& path, std::string& error);

    // Bytes made printable (PrintableText, line feeds kept), then safe for
    // XML content and attribute values.
    static std::string escaped(std::string_view text);
};

} // namespace ZunoInstaller::PayloadCheck

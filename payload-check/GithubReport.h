#pragma once

#include "payload-check/CheckOutcome.h"

#include <ostream>
#include <string>
#include <string_view>

namespace ZunoInstaller::PayloadCheck {

// The report for a GitHub Actions log: the text report folded into a group,
// with workflow commands stopped while it prints (a payload's own output
// cannot issue any), then an ::error for every failure and every malformed
// line of the main run, a ::warning for every warning, at most maxEach of
// each kind and one ::notice saying how many were left out.
class GithubReport {
public:
    static constexpr std::size_t maxEach = 10;

    explicit GithubReport(std::ostream& out) : out_(out) {}

    void write(const CheckOutcome& outcome);

    // GitHub's escaping of a command's message, and of a property's value.
    static std::string escapeData(std::string_view text);
    static std::string escapeProperty(std::string_view text);

private:
    struct Annotation {
        std::string title;
        std::string message;
    };

    void annotations(const CheckOutcome& outcome);
    void command(std::string_view kind, const Annotation& annotation);

    std::ostream& out_;
};

} // namespace ZunoInstaller::PayloadCheck

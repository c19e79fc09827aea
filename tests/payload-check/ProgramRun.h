#pragma once

#include "engine/ChildProcess.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ZunoInstaller::Testing {

// What a program said on each output, and how it ended (-1: it could not be started).
struct ProgramRun {
    std::int32_t status = -1;
    std::string output;
    std::string error;
};

// Runs `arguments` (the first is the program's path) in `folder`, with this
// process's environment, where each entry of `extra` replaces those of its
// name, and input from /dev/null, until both its outputs have ended.
inline ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& folder,
                             const std::vector<std::string>& extra = {})
{
    const auto named = [](const std::string& entry, const std::string& other) {
        return entry.substr(0, entry.find('=') + 1) == other.substr(0, other.find('=') + 1);
    };
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        environment.emplace_back(*entry);
    for (const std::string& entry : extra) {
        std::erase_if(environment, [&](const std::string& old) { return named(old, entry); });
        environment.push_back(entry);
    }
    ChildProcess child;
    ProgramRun run;
    if (!child.start(arguments.front(), arguments, folder, environment, {.captureError = true, .inputFromNull = true}))
        return run;
    char out[65536];
    char err[65536];
    while (child.outputOpen() || child.errorOpen()) {
        const ChildRead got = child.readWithin(std::chrono::milliseconds(1000), out, err);
        if (got.kind == ChildRead::Kind::bytes)
            (got.stream == ChildStream::output ? run.output : run.error)
                .append(got.stream == ChildStream::output ? out : err, got.count);
    }
    run.status = child.wait();
    return run;
}

} // namespace ZunoInstaller::Testing

#include "payload-check/CheckOptions.h"

#include "payload-check/PrintableText.h"
#include "payload-check/Scenarios.h"
#include "payload-check/VersionFile.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <vector>

#ifndef ZUNO_VERSION
#error "ZUNO_VERSION is the project version, defined by the build"
#endif

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

constexpr long long maxTimeoutSeconds = 24 * 60 * 60;

std::string shown(std::string_view text)
{
    return PrintableText{.limit = 200}(text);
}

bool parseSeconds(std::string_view text, std::chrono::seconds& into)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > maxTimeoutSeconds)
        return false;
    into = std::chrono::seconds(value);
    return true;
}

std::optional<ReportFormat> formatNamed(std::string_view name)
{
    if (name == "text")
        return ReportFormat::text;
    if (name == "json")
        return ReportFormat::json;
    if (name == "github")
        return ReportFormat::github;
    return std::nullopt;
}

std::string scenarioList()
{
    std::string list;
    for (const std::string_view name : Scenarios::names())
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

ParsedOptions usageError(std::string message)
{
    return {std::nullopt, std::move(message)};
}

bool takesValue(std::string_view name)
{
    return name == "--expect" || name == "--codex" || name == "--timeout" || name == "--scenario" ||
           name == "--format" || name == "--junit";
}

bool isFlag(std::string_view name)
{
    return name == "--help" || name == "-h" || name == "--scenarios" || name == "--json" || name == "--version" ||
           name == "--list-scenarios";
}

// One option and its value; a usage error, or empty.
std::string apply(CheckOptions& options, std::optional<std::string>& expect, std::string_view name,
                  std::string_view value)
{
    if (name == "--help" || name == "-h")
        options.help = true;
    else if (name == "--version")
        options.version = true;
    else if (name == "--list-scenarios")
        options.listScenarios = true;
    else if (name == "--scenarios")
        options.scenarios = true;
    else if (name == "--expect")
        expect = std::string(value);
    else if (name == "--codex")
        options.codex = fs::path(std::string(value));
    else if (name == "--junit")
        options.junit = fs::path(std::string(value));
    else if (name == "--timeout" && !parseSeconds(value, options.timeout))
        return "--timeout needs a whole number of seconds from 1 to 86400, not '" + shown(value) + "'";
    else if (name == "--scenario") {
        const auto names = Scenarios::names();
        if (std::find(names.begin(), names.end(), value) == names.end())
            return "unknown scenario '" + shown(value) + "'; the scenarios are " + scenarioList();
        if (std::find(options.onlyScenarios.begin(), options.onlyScenarios.end(), value) ==
            options.onlyScenarios.end())
            options.onlyScenarios.emplace_back(value);
        options.scenarios = true;
    } else if (name == "--format" || name == "--json") {
        const std::optional<ReportFormat> format = name == "--json" ? ReportFormat::json : formatNamed(value);
        if (!format)
            return "--format is text, json or github, not '" + shown(value) + "'";
        if (options.format && *options.format != *format)
            return "two report formats asked for (--json is --format json): give one";
        options.format = format;
    }
    return {};
}

} // namespace

ParsedOptions parseCheckOptions(int argc, const char* const* argv)
{
    CheckOptions options;
    std::vector<std::string_view> positional;
    std::optional<std::string> expect;
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (optionsEnded || !argument.starts_with("-") || argument == "-") {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (!takesValue(name) && !isFlag(name))
            return usageError("unknown option '" + shown(argument) + "' (see --help)");
        if (takesValue(name) && !value) {
            if (index + 1 >= argc)
                return usageError(std::string(name) + " needs a value");
            value = argv[++index];
        } else if (!takesValue(name) && value) {
            return usageError(std::string(name) + " takes no value");
        }
        if (std::string error = apply(options, expect, name, value.value_or("")); !error.empty())
            return usageError(std::move(error));
    }
    if (options.help || options.version || options.listScenarios)
        return {options, {}};
    if (positional.empty())
        return usageError("no payload folder given (see --help)");
    if (positional.size() > 1)
        return usageError("one payload folder only, not also '" + shown(positional[1]) + "'");

    options.payload = fs::path(std::string(positional.front()));
    std::error_code error;
    if (!fs::is_directory(options.payload, error))
        return usageError("no such folder: " + shown(options.payload.native()));
    options.payload = fs::absolute(options.payload, error);

    if (expect) {
        options.expectedVersion = *expect;
    } else {
        VersionFile file = VersionFile::read(options.payload / "VERSION");
        if (!file.version)
            return usageError(std::move(file.refusal));
        options.expectedVersion = std::move(*file.version);
        options.versionNote = std::move(file.note);
    }
    return {options, {}};
}

ReportFormat reportFormat(const CheckOptions& options)
{
    if (options.format)
        return *options.format;
    const char* actions = std::getenv("GITHUB_ACTIONS");
    return actions != nullptr && std::string_view(actions) == "true" ? ReportFormat::github : ReportFormat::text;
}

std::string checkVersion()
{
    return "zuno-payload-check " ZUNO_VERSION;
}

std::string checkUsage()
{
    return R"(usage: zuno-payload-check PAYLOAD_DIR [--expect VERSION] [--codex PATH]
                          [--scenarios | --scenario NAME...] [--format text|json|github]
                          [--junit FILE] [--timeout SECONDS]
       zuno-payload-check --list-scenarios | --version | --help

Runs the payload's Install.command exactly as the Zuno installer does
(/bin/sh PAYLOAD_DIR/Install.command --headless, in the payload folder, with
ZUNO_CODEX_BIN and PYTHONDONTWRITEBYTECODE=1) and shows what the installer
would decide and why: every line of standard output with its verdict, the
script's standard error, the stages reached, the version, the result, the
screen the installer would show and, for a failure, its reasons.

What is isolated is the environment, nothing more: every run gets a
temporary home folder of its own, removed afterwards, and HOME, TMPDIR,
XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME and XDG_STATE_HOME point into
it. The payload runs as you, with your permissions and the rest of your
environment (PATH included): a payload that finds your home another way
(getent passwd, ~user, an absolute path) writes into the real one, and the
check does not see it. Check a payload you do not trust as another user or
in a container.

  --expect VERSION   the version the run must complete with (default: the
                     first line of PAYLOAD_DIR/VERSION, 1 to 256 printable
                     ASCII characters, as the sample payload reads it)
  --codex PATH       the Codex command-line tool to pass in ZUNO_CODEX_BIN
                     (default: a stand-in in the temporary home that answers
                     --version)
  --scenarios        also run the situations a real installation meets
                     (--list-scenarios names them)
  --scenario NAME    run this scenario only; may be given more than once
  --format FORMAT    text (the default), json (one JSON document) or github
                     (the text report folded into a group, then GitHub
                     workflow commands: an ::error for each failure, a
                     ::warning for each warning, at most 10 of each); github
                     is the default when GITHUB_ACTIONS=true
  --json             the same as --format json
  --junit FILE       also write a JUnit XML report to FILE, one testcase a
                     scenario (or one for the run)
  --timeout SECONDS  time limit of each run (default 60); at the limit the
                     script and everything it started are ended
  --list-scenarios   print the scenarios' names, one a line
  --version          print the checker's version

Every run also fails when the payload changed its own folder, left a process
holding its standard output, or reached the time limit.

Exit status: 0 when the run (or every scenario) passed, 1 when the payload
failed, 2 for a usage error, 3 when the checker could not do its own work
(no temporary folder, the JUnit file cannot be written, an internal error),
130 when it was stopped (Ctrl-C, SIGTERM, SIGHUP).
)";
}

} // namespace ZunoInstaller::PayloadCheck

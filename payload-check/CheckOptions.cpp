#include "payload-check/CheckOptions.h"

#include "payload-check/PrintableText.h"

#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t maxVersionFileBytes = 64 * 1024;
constexpr long long maxTimeoutSeconds = 24 * 60 * 60;

std::string shown(std::string_view text)
{
    return PrintableText{.limit = 200}(text);
}

// The content of a regular file of at most `limit` bytes; none otherwise
// (a FIFO or a device cannot stop the checker: it is opened without blocking).
std::optional<std::string> readSmallFile(const fs::path& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::string> content;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::size_t>(info.st_size) <= limit) {
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        const ssize_t count = ::read(fd, bytes.data(), bytes.size());
        if (count >= 0) {
            bytes.resize(static_cast<std::size_t>(count));
            content = std::move(bytes);
        }
    }
    ::close(fd);
    return content;
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

ParsedOptions usageError(std::string message)
{
    return {std::nullopt, std::move(message)};
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
        const bool takesValue = name == "--expect" || name == "--codex" || name == "--timeout";
        const bool isFlag = name == "--help" || name == "-h" || name == "--scenarios" || name == "--json";
        if (!takesValue && !isFlag)
            return usageError("unknown option '" + shown(argument) + "' (see --help)");
        if (takesValue && !value) {
            if (index + 1 >= argc)
                return usageError(std::string(name) + " needs a value");
            value = argv[++index];
        } else if (!takesValue && value) {
            return usageError(std::string(name) + " takes no value");
        }
        if (name == "--help" || name == "-h")
            options.help = true;
        else if (name == "--scenarios")
            options.scenarios = true;
        else if (name == "--json")
            options.json = true;
        else if (name == "--expect")
            expect = std::string(*value);
        else if (name == "--codex")
            options.codex = fs::path(std::string(*value));
        else if (name == "--timeout" && !parseSeconds(*value, options.timeout))
            return usageError("--timeout needs a whole number of seconds from 1 to 86400, not '" +
                              shown(*value) + "'");
    }
    if (options.help)
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
        const fs::path versionFile = options.payload / "VERSION";
        std::optional<std::string> version = readSmallFile(versionFile, maxVersionFileBytes);
        if (!version)
            return usageError(
                "no version to expect: give --expect VERSION, or put a VERSION file in the payload "
                "folder");
        if (version->ends_with('\n'))
            version->pop_back();
        options.expectedVersion = std::move(*version);
    }
    return {options, {}};
}

std::string checkUsage()
{
    return R"(usage: zuno-payload-check PAYLOAD_DIR [--expect VERSION] [--codex PATH] [--scenarios] [--json] [--timeout SECONDS]

Runs the payload's Install.command exactly as the Zuno installer does
(/bin/sh PAYLOAD_DIR/Install.command --headless, in the payload folder, with
ZUNO_CODEX_BIN and PYTHONDONTWRITEBYTECODE=1) and shows what the installer
would decide and why: every line of standard output with its verdict, the
script's standard error, the stages reached, the version, the result and the
screen the installer would show.

The payload never touches your home: every run gets a temporary home folder
of its own, removed afterwards, and HOME, TMPDIR, XDG_DATA_HOME,
XDG_CONFIG_HOME, XDG_CACHE_HOME and XDG_STATE_HOME point into it.

  --expect VERSION   the version the run must complete with (default: the
                     content of PAYLOAD_DIR/VERSION without its final line feed)
  --codex PATH       the Codex command-line tool to pass in ZUNO_CODEX_BIN
                     (default: a stand-in in the temporary home that answers
                     --version)
  --scenarios        also run the situations a real installation meets:
                     installs, reinstall, codex-missing, codex-not-executable,
                     codex-broken, codex-hangs, finder-launch, unusual-paths,
                     interrupted, concurrent
  --json             the report as one JSON document on standard output
  --timeout SECONDS  time limit of each run (default 60); at the limit the
                     script and everything it started are ended

Every run also fails when the payload changed its own folder, left a process
holding its standard output, or reached the time limit.

Exit status: 0 when the run (or every scenario) passed, 1 when the payload
failed, 2 for a usage error.
)";
}

} // namespace ZunoInstaller::PayloadCheck

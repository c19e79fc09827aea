#include "payload-check/VersionFile.h"

#include "payload-check/PrintableText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ZunoInstaller::PayloadCheck {

namespace {

constexpr std::size_t maxFileBytes = 64 * 1024;
constexpr std::size_t maxVersionCharacters = 256;

std::string systemMessage(int error)
{
    return std::generic_category().message(error);
}

// The content of a regular file of at most maxFileBytes; or why not. Opened
// without blocking, so that a FIFO or a device cannot stop the checker.
std::optional<std::string> readSmall(const std::filesystem::path& path, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = errno == ENOENT ? std::string() : "cannot be read: " + systemMessage(errno);
        return std::nullopt;
    }
    struct stat info {};
    std::optional<std::string> content;
    if (::fstat(fd, &info) != 0) {
        why = "cannot be read: " + systemMessage(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = "is not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > maxFileBytes) {
        why = "is larger than 64 KiB";
    } else {
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        const ssize_t count = ::read(fd, bytes.data(), bytes.size());
        if (count < 0) {
            why = "cannot be read: " + systemMessage(errno);
        } else {
            bytes.resize(static_cast<std::size_t>(count));
            content = std::move(bytes);
        }
    }
    ::close(fd);
    return content;
}

// What is wrong with a first line; empty when it is a usable version.
std::string lineFault(const std::string& line)
{
    if (line.empty())
        return "has an empty first line";
    if (line.back() == '\r')
        return "ends its first line with a carriage return (\\r, a Windows line ending): save it with a "
               "line feed alone";
    for (std::size_t at = 0; at < line.size(); ++at) {
        const auto byte = static_cast<unsigned char>(line[at]);
        if (byte < 0x20 || byte > 0x7E)
            return "holds " + PrintableText{}(line.substr(at, 1)) + " at byte " + std::to_string(at + 1) +
                   " of its first line: a version is printable ASCII only";
    }
    if (line.size() > maxVersionCharacters)
        return "has a first line of " + std::to_string(line.size()) + " characters, more than 256";
    return {};
}

// What follows the first line, said plainly: "a blank line", "more lines".
std::string restOf(std::string_view rest)
{
    if (rest.find_first_not_of(" \t\r\n") != std::string_view::npos)
        return "more lines";
    return rest == "\n" ? "a blank line" : "blank lines";
}

} // namespace

VersionFile VersionFile::read(const std::filesystem::path& path)
{
    const std::string shown = PrintableText{}(path.native());
    VersionFile result;
    std::string why;
    const std::optional<std::string> content = readSmall(path, why);
    if (!content) {
        result.refusal = why.empty() ? "no version to expect: give --expect VERSION, or put a VERSION file in "
                                       "the payload folder"
                                     : shown + " " + why + " (or give --expect VERSION)";
        return result;
    }
    const std::size_t feed = content->find('\n');
    std::string line = content->substr(0, feed);
    if (std::string fault = lineFault(line); !fault.empty()) {
        result.refusal = shown + " " + fault + " (or give --expect VERSION)";
        return result;
    }
    if (feed != std::string::npos && feed + 1 < content->size())
        result.note = shown + " holds " + restOf(std::string_view(*content).substr(feed + 1)) +
                      " after its first line; the version is that first line, \"" + line + "\"";
    result.version = std::move(line);
    return result;
}

} // namespace ZunoInstaller::PayloadCheck

#include "payload-check/PayloadCopy.h"

#include "payload-check/PrintableText.h"
#include "payload-check/TemporaryHome.h"

#include <atomic>
#include <utility>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> copiesMade{0};

// Folders are made writable while they are filled and get their own
// permissions back last, so that a read-only folder copies too.
// Returns the name (inside `from`) where copying stopped, with `error` set.
fs::path copyTree(const fs::path& from, const fs::path& to, std::error_code& error)
{
    std::vector<std::pair<fs::path, fs::perms>> folders;
    const auto folder = [&](const fs::path& source, const fs::path& target) {
        const fs::perms mode = fs::status(source, error).permissions();
        if (!error && fs::create_directory(target, error) && !error) {
            fs::permissions(target, fs::perms::owner_all, fs::perm_options::add, error);
            folders.emplace_back(target, mode);
        } else if (!error) {
            error = std::make_error_code(std::errc::file_exists);
        }
    };
    folder(from, to);
    fs::recursive_directory_iterator walk(from, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::path target = to / walk->path().lexically_relative(from);
        switch (walk->symlink_status(error).type()) {
        case fs::file_type::directory:
            folder(walk->path(), target);
            break;
        case fs::file_type::regular:
            fs::copy_file(walk->path(), target, error);
            break;
        case fs::file_type::symlink:
            fs::copy_symlink(walk->path(), target, error);
            break;
        default:
            if (!error)
                error = std::make_error_code(std::errc::operation_not_supported);
            break;
        }
        if (error)
            return walk->path().lexically_relative(from);
    }
    for (auto folderAt = folders.rbegin(); folderAt != folders.rend(); ++folderAt) {
        std::error_code ignored;
        fs::permissions(folderAt->first, folderAt->second, ignored);
    }
    return {};
}

} // namespace

PayloadCopy::PayloadCopy(const fs::path& payload, const fs::path& copies)
{
    std::error_code error;
    fs::create_directories(copies, error);
    const fs::path target = copies / ("payload-" + std::to_string(++copiesMade));
    fs::path stoppedAt;
    if (!error)
        stoppedAt = copyTree(payload, target, error);
    if (error) {
        removeTree(target);
        error_ = "cannot copy the payload to " + PrintableText{}(target.native()) +
                 (stoppedAt.empty() ? "" : " (at " + PrintableText{}(stoppedAt.native()) + ")") + ": " +
                 error.message();
        return;
    }
    path_ = target;
}

PayloadCopy::~PayloadCopy()
{
    removeTree(path_);
}

} // namespace ZunoInstaller::PayloadCheck

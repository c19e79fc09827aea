#include "payload-check/TreeSnapshot.h"

#include "payload-check/PrintableText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

// FNV-1a over the content: only compared within one run of the checker.
bool digestOf(const fs::path& path, std::uint64_t& digest)
{
    // O_NONBLOCK: a FIFO in the tree must not stop the checker.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    digest = 14695981039346656037ULL;
    char buffer[64 * 1024];
    bool ok = true;
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        for (ssize_t index = 0; index < count; ++index) {
            digest ^= static_cast<unsigned char>(buffer[index]);
            digest *= 1099511628211ULL;
        }
    }
    ::close(fd);
    return ok;
}

std::string shown(const std::string& name)
{
    return PrintableText{}(name);
}

std::string octal(unsigned permissions)
{
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, permissions, 8).ptr;
    return std::string(digits, end);
}

} // namespace

TreeSnapshot::Entry TreeSnapshot::entryFor(const fs::directory_entry& entry)
{
    std::error_code error;
    const fs::file_status status = entry.symlink_status(error);
    Entry result{Kind::unreadable, 0, 0, 0, {}};
    if (error)
        return result;
    result.permissions = static_cast<unsigned>(status.permissions()) & 07777;
    switch (status.type()) {
    case fs::file_type::regular:
        result.kind = Kind::file;
        result.size = entry.file_size(error);
        if (error || !digestOf(entry.path(), result.digest))
            result.kind = Kind::unreadable;
        break;
    case fs::file_type::directory:
        result.kind = Kind::folder;
        break;
    case fs::file_type::symlink:
        result.kind = Kind::link;
        result.target = fs::read_symlink(entry.path(), error).native();
        break;
    default:
        result.kind = Kind::other;
        break;
    }
    return result;
}

TreeSnapshot TreeSnapshot::of(const fs::path& root, const std::vector<fs::path>& leaveOut)
{
    TreeSnapshot snapshot;
    std::error_code error;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::path relative = walk->path().lexically_relative(root);
        if (std::find(leaveOut.begin(), leaveOut.end(), relative) != leaveOut.end()) {
            walk.disable_recursion_pending();
            continue;
        }
        snapshot.entries_.emplace(relative.generic_string(), entryFor(*walk));
    }
    if (error)
        snapshot.entries_.emplace("", Entry{Kind::unreadable, 0, 0, 0, error.message()});
    return snapshot;
}

std::vector<std::string> TreeSnapshot::names() const
{
    std::vector<std::string> list;
    list.reserve(entries_.size());
    for (const auto& [name, entry] : entries_)
        list.push_back(name);
    return list;
}

bool TreeSnapshot::isFolder(const std::string& name) const
{
    const auto found = entries_.find(name);
    return found != entries_.end() && found->second.kind == Kind::folder;
}

bool TreeSnapshot::sameContent(const std::string& name, const TreeSnapshot& other, const std::string& otherName) const
{
    const auto mine = entries_.find(name);
    const auto theirs = other.entries_.find(otherName);
    if (mine == entries_.end() || theirs == other.entries_.end())
        return false;
    const Entry& a = mine->second;
    const Entry& b = theirs->second;
    return a.kind == b.kind && a.kind != Kind::unreadable && a.size == b.size && a.digest == b.digest &&
           a.target == b.target;
}

std::uintmax_t TreeSnapshot::largestFile() const
{
    std::uintmax_t largest = 0;
    for (const auto& [name, entry] : entries_)
        if (entry.kind == Kind::file)
            largest = std::max(largest, entry.size);
    return largest;
}

std::vector<std::string> TreeSnapshot::changesSince(const TreeSnapshot& earlier) const
{
    std::vector<std::string> changes;
    auto before = earlier.entries_.begin();
    auto after = entries_.begin();
    while (before != earlier.entries_.end() || after != entries_.end()) {
        if (after == entries_.end() || (before != earlier.entries_.end() && before->first < after->first)) {
            changes.push_back("removed " + shown(before->first));
            ++before;
        } else if (before == earlier.entries_.end() || after->first < before->first) {
            changes.push_back("added " + shown(after->first));
            ++after;
        } else {
            const Entry& was = before->second;
            const Entry& is = after->second;
            std::string what;
            if (was.kind != is.kind)
                what = "kind";
            else if (was.size != is.size)
                what = "size " + std::to_string(was.size) + " -> " + std::to_string(is.size);
            else if (was.digest != is.digest)
                what = "content";
            else if (was.target != is.target)
                what = "link target";
            else if (was.permissions != is.permissions)
                what = "permissions " + octal(was.permissions) + " -> " + octal(is.permissions);
            if (!what.empty())
                changes.push_back("changed " + shown(after->first) + " (" + what + ")");
            ++before;
            ++after;
        }
    }
    return changes;
}

} // namespace ZunoInstaller::PayloadCheck

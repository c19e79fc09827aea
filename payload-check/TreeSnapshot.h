#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// Every entry below a folder: its relative name, kind, permissions, size and
// a digest of its content (or a symbolic link's target). Compared before and
// after a run, it tells what the run changed.
class TreeSnapshot {
public:
    // `leaveOut`: relative names whose entries (and everything below them)
    // are not recorded.
    static TreeSnapshot of(const std::filesystem::path& root,
                           const std::vector<std::filesystem::path>& leaveOut = {});

    // What differs from `earlier`, one line per entry, in name order: "added
    // NAME", "removed NAME", "changed NAME (what)". Names are shown printable.
    std::vector<std::string> changesSince(const TreeSnapshot& earlier) const;

    std::size_t size() const { return entries_.size(); }

    // Every recorded name (relative, generic), in order.
    std::vector<std::string> names() const;
    bool has(const std::string& name) const { return entries_.contains(name); }
    bool isFolder(const std::string& name) const;
    // `name` here and `otherName` in `other` are the same kind with the same
    // content (size, digest or link target); permissions aside.
    bool sameContent(const std::string& name, const TreeSnapshot& other, const std::string& otherName) const;
    // The size of the largest file; 0 without files.
    std::uintmax_t largestFile() const;

private:
    enum class Kind { file, folder, link, other, unreadable };

    struct Entry {
        Kind kind;
        unsigned permissions;
        std::uintmax_t size;
        std::uint64_t digest;
        std::string target;

        bool operator==(const Entry&) const = default;
    };

    static Entry entryFor(const std::filesystem::directory_entry& entry);

    // Keyed by the generic relative name, so that the order is the same everywhere.
    std::map<std::string, Entry> entries_;
};

} // namespace ZunoInstaller::PayloadCheck

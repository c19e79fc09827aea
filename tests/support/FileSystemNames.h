#pragma once

#include <filesystem>
#include <system_error>

namespace ZunoInstaller {

// Creates the folder and its parents, as std::filesystem::create_directories.
// Linux file systems take any bytes but '/' and NUL in a name; APFS, the one on
// a Mac, refuses names that are not UTF-8 with EILSEQ. There this returns
// false, for the caller to skip what needs such a name; any other failure
// throws as ever.
inline bool createFoldersUnlessNameRefused(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error == std::errc::illegal_byte_sequence)
        return false;
    if (error)
        throw std::filesystem::filesystem_error("cannot create the folder", path, error);
    return true;
}

} // namespace ZunoInstaller

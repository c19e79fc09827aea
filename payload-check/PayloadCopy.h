#pragma once

#include <filesystem>
#include <string>

namespace ZunoInstaller::PayloadCheck {

// A fresh copy of a payload folder for one run, so that the author's folder
// is never written and what one run wrote into its copy cannot help the next.
// Removed when dropped.
class PayloadCopy {
public:
    // Copies `payload` into a new folder inside `copies` (made when missing):
    // folders, files with their permissions, symbolic links as links.
    PayloadCopy(const std::filesystem::path& payload, const std::filesystem::path& copies);
    ~PayloadCopy();
    PayloadCopy(const PayloadCopy&) = delete;
    PayloadCopy& operator=(const PayloadCopy&) = delete;

    // Empty when the copy could not be made; error() says why.
    const std::filesystem::path& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::filesystem::path path_;
    std::string error_;
};

} // namespace ZunoInstaller::PayloadCheck

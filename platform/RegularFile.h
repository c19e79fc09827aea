#pragma once

#include <QByteArray>

#include <filesystem>
#include <optional>

namespace ZunoInstaller {

// The contents of the regular file at `path` (symbolic links followed), read
// without ever blocking in open(): none when the file is missing, is anything
// but a regular file (a FIFO, a device, a folder), holds more than `maxSize`
// bytes, or cannot be read.
std::optional<QByteArray> readRegularFile(const std::filesystem::path& path, qint64 maxSize);

} // namespace ZunoInstaller

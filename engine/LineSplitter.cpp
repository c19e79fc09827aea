#include "engine/LineSplitter.h"

namespace ZunoInstaller {

LineSplitter::LineSplitter()
    : buffer_(std::make_unique_for_overwrite<char[]>(maxEventLineBytes + chunkBytes +
                                                     EventLineDecoder::paddingBytes))
{
}

std::optional<std::string_view> LineSplitter::rest() const
{
    if (pending_ == 0)
        return std::nullopt;
    return std::string_view(buffer_.get(), pending_);
}

} // namespace ZunoInstaller

// Preloaded into a test (LD_PRELOAD) to make this machine's file system behave
// like APFS for names: a folder whose path is not UTF-8 is refused with
// EILSEQ, so that a test's path for such a refusal runs here too.
#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>

namespace {

bool isUtf8(const char* text)
{
    for (auto* s = reinterpret_cast<const unsigned char*>(text); *s != 0;) {
        const int more = *s < 0x80 ? 0 : (*s >> 5) == 0x6 ? 1 : (*s >> 4) == 0xE ? 2 : (*s >> 3) == 0x1E ? 3 : -1;
        if (more < 0)
            return false;
        ++s;
        for (int i = 0; i < more; ++i, ++s)
            if ((*s & 0xC0) != 0x80)
                return false;
    }
    return true;
}

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int mkdir(const char* path, mode_t mode)
{
    static const auto real = next<int (*)(const char*, mode_t)>("mkdir");
    if (!isUtf8(path)) {
        errno = EILSEQ;
        return -1;
    }
    return real(path, mode);
}

extern "C" int mkdirat(int folder, const char* path, mode_t mode)
{
    static const auto real = next<int (*)(int, const char*, mode_t)>("mkdirat");
    if (!isUtf8(path)) {
        errno = EILSEQ;
        return -1;
    }
    return real(folder, path, mode);
}

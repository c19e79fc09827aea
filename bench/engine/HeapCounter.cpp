#include "HeapCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace ZunoInstaller::Bench {

namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

// Each block carries its size in front, keeping the default alignment.
constexpr std::size_t header = alignof(std::max_align_t);

void* allocate(std::size_t size)
{
    void* block = std::malloc(size + header);
    if (block == nullptr)
        throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    const std::size_t now = live.fetch_add(size) + size;
    std::size_t seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    return static_cast<char*>(block) + header;
}

void release(void* pointer) noexcept
{
    if (pointer == nullptr)
        return;
    void* block = static_cast<char*>(pointer) - header;
    live.fetch_sub(*static_cast<std::size_t*>(block));
    std::free(block);
}

} // namespace

std::size_t heapLiveBytes()
{
    return live.load();
}

std::size_t heapPeakBytes()
{
    return peak.load();
}

void resetHeapPeak()
{
    peak.store(live.load());
}

} // namespace ZunoInstaller::Bench

void* operator new(std::size_t size)
{
    return ZunoInstaller::Bench::allocate(size);
}

void* operator new[](std::size_t size)
{
    return ZunoInstaller::Bench::allocate(size);
}

void operator delete(void* pointer) noexcept
{
    ZunoInstaller::Bench::release(pointer);
}

void operator delete[](void* pointer) noexcept
{
    ZunoInstaller::Bench::release(pointer);
}

void operator delete(void* pointer, std::size_t) noexcept
{
    ZunoInstaller::Bench::release(pointer);
}

void operator delete[](void* pointer, std::size_t) noexcept
{
    ZunoInstaller::Bench::release(pointer);
}

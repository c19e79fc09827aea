#include "HeapCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace ZunoInstaller::Bench {

namespace {

std::atomic<bool> counting{false};
std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

// Each block carries its counted size in front (0 while not counting, so
// that the timings elsewhere in this program pay for no atomics), keeping the
// default alignment.
constexpr std::size_t header = alignof(std::max_align_t);

void* allocate(std::size_t size)
{
    void* block = std::malloc(size + header);
    if (block == nullptr)
        throw std::bad_alloc();
    if (!counting.load(std::memory_order_relaxed)) {
        *static_cast<std::size_t*>(block) = 0;
        return static_cast<char*>(block) + header;
    }
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
    if (const std::size_t size = *static_cast<std::size_t*>(block))
        live.fetch_sub(size);
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

void startHeapCounting()
{
    counting.store(true);
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

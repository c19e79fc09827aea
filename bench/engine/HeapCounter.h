#pragma once

#include <cstddef>

namespace ZunoInstaller::Bench {

// This program replaces the global operator new and delete to count the bytes
// held on the C++ heap from startHeapCounting() on. The peak is exact, unlike
// the resident-set figures, which the kernel folds in batches.
void startHeapCounting();
// Bytes allocated since the start and not yet freed, and their peak.
std::size_t heapLiveBytes();
std::size_t heapPeakBytes();

} // namespace ZunoInstaller::Bench

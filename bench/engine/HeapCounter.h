#pragma once

#include <cstddef>

namespace ZunoInstaller::Bench {

// This program replaces the global operator new and delete to count the bytes
// held on the C++ heap. The peak is exact, unlike the resident-set figures,
// which the kernel folds in batches.
std::size_t heapLiveBytes();
std::size_t heapPeakBytes();
// Starts a new peak from what is held now.
void resetHeapPeak();

} // namespace ZunoInstaller::Bench

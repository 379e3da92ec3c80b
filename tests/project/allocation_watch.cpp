#include "allocation_watch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> gTracking{false};
std::atomic<size_t> gLargest{0};
} // namespace

void* operator new(std::size_t n)
{
    if (gTracking.load(std::memory_order_relaxed)) {
        size_t seen = gLargest.load(std::memory_order_relaxed);
        while (n > seen && !gLargest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
        }
    }
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
// Kept out of line so that the compiler does not pair the malloc above with
// the free below across inlined new/delete expressions and warn about them.
[[gnu::noinline]] static void Release(void* p) { std::free(p); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }

CAllocationWatch::CAllocationWatch()
{
    gLargest = 0;
    gTracking = true;
}

CAllocationWatch::~CAllocationWatch()
{
    gTracking = false;
}

size_t CAllocationWatch::Largest() const
{
    return gLargest;
}

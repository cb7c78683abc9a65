#include "AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};
std::atomic<std::size_t> g_total{0};
} // namespace

void* operator new(std::size_t size)
{
    if (g_watching.load(std::memory_order_relaxed)) {
        g_total.fetch_add(size, std::memory_order_relaxed);
        if (size > g_largest.load(std::memory_order_relaxed))
            g_largest.store(size, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace allocationwatch {

void Start()
{
    g_largest = 0;
    g_total = 0;
    g_watching = true;
}

void Stop() { g_watching = false; }
std::size_t Largest() { return g_largest.load(); }
std::size_t Total() { return g_total.load(); }

} // namespace allocationwatch

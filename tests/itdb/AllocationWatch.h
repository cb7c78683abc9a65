#pragma once

#include <cstddef>

// Watches what the code under test allocates through the global operator new, which the test
// program linking AllocationWatch.cpp replaces: counts and lengths in a file must never turn into
// allocation sizes, and crafted input must not make the reader allocate without bound.
namespace allocationwatch {

// Starts watching from zero; Stop ends it. The figures cover what happened in between.
void Start();
void Stop();
std::size_t Largest();
std::size_t Total();

} // namespace allocationwatch

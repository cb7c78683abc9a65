#pragma once

#include <cstddef>
#include <memory_resource>
#include <new>
#include <sys/mman.h>

// The upstream of the parser's arena. Blocks of 2 MiB and more are aligned to 2 MiB and offered
// to the kernel for huge pages: the records of a large player fill tens of megabytes, which
// otherwise cost a page fault every 4 KiB. Smaller blocks come from the usual heap.
class LargeBlockResource : public std::pmr::memory_resource {
public:
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;

private:
    void* do_allocate(std::size_t bytes, std::size_t alignment) override
    {
        if (bytes < kHugePage)
            return std::pmr::new_delete_resource()->allocate(bytes, alignment);
        void* block = ::operator new(bytes, std::align_val_t(kHugePage));
        ::madvise(block, bytes, MADV_HUGEPAGE);
        return block;
    }
    void do_deallocate(void* block, std::size_t bytes, std::size_t alignment) override
    {
        if (bytes < kHugePage)
            std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
        else
            ::operator delete(block, std::align_val_t(kHugePage));
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};

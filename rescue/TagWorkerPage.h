#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// A page shared between the program and one tag reader: the reader marks each file as it
// starts it, which costs no message, so that the program knows which file a reader that died
// or stalled was reading, and since when.
struct TagWorkerPage {
    // The batch in the high half, the file's place in it plus one in the low half; 0 before
    // the first file.
    std::atomic<std::uint64_t> Started{0};

    static std::uint64_t Mark(std::uint32_t batch, std::size_t index)
    {
        return std::uint64_t(batch) << 32 | (static_cast<std::uint64_t>(index) + 1);
    }
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free);

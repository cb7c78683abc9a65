#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <vector>

// Bytes built up in memory in pieces of equal size (the last one filled only in part), so that
// an image of tens of megabytes grows without ever being copied or over-allocated by more than
// one piece. A piece that cannot be allocated is reported, not thrown.
class MemoryImage {
public:
    static constexpr std::size_t kPieceSize = std::size_t(2) << 20;

    std::int64_t Size() const { return Length; }
    std::size_t PieceCount() const { return Pieces.size(); }
    // Piece `index` holds the bytes from index * kPieceSize on.
    const unsigned char* Piece(std::size_t index) const { return Pieces[index].get(); }
    unsigned char* Piece(std::size_t index) { return Pieces[index].get(); }

    // Free space at the end of the image, at least one byte; adds a piece when the last one is
    // full. Null when no memory is left.
    unsigned char* Room(std::size_t& room)
    {
        const auto length = static_cast<std::size_t>(Length);
        if (length == Pieces.size() * kPieceSize) {
            // Aligned to its size so that the kernel may back it with one huge page: a fresh
            // database of tens of megabytes otherwise costs a page fault every 4 KiB.
            PiecePtr piece(static_cast<unsigned char*>(
                ::operator new[](kPieceSize, std::align_val_t(kPieceSize), std::nothrow)));
            if (!piece)
                return nullptr;
            ::madvise(piece.get(), kPieceSize, MADV_HUGEPAGE);
            Pieces.push_back(std::move(piece));
            room = kPieceSize;
            return Pieces.back().get();
        }
        const std::size_t used = length - (Pieces.size() - 1) * kPieceSize;
        room = kPieceSize - used;
        return Pieces.back().get() + used;
    }
    // Counts `n` bytes just written into Room() as part of the image.
    void Grow(std::size_t n) { Length += static_cast<std::int64_t>(n); }

private:
    struct FreePiece {
        void operator()(unsigned char* p) const { ::operator delete[](p, std::align_val_t(kPieceSize)); }
    };
    using PiecePtr = std::unique_ptr<unsigned char[], FreePiece>;
    std::vector<PiecePtr> Pieces;
    std::int64_t Length = 0;
};

#pragma once

#include <taglib/tiostream.h>

#include <cstddef>
#include <cstdint>

// A read-only TagLib stream over one open file that keeps what reading it costs small for the
// common case: TagLib reads in many small pieces (atom and frame headers of a few bytes), and
// the stream reads ahead in blocks of kReadAhead bytes (smaller after a block of which little
// was used) and serves those pieces from memory, so that one file costs a system call or two
// rather than dozens. It hands out at most kByteCap
// bytes in all, no single block above kMaxRead bytes and a bounded number of reads and seeks;
// once a cap is passed every further read gives nothing and seeks stay put, so TagLib ends its
// walk, and Exhausted() tells the caller. The hard limits on a file's cost are the tag reader's
// own (its process's memory and processor time); these caps only end a damaged file sooner.
//
// For an MPEG file the search for audio frames can be kept to the first kScanFront bytes after
// a leading ID3v2 tag and the last kScanBack bytes (LimitAudioScan); an APEv2 tag at the end is
// read where it lies, whatever its size.
class CappedStream : public TagLib::IOStream {
public:
    static constexpr std::uint64_t kByteCap = 32 * 1024 * 1024;
    static constexpr std::uint64_t kMaxRead = 16 * 1024 * 1024;
    static constexpr std::uint64_t kOperationCap = 1 << 18;
    static constexpr std::int64_t kScanFront = 1024 * 1024;
    static constexpr std::int64_t kScanBack = 128 * 1024;
    static constexpr std::size_t kReadAhead = 16 * 1024;
    // Pieces up to this size are copied out of the read-ahead rather than shared with it: a
    // piece that TagLib keeps (an atom's name) would otherwise keep the whole block alive.
    static constexpr std::size_t kCopyBelow = 1024;

    // Reads the regular file open at `fd` (not taken over). isOpen() is false when `fd` is not a
    // regular file; OpenError() then tells why.
    explicit CappedStream(int fd);
    ~CappedStream() override;
    CappedStream(const CappedStream&) = delete;
    CappedStream& operator=(const CappedStream&) = delete;

    // For an MPEG file: leaves the bytes from kScanFront after a leading ID3v2 tag to kScanBack
    // before the end unread, except an APEv2 tag found at the end.
    void LimitAudioScan();

    bool Exhausted() const { return Spent; }
    // A block was refused for its size.
    bool TagsRefused() const { return Refused; }
    std::uint64_t BytesRead() const { return Bytes; }
    std::uint64_t FileSize() const { return static_cast<std::uint64_t>(Size); }
    int OpenError() const { return Error; }
    int ReadError() const { return IoError; }

    TagLib::FileName name() const override { return ""; }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long = 0, unsigned long = 0) override {}
    void removeBlock(unsigned long = 0, unsigned long = 0) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return Fd >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return static_cast<long>(Pos); }
    long length() override { return static_cast<long>(Size); }
    void truncate(long) override {}

private:
    bool Count();
    void Advance(std::size_t got);
    // Makes the read-ahead hold `n` bytes (at most kReadAhead) at `offset`, reading anew when it
    // does not; how many it holds there (fewer at the end).
    std::size_t Fill(std::int64_t offset, std::size_t n);
    // Reads `n` bytes at `offset` into `to`; the number read (fewer at the end).
    std::size_t ReadAt(char* to, std::size_t n, std::int64_t offset);
    // The start of an APEv2 tag that ends at `end`, when its footer is there.
    std::int64_t ApeTagStart(std::int64_t end);

    int Fd = -1;
    int Error = 0;
    int IoError = 0;
    std::int64_t Size = 0;
    std::int64_t Pos = 0;
    std::int64_t HoleBegin = 0; // the part of the file left unread
    std::int64_t HoleEnd = 0;
    std::uint64_t Bytes = 0;
    std::uint64_t Operations = 0;
    bool Spent = false;
    bool Refused = false;
    // kReadAhead bytes, of which the first AheadSize are the file's from AheadStart on.
    TagLib::ByteVector Ahead;
    std::size_t AheadSize = 0;
    std::size_t AheadUsed = 0; // bytes handed out of the block since it was read
    std::int64_t AheadStart = 0;
};

#pragma once

#include <taglib/tiostream.h>

#include <cstddef>
#include <cstdint>
#include <string>

// A read-only TagLib stream over one file that caps what reading it may cost. TagLib reads
// untrusted files, and a damaged one can send it reading the same bytes again and again or
// asking for blocks far larger than the file; this stream hands out at most a few times the
// file's size in bytes and a bounded number of reads and seeks. Once either cap is passed every
// further read gives nothing and seeks stay put, so TagLib ends its walk, and Exhausted() tells
// the caller to skip the file. A read never asks for more than what remains of the file, so a
// length in the file cannot make it allocate more than the file holds.
//
// TagLib reads in many small pieces (atom and frame headers of a few bytes); the stream reads
// ahead in blocks of kReadAhead bytes and serves those pieces from memory, so that one file
// costs a system call or two rather than dozens; the block passes on to the next stream of the
// same thread. The caps count what TagLib is given.
class CappedStream : public TagLib::IOStream {
public:
    // Bytes that any file may read, however small: TagLib reads in blocks of a few KiB.
    static constexpr std::uint64_t kMinimumByteCap = 64 * 1024;
    static constexpr std::uint64_t kByteCapFactor = 4;
    // Reads and seeks: a fixed allowance plus one per 64 bytes of the file.
    static constexpr std::uint64_t kOperationAllowance = 4096;
    static constexpr std::size_t kReadAhead = 16 * 1024;

    // Opens `path` for reading; IsOpen() tells whether that worked (errno is then the reason).
    explicit CappedStream(const std::string& path);
    ~CappedStream() override;
    CappedStream(const CappedStream&) = delete;
    CappedStream& operator=(const CappedStream&) = delete;

    bool Exhausted() const { return Spent; }
    std::uint64_t BytesRead() const { return Bytes; }
    int OpenError() const { return Error; }

    TagLib::FileName name() const override { return Path.c_str(); }
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
    // Reads `n` bytes at `offset` into `to`; the number read (fewer at the end of the file).
    std::size_t ReadAt(char* to, std::size_t n, std::int64_t offset) const;

    std::string Path;
    int Fd = -1;
    int Error = 0;
    std::int64_t Size = 0;
    std::int64_t Pos = 0;
    std::uint64_t Bytes = 0;
    std::uint64_t Operations = 0;
    std::uint64_t ByteCap = 0;
    std::uint64_t OperationCap = 0;
    bool Spent = false;
    // kReadAhead bytes, of which the first AheadSize are the file's from AheadStart on.
    TagLib::ByteVector Ahead;
    std::size_t AheadSize = 0;
    std::int64_t AheadStart = 0;
};

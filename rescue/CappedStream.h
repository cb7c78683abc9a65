#pragma once

#include <taglib/tiostream.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// A read-only TagLib stream over one file that caps what reading it may cost, whatever the file
// holds. TagLib reads untrusted files, and a damaged one can send it reading the same bytes again
// and again, asking for blocks far larger than the file, or scanning gigabytes of zeros for an
// audio frame. The stream hands out at most kByteCap bytes in all, no single block above kMaxRead
// bytes, and a bounded number of reads and seeks: once a cap is passed every further read gives
// nothing and seeks stay put, so TagLib ends its walk, and Exhausted() tells the caller to skip
// the file. A read never asks for more than what remains of the file.
//
// Every ID3v2 tag that TagLib is about to read is scanned first (Id3Scan.h); a tag that fails
// is hidden: its header reads as spoilt, so TagLib sees no tag there. For an MPEG file the
// stream can also start after a leading tag that fails, and keep the search for audio frames to
// the first kScanFront bytes after the tag and the last kScanBack bytes (LimitAudioScan).
//
// TagLib reads in many small pieces (atom and frame headers of a few bytes); the stream reads
// ahead in blocks of kReadAhead bytes and serves those pieces from memory, so that one file
// costs a system call or two rather than dozens; the block passes on to the next stream of the
// same thread. Blocks above kBigRead are read by one stream at a time, which bounds a rescue's
// memory on any number of threads.
class CappedStream : public TagLib::IOStream {
public:
    static constexpr std::uint64_t kByteCap = 32 * 1024 * 1024;
    static constexpr std::uint64_t kMaxRead = 16 * 1024 * 1024;
    static constexpr std::uint64_t kOperationCap = 1 << 18;
    static constexpr std::int64_t kScanFront = 1024 * 1024;
    static constexpr std::int64_t kScanBack = 128 * 1024;
    static constexpr std::size_t kReadAhead = 16 * 1024;
    // Larger blocks are read by one stream at a time (WaitForBigReads).
    static constexpr std::size_t kBigRead = 1024 * 1024;

    // Opens `path` for reading; IsOpen() tells whether that worked (errno is then the reason).
    explicit CappedStream(const std::string& path);
    ~CappedStream() override;
    CappedStream(const CappedStream&) = delete;
    CappedStream& operator=(const CappedStream&) = delete;

    // For an MPEG file: hides a leading ID3v2 tag that fails its scan by starting after it, and
    // leaves the bytes from kScanFront after the tag to kScanBack before the end unread.
    void LimitAudioScan();

    // Copies up to `n` bytes (at most kReadAhead) at `offset` into `to`, through the read-ahead
    // and counted against the caps as a read, but without a vector or a move of the position;
    // how many it copied.
    std::size_t Preview(std::int64_t offset, unsigned char* to, std::size_t n);

    bool Exhausted() const { return Spent; }
    // A tag was left out, or a block refused, for its size or its frames; or the caller
    // refused the file's structure (Refuse).
    bool TagsRefused() const { return Refused; }
    void Refuse() { Refused = true; }
    std::uint64_t BytesRead() const { return Bytes; }
    // The whole file's size, as it was when opened.
    std::uint64_t FileSize() const { return WholeSize; }
    int OpenError() const { return Error; }
    int ReadError() const { return IoError; }

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
    // Takes the turn to read large blocks, kept until the stream ends.
    void WaitForBigReads();
    bool Count();
    void Advance(std::size_t got);
    // Makes the read-ahead hold `n` bytes (at most kReadAhead) at `offset` of the view, reading
    // anew when it does not; how many it holds there (fewer at the end).
    std::size_t Fill(std::int64_t offset, std::size_t n);
    // The bytes at `offset` in the read-ahead after Fill; `got` of them.
    const unsigned char* Peek(std::int64_t offset, std::size_t n, std::size_t& got);
    // Reads `n` bytes at `offset` of the view into `to`; the number read (fewer at the end).
    std::size_t ReadAt(char* to, std::size_t n, std::int64_t offset);
    // Whether the ID3v2 tag at `offset` of the view passes its scan (remembered per offset).
    bool TagPasses(std::int64_t offset);
    // The block read at `at`, its header spoilt when it begins a tag that fails its scan.
    TagLib::ByteVector Guarded(TagLib::ByteVector block, std::int64_t at);

    std::string Path;
    int Fd = -1;
    int Error = 0;
    int IoError = 0;
    std::int64_t Start = 0; // where the view begins in the file
    std::int64_t Size = 0;  // of the view
    std::uint64_t WholeSize = 0;
    std::int64_t Pos = 0;
    std::int64_t HoleBegin = 0; // the part of the view left unread
    std::int64_t HoleEnd = 0;
    std::uint64_t Bytes = 0;
    std::uint64_t Operations = 0;
    bool Spent = false;
    bool Refused = false;
    std::vector<std::pair<std::int64_t, bool>> Scanned;
    std::unique_lock<std::mutex> BigRead;
    // kReadAhead bytes, of which the first AheadSize are the view's from AheadStart on.
    TagLib::ByteVector Ahead;
    std::size_t AheadSize = 0;
    std::int64_t AheadStart = 0;
};

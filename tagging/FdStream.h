#pragma once

#include <taglib/tiostream.h>

// A TagLib stream over an open file descriptor, read and written in place with pread and pwrite
// at a position of its own, for files that have no path (an unnamed temporary). The descriptor
// stays the caller's. A read or write that fails marks the stream Failed; TagLib itself does
// not report them.
class FdStream : public TagLib::IOStream {
public:
    explicit FdStream(int fd) : Fd(fd) {}

    TagLib::FileName name() const override { return ""; }
    TagLib::ByteVector readBlock(unsigned long length) override;
    void writeBlock(const TagLib::ByteVector& data) override;
    void insert(const TagLib::ByteVector& data, unsigned long start = 0, unsigned long replace = 0) override;
    void removeBlock(unsigned long start = 0, unsigned long length = 0) override;
    bool readOnly() const override { return false; }
    bool isOpen() const override { return Fd >= 0; }
    void seek(long offset, Position p = Beginning) override;
    long tell() const override { return At; }
    long length() override;
    void truncate(long length) override;

    bool Failed() const { return Failure; }
    // The errno of the first read or write that failed; 0 when none did.
    int Error() const { return FirstError; }
    // Whether anything was written, truncated or moved.
    bool Changed() const { return Written; }

private:
    bool ReadAt(long offset, char* data, std::size_t size);
    bool WriteAt(long offset, const char* data, std::size_t size);
    // Moves the bytes from `from` to the end so that they start at `to`, then ends the file there.
    void MoveTail(long from, long to);
    // Copies `length` bytes within the file with copy_file_range; false where the kernel cannot.
    bool MoveInKernel(long from, long to, long length);

    int Fd;
    long At = 0;
    void Fail(int error)
    {
        Failure = true;
        if (FirstError == 0)
            FirstError = error;
    }

    bool Failure = false;
    int FirstError = 0;
    bool Written = false;
    bool KernelMove = true;
};

#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// What an extraction run tells the user on standard error while it copies. On a terminal, one
// line redrawn in place a few times a second: files done of total, bytes done of total, rate and
// time left. Otherwise one plain line per file, so that a log stays readable.
class ExtractProgress {
public:
    ExtractProgress(int totalFiles, std::uint64_t totalBytes);

    // Bytes of the file being copied so far.
    void Copying(std::uint64_t fileBytes);
    // The file's bytes are all written; it waits to be put in place with its group.
    void Written(std::uint64_t fileBytes);
    // The file is in place.
    void Copied(const std::string& destination);
    // The file is not copied after all (kept as it was, or failed): it leaves the totals, and
    // its bytes leave those done when they were `written`.
    void Dropped(std::uint64_t fileBytes, bool written = false);
    // A line of its own (a failure, a question), printed above the progress line.
    void Message(const std::string& line);
    // Clears the progress line.
    void Finish();
    // Time spent waiting for the user, which the rate must not count.
    void Waited(std::chrono::steady_clock::duration pause) { Start += pause; }

    // "1.5 MiB"; used by the run's summary as well.
    static std::string Bytes(std::uint64_t bytes);

private:
    void Draw(bool force);
    void Clear();

    const bool Terminal;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point LastDraw{};
    int TotalFiles;
    int FilesDone = 0;
    std::uint64_t TotalBytes;
    std::uint64_t BytesDone = 0;    // of files written
    std::uint64_t CurrentBytes = 0; // of the file being copied
    bool LineShown = false;
};

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
    // The file is not copied, not yet or not at all: its bytes leave the totals, and those done
    // when they were `written`. Failed and Kept count it as handled.
    void Dropped(std::uint64_t fileBytes, bool written = false);
    void Failed() { ++FilesFailed; }
    void Kept() { ++FilesKept; }
    // A line of its own (a failure, a question), printed above the progress line.
    void Message(const std::string& line);
    // Clears the progress line.
    void Finish();
    // Time spent waiting for the user, which the rate must not count.
    void Waited(std::chrono::steady_clock::duration pause) { Start += pause; }

    // From now on shows neither the progress line nor a line per file (--quiet); failures and
    // the summary still show.
    static void SetQuiet(bool quiet) { Quiet = quiet; }

    // "1.5 MiB"; used by the run's summary as well.
    static std::string Bytes(std::uint64_t bytes);

private:
    void Draw(bool force);
    void Clear();
    // "3/12 (1 failed)", or with `unit` " files" "3/12 files (1 failed)": every file handled,
    // copied or not, of all.
    std::string Counter(const char* unit) const;

    static inline bool Quiet = false;
    const bool Terminal;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point LastDraw{};
    int TotalFiles;
    int FilesDone = 0; // copied
    int FilesFailed = 0;
    int FilesKept = 0;
    std::uint64_t TotalBytes;
    std::uint64_t BytesDone = 0;    // of files written
    std::uint64_t CurrentBytes = 0; // of the file being copied
    bool LineShown = false;
    std::size_t ShownLength = 0;
};

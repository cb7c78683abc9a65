#pragma once

#include "ExtractRun.h"

#include <chrono>
#include <cstdint>
#include <string>

// What an extraction run tells the user on standard error while it copies. On a terminal, one
// line redrawn in place a few times a second: files done of total, bytes done of total, rate and
// time left. Otherwise one plain line per file, so that a log stays readable.
class ExtractProgress {
public:
    ExtractProgress();

    // Where the run stands: files handled of all, bytes written of all.
    void Update(const RunProgress& progress);
    // The file is in place (counted by the Update before).
    void Copied(const std::string& destination);
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
    RunProgress Now; // as the run last told it
    bool LineShown = false;
    std::size_t ShownLength = 0;
};

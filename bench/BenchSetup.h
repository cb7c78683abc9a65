#pragma once

#include "ItdbWriter.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

// Shared set-up of the benchmarks.

// Takes "--tracks N" out of the command line (keeping `tracks` when absent) and returns the
// other arguments, for Google Benchmark to read.
inline std::vector<char*> TakeTracksOption(int argc, char** argv, int& tracks)
{
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tracks") == 0 && i + 1 < argc)
            tracks = std::atoi(argv[++i]);
        else
            args.push_back(argv[i]);
    }
    return args;
}

// Writes the large database of `tracks` tracks to `path`; nullopt, and the reason on standard
// error, when the file cannot be written.
inline std::optional<itdbwriter::LargeDatabaseSummary> WriteBenchDatabase(const std::string& path, int tracks)
{
    itdbwriter::LargeDatabaseOptions options;
    options.TrackCount = tracks;
    const auto summary = itdbwriter::WriteLargeDatabase(path, options);
    if (summary.FileSize == 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return std::nullopt;
    }
    return summary;
}

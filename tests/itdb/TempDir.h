#pragma once

#include "ItdbWriter.h"

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

// A private folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        static std::atomic<unsigned> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            Path = base / ("varnel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
            if (std::filesystem::create_directory(Path)) // throws when the folder cannot be made
                break;
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (Path / name).string(); }

    // Writes the bytes to a new file in the folder and returns its path. Throws when the file
    // cannot be written, so that no test goes on to read a file that is not there.
    std::string Write(const std::string& name, const itdbwriter::Bytes& bytes) const
    {
        const std::string path = File(name);
        if (!itdbwriter::WriteFile(path, bytes))
            throw std::runtime_error("cannot write " + path);
        return path;
    }

private:
    std::filesystem::path Path;
};

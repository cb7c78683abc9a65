#pragma once

#include "CopyHooks.h"
#include "FileCopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;


inline CopyOptions Chunks(std::size_t bytes, bool kernel)
{
    CopyOptions options;
    options.ChunkBytes = bytes;
    options.KernelCopy = kernel;
    return options;
}

inline std::string Bytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 977) & 0xFF);
    return bytes;
}

class CopyFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("varnel-copy-" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir / "out");
    }
    void TearDown() override
    {
        SetCopyHooks(nullptr);
        if (Mounted)
            ::umount2((Dir / "out").c_str(), MNT_DETACH);
        fs::remove_all(Dir);
    }

    std::string Make(const std::string& name, const std::string& content)
    {
        const fs::path path = Dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // What the destination folder holds besides the named files: leftovers of a copy.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Dir / "out"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Out(const std::string& name) const { return (Dir / "out" / name).string(); }

    // Installs `hooks` for the rest of the test.
    void Hook(const CopyHooks& hooks)
    {
        Hooks = hooks;
        SetCopyHooks(&Hooks);
    }
    static std::uint32_t Mode(const std::string& path)
    {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    fs::path Dir;
    CopyHooks Hooks;
    bool Mounted = false;
};


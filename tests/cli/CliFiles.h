#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

// Files that the command line's tests write and look at.

inline std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Every file below `folder`, by its path relative to it, with its content.
inline std::map<std::string, std::string> FilesBelow(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder))
        return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_directory())
            files[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path());
    }
    return files;
}

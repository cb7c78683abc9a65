// Writes the photo fuzzer's seeds into the folder given: for each family of player, a Photo
// Database of two photos written by libgpod, with the pixels of the first one's largest stored
// size, in the fuzzer's input layout (the family's byte, the database's length, the database,
// the pixels).
//   MakePhotoSeeds FOLDER

#include "PhotoFixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<char> FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: MakePhotoSeeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    struct Family {
        char Byte; // as the fuzzer numbers the families
        const char* Model;
        const char* LargestFile;
    };
    const Family families[] = {{1, "MB029", "F1067_1.ithmb"}, {2, "MA002", "F1019_1.ithmb"},
                               {3, "M9829", "F1013_1.ithmb"}, {4, "MA477", "F1023_1.ithmb"}};
    using photofixtures::SourcePicture;
    for (const Family& family : families) {
        const std::filesystem::path player = folder / (std::string("player-") + family.Model);
        const std::string problem = photofixtures::WritePhotoPlayer(player.string(), family.Model,
                                                                    {SourcePicture(40, 30), SourcePicture(30, 40)}, {{"Album", {1}}});
        if (!problem.empty()) {
            std::fprintf(stderr, "MakePhotoSeeds: %s\n", problem.c_str());
            return 1;
        }
        const std::vector<char> database = FileBytes(player / "Photos" / "Photo Database");
        // The first photo's pixels only: the sizes of the second lie past them, which the
        // fuzzer takes as a damaged file.
        std::vector<char> pixels = FileBytes(player / "Photos" / "Thumbs" / family.LargestFile);
        pixels.resize(pixels.size() / 2);
        std::ofstream seed(folder / family.Model, std::ios::binary);
        const std::uint32_t length = static_cast<std::uint32_t>(database.size());
        const char head[5] = {family.Byte, char(length), char(length >> 8), char(length >> 16), char(length >> 24)};
        seed.write(head, 5).write(database.data(), std::streamsize(database.size()));
        seed.write(pixels.data(), std::streamsize(pixels.size()));
        std::filesystem::remove_all(player);
    }
    return 0;
}

// A main window with a fake player's database open and every row selected, for the end-to-end
// check of extraction under a real display (extract-e2e.sh drives it from outside).
//
//   ExtractSession --make-player DIR [LARGE_FILES MIB]   writes a fake player, prints
//                                                        "<source>\t<expected copy name>" lines
//   ExtractSession DIR                                   opens the player at DIR

#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "ProgramIcon.h"
#include "TMainForm.h"
#include "TrackListModel.h"
#include "VarnelApplication.h"

#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::int32_t number;
    std::u16string title;
    std::u16string artist;
    std::string location; // below the root, with "/"
    std::string stored;   // as the database spells it
    std::string copyName; // under the default template
    std::size_t bytes;
};

void WriteContent(const std::string& path, std::size_t bytes, unsigned seed)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    std::string block(1024 * 1024, '\0');
    for (std::size_t done = 0; done < bytes;) {
        for (std::size_t i = 0; i < block.size(); i += 512)
            block[i] = static_cast<char>(seed * 31 + done / 512 + i);
        const std::size_t n = std::min(block.size(), bytes - done);
        out.write(block.data(), static_cast<std::streamsize>(n));
        done += n;
    }
}

int MakePlayer(const std::string& root, int largeFiles, int mib)
{
    std::vector<Entry> entries = {
        {1, u"Intro", u"Up/Down", "iPod_Control/Music/F00/ABCD.mp3", ":iPod_Control:Music:F00:ABCD.mp3",
         "1 - Intro - Up_Down.mp3", 300000},
        {2, u"Группа крови", u"Кино", "iPod_Control/Music/f01/EFGH.m4a", ":iPod_Control:Music:F01:EFGH.m4a",
         "2 - Группа крови - Кино.m4a", 500000},
        {3, u"No extension & more", u"Band", "iPod_Control/Music/F02/IJKL", ":iPod_Control:Music:F02:IJKL",
         "3 - No extension & more - Band", 1000},
        {4, u"Empty", u"Band", "iPod_Control/Music/F02/MNOP.mp3", ":iPod_Control:Music:F02:MNOP.mp3",
         "4 - Empty - Band.mp3", 0},
    };
    for (int i = 0; i < largeFiles; ++i) {
        const std::string name = "LONG" + std::to_string(i) + ".m4v";
        const std::string number = std::to_string(10 + i);
        entries.push_back({10 + i, u"Concert film part", u"Band", "iPod_Control/Music/F03/" + name,
                           ":iPod_Control:Music:F03:" + name, number + " - Concert film part - Band.m4v",
                           static_cast<std::size_t>(mib) * 1024 * 1024});
    }
    std::vector<itdbwriter::TrackSpec> records;
    std::vector<std::int32_t> ids;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const auto id = static_cast<std::int32_t>(1000 + i);
        itdbwriter::TrackSpec record = itdbwriter::Track(id, e.title, std::u16string(e.stored.begin(), e.stored.end()),
                                                       u"Album", e.artist);
        record.TrackNumber = e.number;
        records.push_back(record);
        ids.push_back(id);
        WriteContent(root + "/" + e.location, e.bytes, static_cast<unsigned>(i));
        std::printf("%s/%s\t%s\n", root.c_str(), e.location.c_str(), e.copyName.c_str());
    }
    itdbwriter::Database db;
    db.AddTracks(records);
    db.AddPlaylists({itdbwriter::Playlist(u"Demo iPod", true, ids)});
    std::filesystem::create_directories(root + "/iPod_Control/iTunes");
    return db.WriteTo(root + "/iPod_Control/iTunes/iTunesDB") ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--make-player") == 0)
        return MakePlayer(argv[2], argc >= 4 ? std::atoi(argv[3]) : 0, argc >= 5 ? std::atoi(argv[4]) : 0);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ExtractSession DIR | --make-player DIR [LARGE_FILES MIB]\n");
        return 2;
    }
    const std::string root = argv[1];
    VarnelApplication app(argc, argv);
    QApplication::setApplicationName("Varnel");
    QApplication::setWindowIcon(ProgramIcon());
    TMainForm form;
    form.Database = std::make_unique<ITDBParser>(root + "/iPod_Control/iTunes/iTunesDB");
    if (form.Database->Parse(-1) <= 0)
        return 1;
    form.IPodDrive = root;
    std::vector<const OneTrack*> rows;
    for (const OnePlaylist& playlist : form.Database->GetPlaylists()) {
        if (playlist.IsMaster()) {
            for (const std::int32_t id : playlist.GetItems())
                rows.push_back(form.Database->FindTrack(id));
        }
    }
    form.TrackListItems->Reset(rows);
    form.show();
    form.TrackList->selectAll();
    form.TrackList->setFocus();
    return VarnelApplication::exec();
}

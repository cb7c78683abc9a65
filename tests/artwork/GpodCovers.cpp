// Makes a classic player's folder with libgpod, an independent writer of the artwork database:
// one track per picture given, each with a cover of one flat colour, so that tests can check
// that every cover read back is whole and free of the black bars the player pads it with.
//
//   GpodCovers FOLDER WIDTHxHEIGHT...
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gpod/itdb.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: GpodCovers FOLDER WIDTHxHEIGHT...\n");
        return 2;
    }
    // MB029, an 80 GB classic, whose covers are 320 x 320, 128 x 128 and 56 x 56; its database is
    // signed with a hash of the player's FireWire id.
    const std::string root = argv[1];
    for (const char* folder : {"/iPod_Control/Device", "/iPod_Control/iTunes", "/iPod_Control/Artwork"})
        g_mkdir_with_parents((root + folder).c_str(), 0755);
    const char* sysInfo = "ModelNumStr: xB029\nFirewireGuid: 0x000A27001C9A37E5\n";
    if (!g_file_set_contents((root + "/iPod_Control/Device/SysInfo").c_str(), sysInfo, -1, nullptr))
        return 1;
    Itdb_iTunesDB* db = itdb_new();
    itdb_set_mountpoint(db, root.c_str());
    Itdb_Playlist* master = itdb_playlist_new("Covers", FALSE);
    itdb_playlist_set_mpl(master);
    itdb_playlist_add(db, master, -1);
    GError* error = nullptr;
    for (int i = 2; i < argc; ++i) {
        int width = 0, height = 0;
        if (std::sscanf(argv[i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0)
            return 2;
        Itdb_Track* track = itdb_track_new();
        const std::string title = std::string("Cover ") + argv[i];
        track->title = g_strdup(title.c_str());
        track->mediatype = ITDB_MEDIATYPE_AUDIO;
        track->filetype = g_strdup("MPEG audio file");
        track->ipod_path = g_strdup((":iPod_Control:Music:F00:C" + std::to_string(i) + ".mp3").c_str());
        GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
        gdk_pixbuf_fill(picture, 0xE0A040FF);
        itdb_track_add(db, track, -1);
        itdb_playlist_add_track(master, track, -1);
        if (!itdb_track_set_thumbnails_from_pixbuf(track, picture))
            return 1;
        g_object_unref(picture);
    }
    const bool written = itdb_write(db, &error);
    if (!written)
        std::fprintf(stderr, "%s\n", error ? error->message : "cannot write the player");
    itdb_free(db);
    return written ? 0 : 1;
}

#include "FatMount.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quoted(const std::string& path)
{
    std::string quoted = "'";
    for (const char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

FatMount::FatMount(const std::string& folder) : Point(folder + "/fat")
{
    const std::string image = folder + "/fat.img";
    if (::geteuid() != 0)
        Missing = "mounting a FAT image needs root";
    else if (::access("/dev/fuse", R_OK | W_OK) != 0)
        Missing = "no /dev/fuse";
    else if (!Run("command -v fusefat") || !Run("command -v mkfs.vfat"))
        Missing = "fusefat or mkfs.vfat is not installed";
    else if (!Run("truncate -s 16M " + Quoted(image)) || !Run("mkfs.vfat " + Quoted(image)) || ::mkdir(Point.c_str(), 0755) != 0)
        Missing = "the FAT image could not be made";
    else if (!Run("fusefat -o rw+ " + Quoted(image) + " " + Quoted(Point)))
        Missing = "fusefat could not mount the image";
    if (!Missing.empty())
        return;
    struct stat root {}, parent {};
    Mounted = ::stat(Point.c_str(), &root) == 0 && ::stat(folder.c_str(), &parent) == 0 && root.st_dev != parent.st_dev;
    if (!Mounted)
        Missing = "fusefat did not mount the image";
}

FatMount::~FatMount()
{
    if (!Mounted)
        return;
    // The file system stays busy for a moment after the last file is closed: FUSE releases
    // files after the close returns.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Run("umount " + Quoted(Point)))
            return;
        ::usleep(100'000);
    }
    Run("umount -l " + Quoted(Point));
}

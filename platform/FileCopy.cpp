#include "FileCopy.h"

#include "CopyFlush.h"
#include "CopyHooks.h"
#include "CopyTemporary.h"
#include "DestinationFolder.h"
#include "FileIo.h"
#include "PlayerDestination.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

CopyResult CopyFileAtomically(const std::string& source, const std::string& destination, const CopyProgress& progress,
                              const CopyOptions& options, bool replace, const CopyFinish& finish)
{
    CopyGroup group(options);
    CopyResult result = group.Add(source, destination, replace, progress, finish);
    if (!result)
        return result;
    return group.Commit().front();
}

std::string WriteFileAtomically(const std::string& path, std::string_view bytes, bool (*stop)(), const WriteGate* gate,
                                const char* refusal)
{
    // The folder is judged as it was opened; the name is then made and replaced within it.
    const DestinationFolder opened(FolderOf(path), gate);
    if (opened.Fd() < 0)
        return opened.Error() == kOnPlayerError && refusal ? refusal : DestinationErrorText(opened.Error());
    const std::size_t slash = path.find_last_of('/');
    return WriteFileInFolder(opened.Fd(), slash == std::string::npos ? path : path.substr(slash + 1), bytes, stop);
}

std::string WriteFileInFolder(int folder, const std::string& name, std::string_view bytes, bool (*stop)())
{
    int error = 0;
    {
        CopyTemporary temporary;
        error = temporary.Create(folder, UnnamedTemporariesCanBeLinked());
        // The old file's owner, group and permissions pass on where the file system keeps them;
        // where it makes them up (vfat, FUSE) and refuses to change them, the file is written all
        // the same. Only root may give a file away; others keep at least the group where they may.
        struct stat existing {};
        if (error == 0 && ::fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(existing.st_mode)) {
            if (::fchown(temporary.Fd(), existing.st_uid, existing.st_gid) != 0)
                (void)!::fchown(temporary.Fd(), static_cast<uid_t>(-1), existing.st_gid);
            (void)::fchmod(temporary.Fd(), existing.st_mode & 07777);
        }
        if (error == 0 && !WriteAll(temporary.Fd(), bytes.data(), bytes.size()))
            error = errno;
        if (error == 0)
            error = Flush(FlushKind::File, temporary.Fd());
        if (error == 0 && stop && stop())
            error = ECANCELED;
        if (const CopyHooks* hooks = CurrentCopyHooks(); error == 0 && hooks && hooks->AtStep)
            hooks->AtStep(CopyStep::NamingFile, name);
        if (error == 0)
            error = temporary.PutInPlace(name, true);
    }
    if (error == 0)
        error = Flush(FlushKind::Folder, folder);
    return error == 0 ? std::string() : std::strerror(error);
}

int CopyPercent(std::uint64_t total, std::uint64_t transferred)
{
    if (total == 0 || transferred >= total)
        return 100;
    return static_cast<int>(static_cast<unsigned __int128>(transferred) * 100 / total);
}

bool PathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool FolderExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

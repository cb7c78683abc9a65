#include "FileCopy.h"

#include "CopyFlush.h"
#include "CopyTemporary.h"
#include "FileIo.h"

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

std::string WriteFileAtomically(const std::string& path, std::string_view bytes, bool (*stop)(), const WriteGate*,
                                const char*)
{
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return std::strerror(errno);
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    int error = 0;
    {
        CopyTemporary temporary;
        error = temporary.Create(folder, UnnamedTemporariesCanBeLinked());
        // The old file's permissions pass on where the file system keeps them; where it makes
        // them up (vfat, FUSE) and refuses to change them, the file is written all the same.
        struct stat existing {};
        if (error == 0 && ::fstatat(folder, name.c_str(), &existing, 0) == 0 && S_ISREG(existing.st_mode))
            (void)::fchmod(temporary.Fd(), existing.st_mode & 07777);
        if (error == 0 && !WriteAll(temporary.Fd(), bytes.data(), bytes.size()))
            error = errno;
        if (error == 0)
            error = Flush(FlushKind::File, temporary.Fd());
        if (error == 0 && stop && stop())
            error = ECANCELED;
        if (error == 0)
            error = temporary.PutInPlace(name, true);
    }
    if (error == 0)
        error = Flush(FlushKind::Folder, folder);
    ::close(folder);
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

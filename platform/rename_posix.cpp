#include "rename_p.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace detail {

namespace {
bool exists(const char *name)
{
    struct stat st;
    return lstat(name, &st) == 0;
}

// The folder part of a name, "." when it has none.
std::string folderOf(const char *name)
{
    std::string s(name);
    const auto slash = s.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : s.substr(0, slash);
}
} // namespace

int codeForErrno(int err, const char *from, const char *to)
{
    switch (err) {
    case ENOENT:
        // The system says only that some part of a name is missing: tell a
        // missing level file from a missing folder in either name.
        if (!exists(folderOf(from).c_str()))
            return PathNotFound;
        if (!exists(from))
            return FileNotFound;
        return PathNotFound;
    case ENOTDIR:
        return PathNotFound;
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
        return FileAlreadyExists;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return BadFileName;
    case EXDEV:
        return RenameAcrossDisks;
    case EACCES:
    case EPERM:
    case EROFS:
        return PermissionDenied;
    case EIO:
        return DeviceIoError;
    case ENOSPC:
    case EDQUOT:
        return DiskFull;
    case EMFILE:
    case ENFILE:
        return TooManyFiles;
    default:
        (void)to;
        return PathFileAccessError;
    }
}

int renameExclusive(const char *from, const char *to, bool &unsupported)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return RenameOk;
    const int err = errno;
    // EINVAL is also what a file system without the no-replace flag answers;
    // the next way finds out which it was.
    unsupported = err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
    return unsupported ? PathFileAccessError : codeForErrno(err, from, to);
}

int renameByLink(const char *from, const char *to, bool &unsupported)
{
    // A second name for the file fails atomically when `to` exists; only
    // then is the old name dropped.
    if (linkat(AT_FDCWD, from, AT_FDCWD, to, 0) != 0) {
        const int err = errno;
        // EPERM: no hard links on this file system, or `from` is a folder.
        unsupported = err == EPERM || err == EOPNOTSUPP || err == EMLINK;
        return unsupported ? PathFileAccessError : codeForErrno(err, from, to);
    }
    if (unlink(from) != 0) {
        const int err = errno;
        unlink(to); // back to the one name it had; the file itself was never touched
        return codeForErrno(err, from, to);
    }
    return RenameOk;
}

int renameAfterCheck(const char *from, const char *to)
{
    // Last resort, for folders and for file systems that offer neither of the
    // ways above. The target name is taken first, by an entry only this call
    // creates, so one that appears meanwhile makes this call fail instead of
    // being replaced; the rename then replaces only that empty stand-in.
    struct stat source;
    if (lstat(from, &source) != 0)
        return codeForErrno(errno, from, to);
    const bool folder = S_ISDIR(source.st_mode);
    if (folder) {
        if (mkdir(to, 0700) != 0)
            return codeForErrno(errno, from, to);
    } else {
        const int fd = open(to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return codeForErrno(errno, from, to);
        close(fd);
    }
    if (std::rename(from, to) == 0)
        return RenameOk;
    const int err = errno;
    if (folder)
        rmdir(to); // fails, and so keeps it, if anything was put into it
    else
        unlink(to);
    return codeForErrno(err, from, to);
}

FallbackSeam &fallbackSeam()
{
    static FallbackSeam seam;
    return seam;
}

} // namespace detail

int renameNoReplace(const std::filesystem::path &from, const std::filesystem::path &to)
{
    if (holdsNul(from) || holdsNul(to))
        return BadFileName;
    detail::FallbackSeam &seam = detail::fallbackSeam();
    bool unsupported = seam.exclusiveUnsupported;
    int code = unsupported ? PathFileAccessError
                           : detail::renameExclusive(from.c_str(), to.c_str(), unsupported);
    if (!unsupported)
        return code;
    if (seam.beforeFallback)
        seam.beforeFallback();
    unsupported = seam.linkUnsupported;
    code = unsupported ? PathFileAccessError
                       : detail::renameByLink(from.c_str(), to.c_str(), unsupported);
    if (!unsupported)
        return code;
    if (seam.beforeFallback)
        seam.beforeFallback();
    return detail::renameAfterCheck(from.c_str(), to.c_str());
}

} // namespace platform

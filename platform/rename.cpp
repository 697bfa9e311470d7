#include "rename.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
// A name with a NUL in it would reach the system cut short, naming another file.
bool holdsNul(const std::filesystem::path &name)
{
    return name.native().find(std::filesystem::path::value_type(0)) !=
           std::filesystem::path::string_type::npos;
}
} // namespace

#ifdef _WIN32

namespace {
int codeForWindowsError(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return PathNotFound;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return FileAlreadyExists;
    case ERROR_NOT_SAME_DEVICE:
        return RenameAcrossDisks;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return PermissionDenied;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
        return BadFileName;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return DiskFull;
    case ERROR_TOO_MANY_OPEN_FILES:
        return TooManyFiles;
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
        return DeviceIoError;
    default:
        return PathFileAccessError;
    }
}
bool hasOverlongPart(const std::filesystem::path &name)
{
    for (const auto &part : name)
        if (part.native().size() > 255) // the longest name a folder entry holds
            return true;
    return false;
}
} // namespace

int renameNoReplace(const std::filesystem::path &from, const std::filesystem::path &to)
{
    if (holdsNul(from) || holdsNul(to))
        return BadFileName;
    // Neither MOVEFILE_REPLACE_EXISTING nor MOVEFILE_COPY_ALLOWED: the system
    // refuses an existing target and a move to another drive instead of
    // replacing or copying.
    if (MoveFileExW(from.c_str(), to.c_str(), 0))
        return RenameOk;
    const DWORD error = GetLastError();
    // Some systems answer "file not found" for a target name they cannot
    // hold; with the source there, that would blame the wrong file.
    if (error == ERROR_FILE_NOT_FOUND &&
        GetFileAttributesW(from.c_str()) != INVALID_FILE_ATTRIBUTES)
        return hasOverlongPart(to) ? BadFileName : PathNotFound;
    return codeForWindowsError(error);
}

#else

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

#endif

} // namespace platform

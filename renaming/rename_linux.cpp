#include "rename_p.h"
#include "samename.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace renaming {

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

std::string nameOf(const char *name)
{
    const char *slash = std::strrchr(name, '/');
    return slash ? slash + 1 : name;
}

// Whether `to` finds the entry `from` names under another letter case, as on
// a file system that ignores case: something answers to `to`, yet no entry in
// the folder is spelled `to`.
bool isOtherSpellingOf(const char *from, const char *to)
{
    const std::string folder = folderOf(to), name = nameOf(to);
    if (folderOf(from) != folder || nameOf(from) == name ||
        !sameNameIgnoringCase(QByteArrayView(nameOf(from)), QByteArrayView(name)))
        return false;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return false;
    bool listed = false;
    while (const dirent *entry = readdir(dir))
        if (name == entry->d_name)
            listed = true;
    closedir(dir);
    return !listed;
}

} // namespace

// Whether `device` is FAT through FUSE (fusefat).
bool isFuseFat(dev_t device)
{
    const std::string id = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::ifstream mounts("/proc/self/mountinfo");
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string mountId, parentId, deviceId;
        fields >> mountId >> parentId >> deviceId;
        if (deviceId == id)
            return line.find(" - fuse.fusefat ") != std::string::npos;
    }
    return false;
}

RenameCode codeForErrno(int err, const char *from, const char *to)
{
    switch (err) {
    case ENOENT:
        // The system says only that some part of a name is missing: tell a
        // missing level file from a missing folder in either name.
        if (!exists(folderOf(from).c_str()))
            return PathNotFound;
        if (!exists(from))
            return FileNotFound;
        if (!exists(folderOf(to).c_str()))
            return PathNotFound;
        // Both folders and the source are there: the file system cannot hold
        // the new name (exFAT refuses the characters Windows refuses).
        return BadFileName;
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

RenameCode renameExclusive(const char *from, const char *to, bool &unsupported)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return RenameOk;
    const int err = errno;
    // EINVAL is also what a file system without the no-replace flag answers;
    // the next way finds out which it was.
    unsupported = err == EINVAL || err == ENOSYS || err == EOPNOTSUPP;
    return unsupported ? PathFileAccessError : codeForErrno(err, from, to);
}

RenameCode renameByLink(const char *from, const char *to, bool &unsupported)
{
    // A second name for the file fails atomically when `to` exists; only
    // then is the old name dropped.
    if (linkat(AT_FDCWD, from, AT_FDCWD, to, 0) != 0) {
        const int err = errno;
        // EPERM: no hard links on this file system. A folder never takes a
        // second name, whatever the system answered first.
        struct stat source;
        unsupported = err == EPERM || err == EOPNOTSUPP || err == EMLINK ||
                      (lstat(from, &source) == 0 && S_ISDIR(source.st_mode));
        return unsupported ? PathFileAccessError : codeForErrno(err, from, to);
    }
    if (unlink(from) != 0) {
        const int err = errno;
        unlink(to); // back to the one name it had; the file itself was never touched
        return codeForErrno(err, from, to);
    }
    return RenameOk;
}

RenameCode renameAfterCheck(const char *from, const char *to)
{
    // Last resort, for folders and for file systems with neither way above
    // (exFAT through FUSE, where a game on a USB stick or an SD card may sit).
    // These offer no way at all to give a file a name only if the name is
    // free, so the plain rename runs once the target name was found free: it
    // never renames over an entry, which some of them mishandle.
    //
    // What remains is the gap between the look-up and the rename: a few
    // microseconds, longer only if this process is put aside between the two
    // calls. A folder cannot lose a byte in it, as the system puts a folder
    // over neither a file nor a folder holding anything. A file that another
    // program creates under the target name inside the gap is replaced. No
    // way round that exists here; every other order is worse: taking the name
    // first with an empty stand-in and renaming over it keeps the name taken
    // for the whole call, silently swallows whatever any program appends to
    // the stand-in meanwhile, and renames over an entry on every call.
    //
    // FAT through FUSE gets no rename at all: that driver damages the file
    // system when a rename meets a name another program holds open (the gap
    // above) and when a name changes only in letter case, and it loses the
    // source of a rename it refuses and what a renamed folder holds. The
    // kernel's own FAT driver, which has the no-replace rename, serves instead.
    struct stat source, target;
    if (lstat(from, &source) != 0)
        return codeForErrno(errno, from, to);
    if (nameOf(to).size() > NAME_MAX)
        return BadFileName;
    // A fresh time slice, so that the scheduler does not part the look-up
    // from the rename.
    sched_yield();
    if (lstat(to, &target) == 0)
        return FileAlreadyExists;
    if (errno != ENOENT)
        return codeForErrno(errno, from, to);
    if (isFuseFat(source.st_dev))
        return PathFileAccessError;
    if (std::rename(from, to) == 0)
        return RenameOk;
    return codeForErrno(errno, from, to);
}

FallbackSeam &fallbackSeam()
{
    static FallbackSeam seam;
    return seam;
}

} // namespace detail

namespace {
RenameCode renameByTheWays(const char *from, const char *to)
{
    detail::FallbackSeam &seam = detail::fallbackSeam();
    bool unsupported = seam.exclusiveUnsupported;
    RenameCode code =
        unsupported ? PathFileAccessError : detail::renameExclusive(from, to, unsupported);
    if (!unsupported)
        return code;
    if (seam.beforeFallback)
        seam.beforeFallback();
    unsupported = seam.linkUnsupported;
    code = unsupported ? PathFileAccessError : detail::renameByLink(from, to, unsupported);
    if (!unsupported)
        return code;
    if (seam.beforeFallback)
        seam.beforeFallback();
    return detail::renameAfterCheck(from, to);
}
} // namespace

RenameCode renameNoReplace(const std::filesystem::path &from, const std::filesystem::path &to)
{
    if (holdsNul(from) || holdsNul(to))
        return BadFileName;
    const RenameCode code = renameByTheWays(from.c_str(), to.c_str());
    // Where letter case is ignored the new spelling finds the source itself,
    // and renaming it onto itself only changes its case.
    if (code == FileAlreadyExists && detail::isOtherSpellingOf(from.c_str(), to.c_str())) {
        struct stat source;
        if (lstat(from.c_str(), &source) == 0 && detail::isFuseFat(source.st_dev))
            return PathFileAccessError; // see renameAfterCheck
        return std::rename(from.c_str(), to.c_str()) == 0
                   ? RenameOk
                   : detail::codeForErrno(errno, from.c_str(), to.c_str());
    }
    return code;
}

} // namespace renaming

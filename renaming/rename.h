#pragma once

#include <filesystem>
#include <functional>

namespace renaming {

// Outcome of a rename, in the classic file-error numbers the user sees in the
// rename messages. The same numbers on every platform; never a raw errno.
enum RenameCode : int {
    RenameOk = 0,
    BadFileName = 52,
    FileNotFound = 53,
    DeviceIoError = 57,
    FileAlreadyExists = 58,
    DiskFull = 61,
    TooManyFiles = 67,
    PermissionDenied = 70,
    RenameAcrossDisks = 74,
    PathFileAccessError = 75,
    PathNotFound = 76,
};

// Renames `from` to `to` (relative names resolve against the current
// directory). Only the name changes: it never copies, and never replaces an
// existing `to`, not even one that appears while the rename is under way;
// on a file system with no way to promise the latter (exFAT and FAT through
// FUSE), only a file created in the instant before the rename could be.
RenameCode renameNoReplace(const std::filesystem::path &from, const std::filesystem::path &to);

#ifndef _WIN32
namespace detail {
// The ways renameNoReplace tries in turn on POSIX, reachable one by one so
// that each can be proved on any file system.
RenameCode renameExclusive(const char *from, const char *to, bool &unsupported);
RenameCode renameByLink(const char *from, const char *to, bool &unsupported);
RenameCode renameAfterCheck(const char *from, const char *to);
RenameCode codeForErrno(int err, const char *from, const char *to);

// Lets tests take renameNoReplace down the paths a file system without the
// earlier ways forces on it, and act where another process could.
struct FallbackSeam {
    bool exclusiveUnsupported = false;    // as if no RENAME_NOREPLACE
    bool linkUnsupported = false;         // as if no hard links
    std::function<void()> beforeFallback; // after a way stepped aside, before the next
};
FallbackSeam &fallbackSeam();
} // namespace detail
#endif

} // namespace renaming

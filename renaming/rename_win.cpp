#include "rename_p.h"

#include <windows.h>

namespace renaming {

namespace {
RenameCode codeForWindowsError(DWORD error)
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

RenameCode renameNoReplace(const std::filesystem::path &from, const std::filesystem::path &to)
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

} // namespace renaming

#include "console.h"

#include <cstdint>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace windowing {

namespace {
// Whether `stream` leads where its starter sent it: a file, a pipe or a
// device such as NUL ("> file", "| more", QProcess). A console's handle does
// not count: one passed down without the console serves only once the
// program is attached to that console.
bool redirected(FILE *stream)
{
    const int descriptor = _fileno(stream);
    const intptr_t value = descriptor < 0 ? -1 : _get_osfhandle(descriptor);
    if (value == -1 || value == -2 || value == 0)
        return false;
    const auto handle = reinterpret_cast<HANDLE>(value);
    DWORD mode = 0;
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
        return true;
    case FILE_TYPE_CHAR:
        return !GetConsoleMode(handle, &mode);
    default:
        return false;
    }
}
} // namespace

bool useStartingConsole()
{
    // Denied when the program has a console already (Wine gives one to a
    // windowed program that a console program starts).
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return true;
    if (!redirected(stdout))
        std::freopen("CONOUT$", "w", stdout);
    if (!redirected(stderr))
        std::freopen("CONOUT$", "w", stderr);
    return true;
}

} // namespace windowing

#include "console.h"

#include <cstdint>
#include <cstdio>
#include <io.h>
#include <windows.h>

namespace windowing {

namespace {
// Whether `stream` already leads somewhere: to the file, pipe or device its
// starter gave it (as "> file", "| more" and QProcess do), which stays.
bool leadsSomewhere(FILE *stream)
{
    const int descriptor = _fileno(stream);
    const intptr_t handle = descriptor < 0 ? -1 : _get_osfhandle(descriptor);
    return handle != -1 && handle != -2 && handle != 0 &&
           GetFileType(reinterpret_cast<HANDLE>(handle)) != FILE_TYPE_UNKNOWN;
}
} // namespace

void useStartingConsole()
{
    const bool out = leadsSomewhere(stdout), err = leadsSomewhere(stderr);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!out)
        std::freopen("CONOUT$", "w", stdout);
    if (!err)
        std::freopen("CONOUT$", "w", stderr);
}

bool canShowWindows(const char *)
{
    return true;
}

} // namespace windowing

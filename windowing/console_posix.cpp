#include "console.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace windowing {

bool useStartingConsole()
{
    std::signal(SIGPIPE, SIG_IGN);
    bool outputOpen = true;
    for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
        if (fcntl(stream, F_GETFD) >= 0 || errno != EBADF)
            continue;
        outputOpen = outputOpen && stream != STDOUT_FILENO;
        const int nowhere = open("/dev/null", stream == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (nowhere >= 0 && nowhere != stream) {
            dup2(nowhere, stream);
            close(nowhere);
        }
    }
    return outputOpen;
}

// Qt takes the first platform of a ";" list that starts, each with its
// options after a ":". X11 (xcb) and Wayland need a server named in the
// environment; the others (offscreen, minimal, vnc, eglfs, linuxfb) do not.
// The default is X11.
bool canShowWindows(const char *platform)
{
    std::string_view names = platform && *platform ? platform : "xcb";
    bool needsServer = true;
    while (needsServer && !names.empty()) {
        const std::string_view name = names.substr(0, names.find(';'));
        needsServer = name.empty() || name.starts_with("xcb") || name.starts_with("wayland");
        names.remove_prefix(std::min(names.size(), name.size() + 1));
    }
    const auto named = [](const char *variable) {
        const char *value = std::getenv(variable);
        return value && *value;
    };
    return !needsServer || named("DISPLAY") || named("WAYLAND_DISPLAY");
}

} // namespace windowing

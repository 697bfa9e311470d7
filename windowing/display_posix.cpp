#include "display.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace windowing {

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

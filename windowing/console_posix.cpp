#include "console.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
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

} // namespace windowing

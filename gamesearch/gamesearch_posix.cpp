#include "gamesearch.h"

#include <QDir>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace gamesearch {

namespace {

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void closeAllBut(int kept)
{
    for (int fd = 3; fd < kept; ++fd)
        close(fd);
    if (close_range(unsigned(kept) + 1, UINT_MAX, 0) == 0)
        return;
    for (long fd = kept + 1, last = sysconf(_SC_OPEN_MAX); fd < last; ++fd)
        close(int(fd));
}

// The search's own process: it answers through `answer` and ends. Its
// standard streams lead nowhere, so that a pipe the program writes to (a
// script's `| head`) ends when the program does, and it ends as soon as the
// program has gone, unless a file system holds it.
[[noreturn]] void searchProcess(int answer, const QString &home, const QString &winePrefix)
{
    const int null = open("/dev/null", O_RDWR);
    for (int stream = 0; stream < 3; ++stream)
        if (null >= 0 && null != stream)
            dup2(null, stream);
    closeAllBut(answer);
    std::signal(SIGPIPE, SIG_IGN);
    // Where the cores are busy, the window starting beside it goes first.
    (void)setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0) + 5);
    try {
        // A pipe's writing end reports an error once its reader has gone.
        std::thread([answer] {
            pollfd gone{answer, 0, 0};
            while (poll(&gone, 1, -1) < 0 && errno == EINTR) {
            }
            _exit(0);
        }).detach();
    } catch (const std::system_error &) {
    }
    const QByteArray bytes = answerBytes(findGame(home, winePrefix));
    const qint64 size = bytes.size();
    writeAll(answer, reinterpret_cast<const char *>(&size), sizeof size);
    writeAll(answer, bytes.constData(), size_t(size));
    _exit(0);
}

} // namespace

std::shared_ptr<GameSearch> GameSearch::start()
{
    const QString home = QDir::homePath();
    const QString winePrefix = qEnvironmentVariable("WINEPREFIX");
    auto search = std::make_shared<GameSearch>();
    search->unanswered_ = gameNotFound(home, winePrefix);
    search->unanswered_.trail << QStringLiteral("the search ended without an answer");
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        search->deliver(findGame(home, winePrefix));
        return search;
    }
    // The search's process is a grandchild, whose end the system sees to: the
    // program never waits for it, nor leaves it a zombie. The child between
    // them ends at once; it is reaped once the answer has come, without
    // waiting, so that the window's start waits for no process.
    const pid_t child = fork();
    if (child == 0) {
        if (fork() == 0)
            searchProcess(ends[1], home, winePrefix);
        _exit(0);
    }
    close(ends[1]);
    if (child < 0) {
        close(ends[0]);
        search->deliver(findGame(home, winePrefix));
        return search;
    }
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    search->pipe_ = ends[0];
    search->child_ = child;
    return search;
}

GameSearch::~GameSearch()
{
    delete notifier_;
    if (pipe_ >= 0)
        close(pipe_);
    reap();
}

void GameSearch::reap()
{
    if (child_ > 0 && waitpid(child_, nullptr, WNOHANG) != 0)
        child_ = 0;
}

// Takes what has come through the pipe; true once the answer is whole. A
// search process that ended without a whole answer (it crashed, or it was
// killed) found nothing.
bool GameSearch::readAnswer(bool block)
{
    while (pipe_ >= 0 && !answer_) {
        char buffer[16384];
        const ssize_t n = read(pipe_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (!block)
                return false;
            pollfd readable{pipe_, POLLIN, 0};
            poll(&readable, 1, -1);
            continue;
        }
        if (n > 0)
            received_.append(buffer, n);
        qint64 size = -1;
        if (received_.size() >= qsizetype(sizeof size))
            std::memcpy(&size, received_.constData(), sizeof size);
        const bool whole = size >= 0 && received_.size() >= qsizetype(sizeof size) + size;
        if (!whole && n > 0)
            continue;
        std::optional<GameFolder> game;
        if (whole)
            game = answerFrom(received_.mid(sizeof size, size));
        close(std::exchange(pipe_, -1));
        received_.clear();
        reap();
        deliver(game ? std::move(*game) : unanswered_);
    }
    return answer_.has_value();
}

const GameFolder &GameSearch::wait()
{
    readAnswer(true);
    if (!answer_) // answered by deliver() alone: nothing else will come
        deliver(GameFolder());
    return *answer_;
}

} // namespace gamesearch

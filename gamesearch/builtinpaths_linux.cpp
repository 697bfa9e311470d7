#include "builtinpaths.h"

#include "wineprefixes.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

QString levelsFolder()
{
    return QString::fromUtf16(LevelsFolder);
}

// The part of `windowsPath` below the levels folder, if it is there.
std::optional<QString> belowLevels(const QString &windowsPath)
{
    const QString levels = levelsFolder();
    if (!windowsPath.startsWith(levels, Qt::CaseInsensitive))
        return std::nullopt;
    if (windowsPath.size() == levels.size())
        return QString();
    if (windowsPath.at(levels.size()) != QLatin1Char('\\'))
        return std::nullopt;
    return windowsPath.mid(levels.size() + 1);
}

// One launcher's search, or the look into the prefix $WINEPREFIX names,
// shared by the thread that runs it and the load that waits for its answer.
struct Part final : SearchLog {
    Part(std::mutex &mutex, const std::atomic<bool> &over, const QByteArray &start)
        : mutex(mutex), over(over), current(start)
    {}

    bool lookingAt(const QByteArray &place) override
    {
        if (over)
            return false;
        const std::lock_guard lock(mutex);
        current = place;
        return true;
    }
    void passedOver(const QByteArray &place, PassedOver why) override
    {
        QString line = QFile::decodeName(place) + QLatin1String(": ") + passedOverText(why);
        const std::lock_guard lock(mutex);
        trail << std::move(line);
    }

    std::mutex &mutex;
    const std::atomic<bool> &over;
    // Guarded by the mutex:
    QByteArray current;
    QStringList trail;
    bool done = false;
    PrefixFound found;
    QString fallback; // where the levels folder would be in the default prefix
};

struct Search {
    Search(const QString &home, const QString &winePrefix)
        : home(home), winePrefix(winePrefix), deadline(Clock::now() + SearchWait)
    {
        const QByteArray start = QFile::encodeName(winePrefix.isEmpty() ? home : winePrefix);
        for (int i = 0; i < (winePrefix.isEmpty() ? LauncherCount : 1); ++i)
            parts.push_back(std::make_unique<Part>(mutex, over, start));
    }

    const QString home;
    const QString winePrefix;
    const Clock::time_point deadline;
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> over = false; // answered: whatever still runs stops
    std::vector<std::unique_ptr<Part>> parts;
};

QString defaultPrefix(const Search &search)
{
    return search.winePrefix.isEmpty() ? search.home + QStringLiteral("/.wine") : search.winePrefix;
}

void runPart(Search &search, size_t index)
{
    Part &part = *search.parts[index];
    // With $WINEPREFIX only that prefix is used, as Wine itself does.
    const PrefixFound found = search.winePrefix.isEmpty()
                                  ? searchLauncher(int(index), search.home, levelsFolder(), part)
                                  : searchPrefix(search.winePrefix, levelsFolder(), part);
    QString fallback;
    if (index == 0 && found.folder.isEmpty() && !search.over)
        fallback = pathInPrefix(defaultPrefix(search), levelsFolder());
    const std::lock_guard lock(search.mutex);
    part.found = found;
    part.fallback = fallback;
    part.done = true;
    search.changed.notify_all();
}

// The answer, once every part before the first that found the game is done,
// or all are done without it, or the deadline has passed: then a part still
// running is passed over as timed out.
GameFolder settle(Search &search)
{
    std::unique_lock lock(search.mutex);
    const auto answered = [&] {
        for (const auto &part : search.parts)
            if (!part->done || !part->found.folder.isEmpty())
                return part->done;
        return true;
    };
    search.changed.wait_until(lock, search.deadline, answered);
    search.over = true;
    GameFolder game;
    for (const auto &part : search.parts) {
        game.trail += part->trail;
        if (!part->done) {
            game.trail << QFile::decodeName(part->current) + QLatin1String(": ") +
                              passedOverText(PassedOver::TimedOut);
        } else if (!part->found.folder.isEmpty()) {
            game.levels = part->found.folder;
            game.prefix = part->found.prefix;
            game.found = true;
            return game;
        }
    }
    game.prefix = defaultPrefix(search);
    // Where the default prefix did not answer, its path as written: asking
    // its file system again could hold the window.
    const Part &first = *search.parts.front();
    game.levels = first.done && !first.fallback.isEmpty()
                      ? first.fallback
                      : game.prefix + QLatin1String("/drive_c/") +
                            levelsFolder().mid(3).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return game;
}

// The search the window uses, begun for one home and $WINEPREFIX, and its
// answer once taken: taken once, so that the levels folder and every log path
// agree and the folder never changes under the user.
struct Current {
    std::mutex mutex;
    std::shared_ptr<Search> search;
    std::optional<GameFolder> answer;
};

Current &current()
{
    static Current current;
    return current;
}

QString homeFolder()
{
    return QDir::homePath();
}

// Each part on a thread of its own, left to itself: a thread stuck in the
// kernel on a file system that never answers keeps nothing waiting, and the
// program's exit ends it.
std::shared_ptr<Search> begin(const QString &home, const QString &winePrefix)
{
    auto search = std::make_shared<Search>(home, winePrefix);
    for (size_t i = 0; i < search->parts.size(); ++i) {
        try {
            std::thread([search, i] { runPart(*search, i); }).detach();
        } catch (const std::system_error &) {
            // No thread to spare: that part is passed over as timed out.
        }
    }
    return search;
}

} // namespace

QString GameFolder::hostPath(const QString &windowsPath) const
{
    static const QString drive = QStringLiteral("c:\\");
    if (!windowsPath.startsWith(drive, Qt::CaseInsensitive))
        return windowsPath;
    if (const std::optional<QString> rest = belowLevels(windowsPath)) {
        if (rest->isEmpty())
            return levels;
        // Only a folder that answered is asked for the names below it.
        if (found)
            return pathInFolder(levels, drive + *rest);
        return levels + QLatin1Char('/') +
               QString(*rest).replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    return prefix.isEmpty() ? windowsPath : pathInPrefix(prefix, windowsPath);
}

GameFolder findGame()
{
    Search search(homeFolder(), qEnvironmentVariable("WINEPREFIX"));
    for (size_t i = 0; i < search.parts.size(); ++i) {
        runPart(search, i);
        if (!search.parts[i]->found.folder.isEmpty())
            break;
    }
    return settle(search);
}

void beginGameSearch()
{
    Current &state = current();
    const std::lock_guard lock(state.mutex);
    state.search = begin(homeFolder(), qEnvironmentVariable("WINEPREFIX"));
    state.answer.reset();
}

GameFolder gameFolder()
{
    Current &state = current();
    const std::lock_guard lock(state.mutex);
    const QString home = homeFolder();
    const QString winePrefix = qEnvironmentVariable("WINEPREFIX");
    if (!state.search || state.search->home != home || state.search->winePrefix != winePrefix) {
        state.search = begin(home, winePrefix);
        state.answer.reset();
    }
    if (!state.answer)
        state.answer = settle(*state.search);
    return *state.answer;
}

QString hostPath(const QString &windowsPath)
{
    return gameFolder().hostPath(windowsPath);
}

} // namespace platform

#include "builtinpaths.h"

#include "asker.h"
#include "wineprefixes.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace gamesearch {

namespace {

QString levelsFolder()
{
    return QString::fromUtf16(LevelsFolder);
}

// The log's path below the levels folder, "c:\Renames.txt" as the folder's
// own drive would name it.
QString logBelowLevels()
{
    return QStringLiteral("c:") + QString::fromUtf16(DefaultLogPath).mid(levelsFolder().size());
}

// A place with its path as written, for what did not answer.
QString asWritten(const QString &drive, const QString &windowsPath)
{
    return drive + QLatin1Char('/') +
           windowsPath.mid(3).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// One launcher's search, or the look into the prefix $WINEPREFIX names.
struct Part final : SearchLog {
    Part(std::mutex &mutex, const std::atomic<bool> &over) : mutex(mutex), over(over) {}

    bool lookingAt(const QByteArray &) override { return !over; }
    void passedOver(const QByteArray &place, PassedOver why) override
    {
        QString line = QFile::decodeName(place) + QLatin1String(": ") + passedOverText(why);
        const std::lock_guard lock(mutex);
        trail << std::move(line);
    }

    std::mutex &mutex;
    const std::atomic<bool> &over;
    // Guarded by the mutex:
    QStringList trail;
    bool done = false;
    PrefixFound found;
};

// Shared by the parts' threads and the one that waits for the answer; a part
// may still be winding down when the answer is taken.
struct Search {
    Search(const QString &home, const QString &winePrefix, std::chrono::milliseconds stallLimit)
        : home(home), winePrefix(winePrefix), asker(stallLimit)
    {
        for (int i = 0; i < (winePrefix.isEmpty() ? LauncherCount : 1); ++i)
            parts.push_back(std::make_unique<Part>(mutex, over));
    }

    const QString home;
    const QString winePrefix;
    Asker asker;
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> over = false; // answered: whatever still runs stops
    std::vector<std::unique_ptr<Part>> parts;
};

void runPart(Search &search, size_t index)
{
    Part &part = *search.parts[index];
    // With $WINEPREFIX only that prefix is used, as Wine itself does.
    const PrefixFound found =
        search.winePrefix.isEmpty()
            ? searchLauncher(int(index), search.home, levelsFolder(), part, search.asker)
            : searchPrefix(search.winePrefix, levelsFolder(), part, search.asker);
    const std::lock_guard lock(search.mutex);
    part.found = found;
    part.done = true;
    search.changed.notify_all();
}

QString defaultPrefix(const QString &home, const QString &winePrefix)
{
    return winePrefix.isEmpty() ? home + QStringLiteral("/.wine") : winePrefix;
}

} // namespace

GameFolder gameNotFound(const QString &home, const QString &winePrefix)
{
    GameFolder game;
    game.prefix = defaultPrefix(home, winePrefix);
    game.levels = asWritten(game.prefix + QLatin1String("/drive_c"), levelsFolder());
    game.log =
        asWritten(game.prefix + QLatin1String("/drive_c"), QString::fromUtf16(DefaultLogPath));
    return game;
}

GameFolder findGame(const QString &home, const QString &winePrefix,
                    std::chrono::milliseconds stallLimit)
{
    const auto search = std::make_shared<Search>(home, winePrefix, stallLimit);
    // Each part on a thread of its own; a part waits only for the asker,
    // which gives up on a place that does not answer.
    for (size_t i = 0; i < search->parts.size(); ++i) {
        try {
            std::thread([search, i] { runPart(*search, i); }).detach();
        } catch (const std::system_error &) {
            runPart(*search, i); // no thread to spare: here, in turn
        }
    }
    GameFolder game;
    {
        // The first part in launcher order that found the game, once every
        // part before it is done; a later part's earlier answer waits.
        std::unique_lock lock(search->mutex);
        const auto decided = [&] {
            for (const auto &part : search->parts)
                if (!part->done || !part->found.folder.isEmpty())
                    return part->done;
            return true;
        };
        search->changed.wait(lock, decided);
        search->over = true;
        for (const auto &part : search->parts) {
            game.trail += part->trail;
            if (part->done && !part->found.folder.isEmpty()) {
                game.levels = part->found.folder;
                game.prefix = part->found.prefix;
                game.found = true;
                break;
            }
        }
    }
    // The paths as this machine spells them, or as written where its file
    // system does not answer.
    if (game.found) {
        const QString levels = game.levels;
        game.log =
            search->asker.ask<QString>([=] { return pathInFolder(levels, logBelowLevels()); })
                .value_or(asWritten(levels, logBelowLevels()));
        return game;
    }
    GameFolder notFound = gameNotFound(home, winePrefix);
    notFound.trail = game.trail;
    const QString prefix = notFound.prefix;
    for (auto [path, windowsPath] : {std::pair(&notFound.levels, levelsFolder()),
                                     std::pair(&notFound.log, QString::fromUtf16(DefaultLogPath))})
        *path = search->asker.ask<QString>([=] { return pathInPrefix(prefix, windowsPath); })
                    .value_or(*path);
    return notFound;
}

} // namespace gamesearch

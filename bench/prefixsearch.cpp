// What finding the game costs at start-up when the user has a Steam library
// of 300 (or 5,000) Proton prefixes and the game is in a second library: the
// whole search, run to its end, against the one look-up of the levels folder
// that a set WINEPREFIX needs. The window waits for it at most SearchWait.
//
// usage: bench_prefixsearch [PREFIXES] [RUNS]

#include "benchutil.h"
#include "builtinpaths.h"
#include "steamhome.h"
#include "wineprefixes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char *argv[])
{
    const int prefixes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 21;
    const QString levelsFolder = QStringLiteral("c:\\Program Files\\Quenmark\\Vantorel\\levels");

    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    const QString levels = QFile::decodeName(
        bench::makeSteamHome(QFile::encodeName(home.path()).toStdString(), prefixes).c_str());
    const QString prefix = QDir::cleanPath(levels + "/../../../../..");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("WINEPREFIX");

    std::vector<double> ours, baseline;
    for (int i = 0; i < runs; ++i) {
        double t0 = bench::nowMs();
        const QString found = gamesearch::findGame(home.path(), QString()).prefix;
        ours.push_back(bench::nowMs() - t0);
        t0 = bench::nowMs();
        bool there = false;
        gamesearch::pathInPrefix(prefix, levelsFolder, &there);
        baseline.push_back(bench::nowMs() - t0);
        if (found != prefix || !there) {
            std::fprintf(stderr, "the search found \"%s\", not \"%s\"\n", qPrintable(found),
                         qPrintable(prefix));
            return 1;
        }
    }
    bench::report("prefixsearch." + std::to_string(prefixes) + "-proton", ours, baseline, "ms");
    return 0;
}

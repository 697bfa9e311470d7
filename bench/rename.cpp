// The main window's rename routine with the message box replaced by a sink
// that does nothing, against the bare no-replace rename system call on the
// same file system, each over 10,000 renames back and forth.
//
// usage: bench_rename [ROUNDS]

#include "benchutil.h"
#include "mainwindow.h"
#include "offscreen.h"
#include "services.h"
#include "singlewindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <stdio.h>

struct RenameLevelFileBench {
    static void rename(Renamer &window, const QString &from, const QString &to)
    {
        window.RenameLevelFile(from, to);
    }
};

namespace {
constexpr int Renames = 10000;

bool bareRename(const char *from, const char *to)
{
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0;
}
} // namespace

int main(int argc, char *argv[])
{
    bench::useQuietOffscreenPlatform();
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;

    // The program's own levels folder, in a scratch prefix.
    QTemporaryDir scratch;
    const QString levels = scratch.path() + "/drive_c/Program Files/Quenmark/Vantorel/levels";
    if (!scratch.isValid() || !QDir().mkpath(levels))
        return 1;
    qputenv("WINEPREFIX", QFile::encodeName(scratch.path()));
    {
        QFile level(levels + "/levl2131.DAT");
        if (!level.open(QIODevice::WriteOnly) || level.write("level") != 5)
            return 1;
    }
    Renamer &window = windowing::Single<Renamer>::get();
    if (QDir::currentPath() != QDir(levels).canonicalPath()) {
        std::fprintf(stderr, "the levels folder was not made current\n");
        return 1;
    }

    int succeeded = 0;
    windowing::setMessageSink(
        [&succeeded](const QString &text) { succeeded += text.endsWith(QLatin1String(" OK")); });
    const QString a = QStringLiteral("levl2131.DAT");
    const QString b = QStringLiteral("levl2001.DAT");

    std::vector<double> ours, baseline;
    for (int round = 0; round < rounds; ++round) {
        succeeded = 0;
        double t0 = bench::nowMs();
        for (int i = 0; i < Renames / 2; ++i) {
            RenameLevelFileBench::rename(window, a, b);
            RenameLevelFileBench::rename(window, b, a);
        }
        ours.push_back((bench::nowMs() - t0) * 1000.0 / Renames);

        int bare = 0;
        t0 = bench::nowMs();
        for (int i = 0; i < Renames / 2; ++i) {
            bare += bareRename("levl2131.DAT", "levl2001.DAT");
            bare += bareRename("levl2001.DAT", "levl2131.DAT");
        }
        baseline.push_back((bench::nowMs() - t0) * 1000.0 / Renames);
        if (succeeded != Renames || bare != Renames) {
            std::fprintf(stderr, "renames failed: ours %d, bare %d of %d\n", succeeded, bare,
                         Renames);
            return 1;
        }
    }
    bench::report("rename.per-rename", ours, baseline, "us");
    windowing::setMessageSink({});
    windowing::unloadAll();
    return 0;
}

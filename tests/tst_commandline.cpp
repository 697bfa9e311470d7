#include "support.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <csignal>
#endif

const QStringList level{"levl2131.DAT=D", "levl2131.HDR=H", "levl2131.INF=I", "levl2131.VER=V"};

// The program run from a command line, as a script runs it, on a scratch game.
class TestCommandLine : public QObject {
    Q_OBJECT
    const RunScratch run{"tst_commandline"};
private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments"); // none: the window, with no display
        QTest::addColumn<QStringList>("before");    // "name=bytes" added, "-name" taken away
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // exactly, or its start up to "..."
        QTest::addColumn<QStringList>("after");
        const auto line = [](const char *ending, const char *outcome) {
            return QString("Rename levl2131.%1 to levl2001.%1 %2\n").arg(ending, outcome);
        };
        const auto row = [&](const char *name, const QStringList &arguments, int status,
                             const QString &out = {}, const QStringList &before = {},
                             const QStringList &after = {}) {
            QTest::newRow(name) << arguments << before << status << out
                                << (after.isEmpty() ? level : after);
        };
        row("help", {"--help"}, 0, "Usage: ...");
        row("version", {"--version"}, 0, "Vantorel Renamer 1.0.0\n");
        row("rename", {"--rename", "2131", "2001"}, 0,
            line("DAT", "OK") + line("HDR", "OK") + line("VER", "OK"), {},
            {"levl2001.DAT=D", "levl2001.HDR=H", "levl2001.VER=V", "levl2131.INF=I"});
        row("files in any case, renamed in the window's order",
            {"--rename", "2131", "2001", "--files", "inf,.dat"}, 0,
            line("DAT", "OK") + line("INF", "OK"), {},
            {"levl2001.DAT=D", "levl2001.INF=I", "levl2131.HDR=H", "levl2131.VER=V"});
        row("a target in another case survives, a source is missing", {"--rename", "2131", "2001"},
            1,
            line("DAT", "OK") + line("HDR", "Failed - To file already exists") +
                line("VER", "Failed - From file not found"),
            {"levl2001.hdr=keep", "-levl2131.VER"},
            {"levl2001.DAT=D", "levl2001.hdr=keep", "levl2131.HDR=H", "levl2131.INF=I"});
        row("where", {"--where"}, 0, "@levels\n");
        row("unknown ending", {"--rename", "2131", "2001", "--files", "DAT,TXT"}, 2);
        row("line break in a number", {"--rename", "21\n31", "2001"}, 2);
        row("one number", {"--rename", "2131"}, 2);
        row("no display", {}, 2);
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, before);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QStringList, after);
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#ifdef _WIN32
        // Under Wine in the test run's own prefix: the built-in folder itself.
        if (arguments.isEmpty())
            QSKIP("Windows always has its desktop");
        QDir levels("c:/Program Files/Quenmark/Vantorel/levels");
        QVERIFY(levels.removeRecursively());
#else
        const QDir levels(home.filePath("game/drive_c/Program Files/Quenmark/Vantorel/levels"));
        environment.insert("HOME", home.path());
        environment.insert("WINEPREFIX", home.filePath("game"));
#endif
        QVERIFY(QDir().mkpath(levels.path()) && QDir().mkpath(home.filePath("elsewhere")));
        out.replace("@levels", QDir::toNativeSeparators(levels.path()));
        for (const QString &file : level + before)
            QVERIFY(file.startsWith('-') ? QFile::remove(levels.filePath(file.mid(1)))
                                         : writeFile(levels.filePath(file.section('=', 0, 0)),
                                                     file.section('=', 1).toUtf8()));
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            if (arguments.isEmpty())
                environment.remove(name);
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home.filePath("elsewhere"));
        program.start(PROGRAM, arguments);
        QVERIFY(program.waitForFinished(20000) || (program.kill(), false));
        // Lines end as the system's text files do.
        const QString output = QString(program.readAllStandardOutput()).replace("\r\n", "\n");
        const QString errors = QString(program.readAllStandardError()).replace("\r\n", "\n");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        if (out.endsWith("..."))
            QVERIFY2(output.startsWith(out.chopped(3)), qPrintable(output));
        else
            QCOMPARE(output, out);
        // A usage error is one line that points to --help; all else says nothing there.
        QCOMPARE(errors.count('\n') == 1 && errors.contains("--help"), status == 2);
        QCOMPARE(errors.isEmpty(), status != 2);
        QStringList files;
        for (const QString &name : levels.entryList(QDir::Files, QDir::Name))
            files << name + "=" + readFile(levels.filePath(name));
        QCOMPARE(files, after);
    }

#ifndef _WIN32
    // A home whose Steam library (listed, so walked wherever it is) answers each
    // request late, with an older copy of the game in Lutris's ~/Games: --rename
    // acts in the folder --where names, the one the launchers' order gives,
    // however slowly its disk answers. A library that never answers: Ctrl+C
    // ends either command at once, while the search still waits for it.
    void slowAndSilentLibraries_data()
    {
        QTest::addColumn<QString>("delay");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("slow") << "10" << QStringList{"--rename", "2131", "2001"};
        QTest::newRow("silent, --where") << "never" << QStringList{"--where"};
        QTest::newRow("silent, --rename") << "never" << QStringList{"--rename", "2131", "2001"};
    }
    void slowAndSilentLibraries()
    {
#ifndef SLOWFS
        QSKIP("A slow disk needs libfuse 3 (libfuse3-dev) when the tests are built");
#else
        QFETCH(QString, delay);
        QFETCH(QStringList, arguments);
        QTemporaryDir home;
        const QString root = QFileInfo(home.path()).canonicalFilePath();
        const QString game = "/drive_c/Program Files/Quenmark/Vantorel/levels";
        const QString steam = root + "/.local/share/Steam/steamapps", older = root + "/Games/old";
        const QString levels = root + "/library/steamapps/compatdata/999/pfx" + game;
        for (const QString &folder : {levels, older + game})
            for (const QString &file : level)
                QVERIFY(QDir().mkpath(folder) &&
                        writeFile(folder + "/" + file.section('=', 0, 0), folder.toUtf8()));
        for (int i = 0; i < 20; ++i)
            QVERIFY(QDir().mkpath(root + "/library/steamapps/compatdata/" +
                                  QString::number(100 + i) + "/pfx/drive_c/windows"));
        QVERIFY(QDir().rename(root + "/library", root + "/library.slow"));
        QVERIFY(QDir().mkpath(steam) && writeFile(steam + "/libraryfolders.vdf",
                                                  "\"libraryfolders\" { \"1\" { \"path\" \"" +
                                                      root.toUtf8() + "/library\" } }"));
        SlowMount library(root + "/library.slow", root + "/library", delay);
        if (!library.mounted())
            QSKIP("A FUSE mount of the test's own needs /dev/fuse and the right to mount");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.remove("WINEPREFIX");
        const auto run = [&](const QStringList &arguments) {
            QProcess program;
            program.setProcessEnvironment(environment);
            program.setWorkingDirectory(root);
            program.start(PROGRAM, arguments);
            if (delay == "never") {
                library.server.waitForReadyRead(10000); // the search waits for the library
                kill(pid_t(program.processId()), SIGINT);
            }
            if (!program.waitForFinished(20000))
                program.kill();
            return program.exitStatus() == QProcess::NormalExit
                       ? QString("status %1: ").arg(program.exitCode()) +
                             program.readAllStandardOutput()
                       : QString("ended by a signal");
        };
        if (delay == "never") {
            QCOMPARE(run(arguments), QString("ended by a signal"));
            return;
        }
        const QString where = run({"--where"});
        QVERIFY2(where.startsWith("status 0: " + levels + "\n"), qPrintable(where));
        QVERIFY(run(arguments).startsWith("status 0: "));
        // Renamed in the library, each file holding its folder's name; the older copy as it was.
        QCOMPARE(readFile(levels + "/levl2001.DAT"), levels.toUtf8());
        QCOMPARE(QDir(older + game).entryList(QDir::Files).filter("2001"), QStringList());
#endif
    }
#endif
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"

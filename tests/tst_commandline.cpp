#include "support.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

// A level's files, each by its name with what it holds.
using Files = QMap<QString, QByteArray>;
const Files level{
    {"levl2131.DAT", "D"}, {"levl2131.HDR", "H"}, {"levl2131.INF", "I"}, {"levl2131.VER", "V"}};

// The program run from a command line, as a script runs it, on a scratch game.
class TestCommandLine : public QObject {
    Q_OBJECT
    const RunScratch run{"tst_commandline"};
private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");   // none: the window, with no display
        QTest::addColumn<Files>("added");             // to the level's files, or in their place
        QTest::addColumn<QStringList>("removed");     // of the level's files
        QTest::addColumn<QStringList>("environment"); // "NAME=value", "NAME=" to take it away
        QTest::addColumn<QString>("output"); // standard output "closed", "full", its reader "gone"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");    // exactly, or its start up to "..."
        QTest::addColumn<QString>("errors"); // exactly; none: one line to --help on status 2
        QTest::addColumn<Files>("after");
        const auto line = [](const char *ending, const char *outcome) {
            return QString("Rename levl2131.%1 to levl2001.%1 %2\n").arg(ending, outcome);
        };
        const Files renamed{{"levl2001.DAT", "D"},
                            {"levl2001.HDR", "H"},
                            {"levl2001.VER", "V"},
                            {"levl2131.INF", "I"}};
        struct Row {
            Files added = {};
            QStringList removed = {}, environment = {};
            QString output = {}, out = {}, errors = {};
            Files after = level;
        };
        const auto row = [&](const char *name, const QStringList &arguments, int status,
                             const Row &more = {}) {
            QTest::newRow(name) << arguments << more.added << more.removed << more.environment
                                << more.output << status << more.out << more.errors << more.after;
        };
        const QStringList rename{"--rename", "2131", "2001"};
        row("help", {"--help"}, 0, {.out = "Usage: @program [--rename FROM TO ..."});
        row("version", {"--version"}, 0, {.out = "Vantorel Renamer 1.0.0\n"});
        row("rename", rename, 0,
            {.out = line("DAT", "OK") + line("HDR", "OK") + line("VER", "OK"), .after = renamed});
        row("files in any case, renamed in the window's order",
            {"--rename", "2131", "2001", "--files", "inf,.dat"}, 0,
            {.out = line("DAT", "OK") + line("INF", "OK"),
             .after = {{"levl2001.DAT", "D"},
                       {"levl2001.INF", "I"},
                       {"levl2131.HDR", "H"},
                       {"levl2131.VER", "V"}}});
        row("a target in another case survives, a source is missing", rename, 1,
            {.added = {{"levl2001.hdr", "keep"}},
             .removed = {"levl2131.VER"},
             .out = line("DAT", "OK") + line("HDR", "Failed - To file already exists") +
                    line("VER", "Failed - From file not found"),
             .after = {{"levl2001.DAT", "D"},
                       {"levl2001.hdr", "keep"},
                       {"levl2131.HDR", "H"},
                       {"levl2131.INF", "I"}}});
        // Every rename runs whatever becomes of the output; the status says it was lost.
        row("the output's reader gone", rename, 3, {.output = "gone", .after = renamed});
        row("the output closed", rename, 3, {.output = "closed", .after = renamed});
        row("the output's disk full", rename, 3, {.output = "full", .after = renamed});
        row("where", {"--where"}, 0, {.out = "@levels\n"});
        row("where, no game", {"--where"}, 1,
            {.environment = {"WINEPREFIX=@home/none"},
             .out = "@home/none/drive_c/Program Files/Quenmark/Vantorel/levels\n"
                    "@home/none: not there\n"});
        row("no game: renamed in the current folder, said on standard error", rename, 1,
            {.environment = {"WINEPREFIX=@home/none"},
             .out = line("DAT", "Failed - From file not found") + "...",
             .errors = "vantorel-renamer: the game was not found (see --where); renaming in the "
                       "current folder, @home/elsewhere\n"});
        row("unknown ending", {"--rename", "2131", "2001", "--files", "DAT,TXT"}, 2);
        row("line break in a number", {"--rename", "21\n31", "2001"}, 2);
        row("a path in a number", {"--rename", "../x", "2001"}, 2);
        row("one number", {"--rename", "2131"}, 2);
        row("numbers without --rename", {"2131", "2001"}, 2);
        row("two commands", {"--version", "--where"}, 2);
        row("no display", {}, 2);
        row("a display that is not there", {}, 2, {.environment = {"DISPLAY=:77"}});
        row("an unknown platform", {}, 2, {.environment = {"QT_QPA_PLATFORM=bogus"}});
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Files, added);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, environment);
        QFETCH(QString, output);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, errors);
        QFETCH(Files, after);
        QTemporaryDir home;
        QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
#ifdef _WIN32
        // Under Wine in the test run's own prefix: the built-in folder itself.
        if (arguments.isEmpty() || !output.isEmpty() || !environment.isEmpty())
            QSKIP("Windows always has its desktop, its streams and its built-in folder");
        QDir levels("c:/Program Files/Quenmark/Vantorel/levels");
        QVERIFY(levels.removeRecursively());
#else
        const QDir levels(home.filePath("game/drive_c/Program Files/Quenmark/Vantorel/levels"));
        settings.insert("HOME", home.path());
        settings.insert("WINEPREFIX", home.filePath("game"));
#endif
        QVERIFY(QDir().mkpath(levels.path()) && QDir().mkpath(home.filePath("elsewhere")));
        for (QString *text : {&out, &errors})
            text->replace("@levels", QDir::toNativeSeparators(levels.path()))
                .replace("@home", home.path())
                .replace("@program", QFileInfo(PROGRAM).completeBaseName());
        Files files = level;
        files.insert(added);
        for (const QString &name : removed)
            files.remove(name);
        for (auto file = files.cbegin(); file != files.cend(); ++file)
            QVERIFY(writeFile(levels.filePath(file.key()), file.value()));
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            if (arguments.isEmpty())
                settings.remove(name);
        for (QString setting : environment) {
            setting.replace("@home", home.path());
            if (setting.endsWith('='))
                settings.remove(setting.chopped(1));
            else
                settings.insert(setting.section('=', 0, 0), setting.section('=', 1));
        }
        QProcess program;
        program.setProcessEnvironment(settings);
        program.setWorkingDirectory(home.filePath("elsewhere"));
#ifndef _WIN32
        if (output == "full")
            program.setStandardOutputFile("/dev/full");
        else if (!output.isEmpty())
            program.setChildProcessModifier([gone = output == "gone"] {
                int ends[2];
                if (gone && pipe(ends) == 0) // a reader that went before the first line
                    close(ends[0]), dup2(ends[1], STDOUT_FILENO), close(ends[1]);
                else
                    close(STDOUT_FILENO);
            });
#endif
        program.start(PROGRAM, arguments);
        QVERIFY(program.waitForFinished(20000) || (program.kill(), false));
        // Lines end as the system's text files do.
        const QString written = QString(program.readAllStandardOutput()).replace("\r\n", "\n");
        const QString said = QString(program.readAllStandardError()).replace("\r\n", "\n");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit); // no abort, no signal
        QCOMPARE(program.exitCode(), status);
        if (out.endsWith("..."))
            QVERIFY2(written.startsWith(out.chopped(3)), qPrintable(written));
        else
            QCOMPARE(written, out);
        // A usage error is one line that points to --help; all else says nothing there.
        if (!errors.isEmpty())
            QCOMPARE(said, errors);
        else
            QCOMPARE(said.count('\n') == 1 && said.contains("--help") ? 2 : said.size(),
                     status == 2 ? 2 : 0);
        Files left;
        for (const QString &name : levels.entryList(QDir::Files))
            left[name] = readFile(levels.filePath(name));
        QCOMPARE(left, after);
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
            for (const QString &name : level.keys())
                QVERIFY(QDir().mkpath(folder) && writeFile(folder + "/" + name, folder.toUtf8()));
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

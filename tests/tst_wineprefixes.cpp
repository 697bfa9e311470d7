#include "builtinpaths.h"
#include "support.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
const QString levels = "drive_c/Program Files/Quenmark/Vantorel/levels";

// The game's levels folder in the prefix `prefix`, as a layout entry.
QString game(const QString &prefix)
{
    return prefix + "/" + levels + "/";
}

QString vdf(const QStringList &paths)
{
    QString text = "\"libraryfolders\"\n{\n";
    for (int i = 0; i < paths.size(); ++i)
        text += QString("\t\"%1\"\n\t{\n\t\t\"path\"\t\"%2\"\n\t\t\"apps\"\n\t\t{"
                        "\n\t\t\t\"9\"\t\"1\"\n\t\t}\n\t}\n")
                    .arg(i)
                    .arg(paths[i]);
    return text + "}\n";
}
} // namespace

// Where the program finds the game on Linux, over scratch home folders laid
// out as Wine, Steam, Lutris, Bottles, Heroic and PlayOnLinux leave them.
class TestWinePrefixes : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("WINEPREFIX"); }

    void levelsFolder_data()
    {
        // "a/" folder, "a = text" file, "a -> b" link, "WINEPREFIX=a" the variable
        QTest::addColumn<QStringList>("layout");
        QTest::addColumn<QString>("found"); // relative to the home; @ stands for the home
        const QString steam = ".local/share/Steam";
        const QString proton = "/steamapps/compatdata/2201/pfx";
        const QString nothing = ".wine/" + levels;
        const QString libraries = steam + "/steamapps/libraryfolders.vdf = ";
        const QString games = "games" + proton, pol = ".PlayOnLinux/wineprefix/vantorel";

        QTest::newRow("nowhere") << QStringList{".wine/drive_c/", steam + proton + "/drive_c/"}
                                 << nothing;
        QTest::newRow("wine first")
            << QStringList{game(".wine"), game(steam + proton)} << ".wine/" + levels;
        for (const QString &root :
             {QString(".steam/steam"), steam, QString(".var/app/com.valvesoftware.Steam/") + steam,
              QString(".var/app/com.valvesoftware.Steam/data/Steam"),
              QString("snap/steam/common/") + steam})
            QTest::addRow("steam in %s", qPrintable(root))
                << QStringList{root + "/steamapps/compatdata/7/pfx/drive_c/", game(root + proton)}
                << root + proton + "/" + levels;
        QTest::newRow("second library, listed twice, through a link")
            << QStringList{steam + "/steamapps/compatdata/1/pfx/drive_c/", game(games),
                           ".steam/steam -> @/" + steam, "lib -> @/games",
                           libraries + vdf({"@/" + steam, "@/games", "@/lib", "@/games/"})}
            << games + "/" + levels;
        QTest::newRow("older list")
            << QStringList{game(games), libraries +
                                            "\"LibraryFolders\" { \"ContentStatsID\" \"-1\" \"1\" "
                                            "\"@/games\" }"}
            << games + "/" + levels;
        QTest::newRow("malformed list")
            << QStringList{game(games), game(pol), libraries + vdf({"@/games"}).chopped(3)}
            << pol + "/" + levels;
        QTest::newRow("unreadable list")
            << QStringList{game(games), game(pol), steam + "/steamapps/libraryfolders.vdf/"}
            << pol + "/" + levels;
        QTest::newRow("steam before lutris")
            << QStringList{game("Games/vantorel"), game(steam + proton)}
            << steam + proton + "/" + levels;
        QTest::newRow("lutris configuration")
            << QStringList{game("wine/vantorel"), game("Games/other"),
                           ".config/lutris/games/other.yml = game:\n  exe: x.exe\nwine: {}\n",
                           ".local/share/lutris/games/vantorel-1.yml = system:\n"
                           "  prefix: /elsewhere\ngame:\n  exe: ~/wine/vantorel/drive_c/v.exe\n"
                           "  prefix: '~/wine/vantorel'   # kept\n"}
            << "wine/vantorel/" + levels;
        QTest::newRow("lutris before bottles")
            << QStringList{game(".local/share/bottles/bottles/Games"), game("Games/vantorel")}
            << "Games/vantorel/" + levels;
        QTest::newRow("bottles in a sandbox")
            << QStringList{game(".var/app/com.usebottles.bottles/data/bottles/bottles/Games"),
                           game(pol)}
            << ".var/app/com.usebottles.bottles/data/bottles/bottles/Games/" + levels;
        QTest::newRow("heroic, deep, past a loop")
            << QStringList{"Games/Heroic/Prefixes/default/loop -> @/Games/Heroic/Prefixes",
                           "Games/Heroic/Prefixes/default/other/drive_c/",
                           game("Games/Heroic/Prefixes/default/vantorel"), game(pol)}
            << "Games/Heroic/Prefixes/default/vantorel/" + levels;
        QTest::newRow("loops everywhere")
            << QStringList{"Games/Heroic/Prefixes/a/b -> @/Games/Heroic/Prefixes/a",
                           steam + "/steamapps/compatdata/loop -> @/" + steam + "/steamapps",
                           "self -> @/self", libraries + vdf({"@/self", "@/" + steam}), game(pol)}
            << pol + "/" + levels;
        QTest::newRow("any letter case, x86")
            << QStringList{".wine/drive_c/Program Files/Quenmark/",
                           ".wine/drive_c/PROGRAM FILES (X86)/quenmark/VANTOREL/Levels/"}
            << ".wine/drive_c/PROGRAM FILES (X86)/quenmark/VANTOREL/Levels";
        QTest::newRow("WINEPREFIX wins")
            << QStringList{game(".wine"), "mine/drive_c/program files/", "WINEPREFIX=@/mine"}
            << "mine/drive_c/program files/Quenmark/Vantorel/levels";
    }
    void levelsFolder()
    {
        QFETCH(QStringList, layout);
        QFETCH(QString, found);
        QTemporaryDir home;
        const QString root = home.path() + "/";
        qputenv("HOME", QFile::encodeName(home.path()));
        for (QString entry : layout) {
            entry.replace("@/", root);
            if (entry.startsWith("WINEPREFIX=")) {
                qputenv("WINEPREFIX", QFile::encodeName(entry.mid(11)));
                continue;
            }
            const QString name = root + entry.section(" = ", 0, 0).section(" -> ", 0, 0);
            QVERIFY(QDir().mkpath(QFileInfo(name).path()));
            if (entry.contains(" -> "))
                QVERIFY(QFile::link(entry.section(" -> ", 1), name));
            else if (entry.contains(" = "))
                QVERIFY(writeFile(name, entry.section(" = ", 1).toUtf8()));
            else
                QVERIFY(QDir().mkpath(name));
        }

        const QString folder = platform::hostPath(QString::fromUtf16(platform::LevelsFolder));
        QCOMPARE(folder, root + found);
        // The log follows the levels folder that was found.
        QCOMPARE(platform::hostPath(QString::fromUtf16(platform::DefaultLogPath)),
                 folder + "/Renames.txt");
    }
};

QTEST_GUILESS_MAIN(TestWinePrefixes)
#include "tst_wineprefixes.moc"

#include "launcherconfigs.h"

#include <QTest>

using namespace gamesearch::launchers;

const QString Home = "/home/u";

// A YAML file whose aliases would stand for 10^levels mappings if copied out,
// each level ten aliases of the one before: a list of them, or, `merged`, a
// mapping that merges them all.
QByteArray aliasBomb(int levels, bool merged)
{
    QByteArray text = "a0: &a0 {x: 0}\n";
    for (int i = 1; i <= levels; ++i) {
        const QByteArray list =
            "[" + QByteArrayList(10, "*a" + QByteArray::number(i - 1)).join(", ") + "]";
        text += "a" + QByteArray::number(i) + ": &a" + QByteArray::number(i) + " " +
                (merged ? "{<<: " + list + "}" : list) + "\n";
    }
    return text;
}

// The launchers' files as the launchers write them, read into the prefixes and
// folders they name. The YAML rows are Lutris's and Bottles' writer's output
// (PyYAML's safe_dump with default_flow_style=False), or the forms YAML allows
// a hand or another tool to write.
class TestLauncherFiles : public QObject {
    Q_OBJECT
private slots:
    void lutris_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("malformed");
        const auto row = [](const char *name, const QByteArray &file, const QString &prefix,
                            bool malformed = false) {
            QTest::newRow(name) << file << prefix << malformed;
        };
        const QByteArray written =
            "game:\n  exe: /home/u/Games/x/drive_c/x.exe\n  prefix: /home/u/Games/vantorel\n"
            "system:\n  prefix: /elsewhere\n";
        row("prefix of the game section", written, "/home/u/Games/vantorel");
        QByteArray crlf = written;
        row("line ends CR LF", crlf.replace("\n", "\r\n"), "/home/u/Games/vantorel");
        row("escapes in double quotes",
            "game:\n  exe: \"/home/jo\\xE3o/Games/witcher/drive_c/w.exe\"\n"
            "  prefix: \"/home/jo\\xE3o/Games/witcher\"\n",
            "/home/jo\u00e3o/Games/witcher");
        row("doubled single quote", "game:\n  prefix: '/home/u/Jeux/Tom Clancy''s: Ghost Recon'\n",
            "/home/u/Jeux/Tom Clancy's: Ghost Recon");
        row("plain value folded onto a deeper line",
            "game:\n  prefix: /home/u/Games/The Vantorel Collection of Levels and Campaigns/"
            "prefix of\n    the game\n",
            "/home/u/Games/The Vantorel Collection of Levels and Campaigns/prefix of the game");
        row("single-quoted value folded",
            "game:\n  prefix: '/home/u/Jeux/Tom Clancy''s: a very long folder name that has to be "
            "folded\n    by the writer/vantorel'\n",
            "/home/u/Jeux/Tom Clancy's: a very long folder name that has to be folded by the "
            "writer/vantorel");
        row("double-quoted value broken inside a name",
            "game:\n  prefix: \"/home/jo\\xE3o/Games/a very long folder name for the prefix of the "
            "game/and\\\n    \\ deeper still/vantorel\"\n",
            "/home/jo\u00e3o/Games/a very long folder name for the prefix of the game/and deeper "
            "still/vantorel");
        row("folded block", "game:\n  prefix: >-\n    /home/u/Games/two\n    words\n",
            "/home/u/Games/two words");
        row("flow style", "{game: {exe: x.exe, prefix: /home/u/flow}}", "/home/u/flow");
        row("comments", "# by hand\ngame: # the game\n  prefix: /home/u/Games/a#b  # kept\n",
            "/home/u/Games/a#b");
        row("anchor and alias",
            "paths:\n  p: &p /home/u/Games/anchored\ngame:\n  exe: x.exe\n  prefix: *p\n",
            "/home/u/Games/anchored");
        row("merged mappings, own keys first",
            "base: &b {prefix: /home/u/Games/merged}\nother: &o {prefix: /home/u/Games/later}\n"
            "game:\n  <<: [*b, *o]\n",
            "/home/u/Games/merged");
        row("own key over a merged one",
            "base: &b {prefix: /home/u/Games/merged}\ngame:\n  prefix: /home/u/own\n  <<: *b\n",
            "/home/u/own");
        row("the last of equal keys",
            "game:\n  prefix: /home/u/first\ngame:\n  prefix: /home/u/second\n", "/home/u/second");
        row("leading ~", "game:\n  prefix: '~/Games/vantorel'\n", "/home/u/Games/vantorel");
        row("quoted ~ is the home", "game:\n  prefix: '~'\n", Home);
        // Without a prefix, or one null or empty: the folder holding drive_c above the exe.
        row("exe below drive_c",
            "game:\n  exe: /home/u/games/oblivion/drive_c/GOG Games/Oblivion/"
            "OblivionLauncher.exe\nsystem:\n  disable_runtime: true\n",
            "/home/u/games/oblivion");
        row("exe below ~",
            "game:\n  exe: ~/games/vantorel/drive_c/Program Files/Quenmark/Vantorel/vantorel.exe\n",
            "/home/u/games/vantorel");
        row("plain ~ is null", "game:\n  exe: /p/Drive_C/x.exe\n  prefix: ~\n", "/p");
        row("empty prefix, innermost drive_c",
            "game:\n  exe: /p//drive_c/b/drive_c/x.exe\n  prefix: ''\n", "/p/drive_c/b");
        row("exe named drive_c", "game:\n  exe: /p/drive_c\n", "");
        row("exe without a folder", "game:\n  exe: x.exe\n", "");
        row("relative prefix, taken as named", "game:\n  exe: /p/drive_c/x.exe\n  prefix: p\n", "");
        row("empty file", "", "");
        row("a list", "- game\n", "");
        row("tab in indentation", "game:\n\tprefix: /home/u/x\n", "", true);
        row("unclosed quote", "game:\n  prefix: '/home/u/x\n", "", true);
        row("two documents", "game: {prefix: /a}\n---\ngame: {prefix: /b}\n", "", true);
        row("alias of nothing", "game:\n  prefix: *p\n", "", true);
        row("anchor given twice", "a: &p /a\nb: &p /b\ngame: {prefix: *p}\n", "", true);
        row("not UTF-8", "game:\n  prefix: /home/jo\xe3o\n", "", true);
        // Bounds: none of these may cost more than its size.
        row("billion laughs",
            aliasBomb(9, false) + "game:\n  prefix: /home/u/Games/laughs\n  x: *a9\n",
            "/home/u/Games/laughs");
        row("merges of merges",
            aliasBomb(30, true) + "game:\n  <<: [*a30, *a30]\n  exe: /p/drive_c/x.exe\n", "/p");
        row("nested past any launcher", QByteArray(1 << 20, '['), "", true);
        row("nested in blocks", QByteArray(200, '-').replace("-", "- ") + "x\n", "", true);
        row("more nodes than any launcher", "[" + QByteArray(200000, 'a').replace("a", "a,") + "a]",
            "", true);
    }
    void lutris()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, prefix);
        QFETCH(bool, malformed);
        Reading reading = Reading::NoReader;
        QCOMPARE(lutrisGamePrefix(file, Home, &reading), prefix);
        QCOMPARE(reading, malformed ? Reading::Malformed : Reading::Parsed);
    }

    void bottles_data()
    {
        QTest::addColumn<QString>("kind"); // which of Bottles' files
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("malformed");
        const auto row = [](const char *name, const char *kind, const QByteArray &file,
                            const QString &path, bool malformed = false) {
            QTest::newRow(name) << kind << file << path << malformed;
        };
        row("custom bottles path", "data.yml",
            "custom_bottles_path: /run/media/u/Disk/Bottles\nfunding_dialog_dismissed: true\n",
            "/run/media/u/Disk/Bottles");
        row("no custom path", "data.yml", "funding_dialog_dismissed: true\n", "");
        row("custom path below ~", "data.yml", "custom_bottles_path: ~/Bottles\n", "");
        row("placeholder", "placeholder.yml", "Path: \"/mnt/games/Bottles/Vantor\\xE9l\"\n",
            "/mnt/games/Bottles/Vantor\u00e9l");
        row("placeholder without a path", "placeholder.yml", "path: /mnt/games/x\n", "");
        row("malformed placeholder", "placeholder.yml", "Path: [/mnt/games/x\n", "", true);
    }
    void bottles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(bool, malformed);
        Reading reading = Reading::NoReader;
        QCOMPARE(kind == "data.yml" ? bottlesCustomPath(file, &reading)
                                    : bottlePlaceholderPath(file, &reading),
                 path);
        QCOMPARE(reading, malformed ? Reading::Malformed : Reading::Parsed);
    }

    // A game's file, GamesConfig/stray.json, and config.json's defaultSettings.
    void heroic_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("prefixes");
        QTest::addColumn<QString>("folder"); // config.json's only
        QTest::addColumn<bool>("malformed");
        const auto row = [](const char *name, const QByteArray &file, const QStringList &prefixes,
                            const QString &folder = {}, bool malformed = false) {
            QTest::newRow(name) << (file.contains("defaultSettings") ? "config.json" : "stray.json")
                                << file << prefixes << folder << malformed;
        };
        const QString stray = "/home/u/Games/Heroic/Prefixes/default/Stray";
        row("game under Proton",
            R"({"stray": {"autoInstallDxvk": true, "winePrefix": "/home/u/Games/Heroic/Prefixes/)"
            R"(default/Stray", "wineVersion": {"bin": "/x/proton", "name": "Proton - GE",)"
            R"( "type": "proton"}}, "version": "v0", "explicit": true})",
            {stray + "/pfx", stray});
        row("game under Wine",
            R"({"stray": {"winePrefix": "/mnt/disk2/stray/", "wineVersion": {"type": "wine"}}})",
            {"/mnt/disk2/stray", "/mnt/disk2/stray/pfx"});
        row("game below ~", R"({"stray": {"winePrefix": "~/Games/stray"}})",
            {"/home/u/Games/stray", "/home/u/Games/stray/pfx"});
        row("~ within the path", R"({"stray": {"winePrefix": "/mnt/a~b"}})",
            {"/mnt/a/home/ub", "/mnt/a/home/ub/pfx"});
        row("another game's file", R"({"other": {"winePrefix": "/mnt/other"}})", {});
        row("game without a prefix", R"({"stray": {"wineVersion": {"type": "wine"}}})", {});
        row("relative prefix", R"({"stray": {"winePrefix": "Games/stray"}})", {});
        row("defaults",
            R"({"defaultSettings": {"defaultWinePrefix": "~/games/heroic/prefixes/default",)"
            R"( "winePrefix": "~/games/heroic/prefixes/default", "wineVersion": {"type":)"
            R"( "proton"}}, "version": "v0"})",
            {"/home/u/games/heroic/prefixes/default/pfx", "/home/u/games/heroic/prefixes/default"},
            "/home/u/games/heroic/prefixes/default");
        row("defaults without a prefix",
            R"({"defaultSettings": {"defaultWinePrefix": "/mnt/Prefixes"}})", {}, "/mnt/Prefixes");
        row("a list", R"([{"stray": {"winePrefix": "/mnt/x"}}])", {});
        row("malformed", R"({"stray": {"winePrefix": "/mnt/x"})", {}, {}, true);
        row("nested past any launcher", QByteArray(1 << 20, '['), {}, {}, true);
    }
    void heroic()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, prefixes);
        QFETCH(QString, folder);
        QFETCH(bool, malformed);
        Reading reading = Reading::NoReader;
        if (kind == "config.json") {
            const HeroicDefaults defaults = heroicDefaults(file, Home, &reading);
            QCOMPARE(defaults.prefixes, prefixes);
            QCOMPARE(defaults.prefixesFolder, folder);
        } else {
            QCOMPARE(heroicGamePrefixes(file, "stray", Home, &reading), prefixes);
        }
        QCOMPARE(reading, malformed ? Reading::Malformed : Reading::Parsed);
    }

    void steam_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("libraries");
        QTest::addColumn<bool>("malformed");
        QTest::newRow("current form")
            << QByteArray("\"libraryfolders\"\n{\n\t\"contentstatsid\"\t\t\"-1\"\n\t\"0\"\n\t{\n"
                          "\t\t\"path\"\t\t\"/home/u/.local/share/Steam\"\n\t\t\"apps\"\n\t\t{\n"
                          "\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t"
                          "\"/mnt/games//SteamLibrary/\"\n\t}\n}\n")
            << QStringList{"/home/u/.local/share/Steam", "/mnt/games/SteamLibrary"} << false;
        QTest::newRow("older form, comments, conditions")
            << QByteArray("// written by Steam\n\"LibraryFolders\" { \"TimeNextStatsReport\" \"1\""
                          " \"1\" \"/mnt/a\" [$LINUX] \"2\" \"relative\" }")
            << QStringList{"/mnt/a"} << false;
        QTest::newRow("unclosed") << QByteArray("\"libraryfolders\" { \"1\" \"/mnt/a\"")
                                  << QStringList{} << true;
    }
    void steam()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, libraries);
        QFETCH(bool, malformed);
        Reading reading = Reading::NoReader;
        QCOMPARE(steamLibraryFolders(file, &reading), libraries);
        QCOMPARE(reading, malformed ? Reading::Malformed : Reading::Parsed);
    }

    // Both lists merged after the installation, each library once.
    void steamLibrariesMerged()
    {
        QCOMPARE(steamLibraries("/home/u/.local/share/Steam/",
                                {"/home/u/.local/share/Steam", "/mnt/a", "/mnt/b"},
                                {"/mnt/c", "/mnt/a", "/home/u/.local/share/Steam"}),
                 QStringList({"/home/u/.local/share/Steam", "/mnt/a", "/mnt/b", "/mnt/c"}));
    }
};

QTEST_GUILESS_MAIN(TestLauncherFiles)
#include "tst_launcherfiles.moc"

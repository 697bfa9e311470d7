#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the game launchers of Linux desktops say about where Wine prefixes
// live, read from the text of their files. Nothing here reads the disk. Each
// path returned is absolute and cleaned ("/a/b", never "a/b" or "/a//b/");
// one that is not absolute once the launcher's own "~" rule is applied is
// not returned, since no launcher finds a prefix there either.
namespace gamesearch::launchers {

// How a launcher's file was taken, for the search's trail: a file that names
// nothing differs from one that is not of its launcher's form at all.
enum class Reading {
    Parsed,    // what it names is returned (nothing, when it names nothing)
    Malformed, // not of the form, or nested or grown past what a launcher writes
    NoReader,  // libyaml could not be loaded, so that no YAML file can be read
};

// The library folders that a Steam `steamapps/libraryfolders.vdf` or
// `config/libraryfolders.vdf` lists, in its order; empty when the text is not
// a well-formed list. Both the current form (a block per library
// holding "path") and the older one ("1" "/path") count.
QStringList steamLibraryFolders(const QByteArray &vdf, Reading *reading = nullptr);

// The libraries of the Steam installation `installation` in the order they
// are walked: the installation itself, always first, then those of
// `steamappsList` and then of `configList` (the two files'
// steamLibraryFolders), each once.
QStringList steamLibraries(const QString &installation, const QStringList &steamappsList,
                           const QStringList &configList);

// The prefix of a Lutris game file (`games/*.yml`): the `prefix:` of its
// `game:` section, else, as Lutris finds it, the folder that holds the
// `drive_c` folder its `game: exe:` lies in. A leading "~" is `home`, as
// Lutris expands it in both.
QString lutrisGamePrefix(const QByteArray &yaml, const QString &home, Reading *reading = nullptr);

// The `custom_bottles_path` of Bottles' `data.yml`: the folder Bottles keeps
// its bottles in instead of its own `bottles/`. Bottles expands no "~".
QString bottlesCustomPath(const QByteArray &yaml, Reading *reading = nullptr);

// The `Path` of the `placeholder.yml` Bottles leaves in its bottles folder for
// a bottle made elsewhere: the bottle's own folder, the prefix.
QString bottlePlaceholderPath(const QByteArray &yaml, Reading *reading = nullptr);

// The prefix a Heroic game file (`GamesConfig/<appName>.json`, the object
// {"<appName>": {"winePrefix": ...}}) names, as the folders to try in order:
// Heroic runs a game under Proton in the folder's `pfx`, under Wine in the
// folder itself, so the one its `wineVersion` names comes first. Heroic
// makes the first "~" of the path `home`, wherever it stands.
QStringList heroicGamePrefixes(const QByteArray &json, const QString &appName, const QString &home,
                               Reading *reading = nullptr);

// What Heroic's `config.json` says under `defaultSettings`.
struct HeroicDefaults {
    // `winePrefix`, the prefix of every game whose own file names none, as
    // the folders to try in order (as heroicGamePrefixes gives them).
    QStringList prefixes;
    // `defaultWinePrefix`, below which Heroic makes each new game's prefix,
    // one folder per game (in older versions, also the shared prefix itself).
    QString prefixesFolder;
};
HeroicDefaults heroicDefaults(const QByteArray &json, const QString &home,
                              Reading *reading = nullptr);

} // namespace gamesearch::launchers

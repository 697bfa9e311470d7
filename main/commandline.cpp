#include "commandline.h"

#include "appidentity.h"
#include "console.h"
#include "display.h"
#include "gamesearch.h"
#include "levelfiles.h"
#include "samename.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <vector>

namespace commandline {

namespace {
// 3 and 4 are 0 and 1 where the output could not all be written.
enum Status { Done = 0, Failed = 1, UsageError = 2, OutputLost = 3 };

// Whether a line could not be written: a reader that went away, a full disk,
// a closed stream. The command goes on as if it had been.
bool outputLost = false;

// In the locale's encoding, as Qt's own command-line messages; at once, so
// that a script sees each rename as it is done.
void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) != size_t(bytes.size()) ||
        std::fflush(stream) != 0 || std::ferror(stream)) {
        outputLost = outputLost || stream == stdout;
        std::clearerr(stream);
    }
}

int withOutput(int status)
{
    return outputLost && status < UsageError ? status + OutputLost : status;
}

// The program file's name, which starts every message on standard error.
QString programName;

// One line on standard error that points to --help.
int usageError(QString what)
{
    if (what.endsWith(u'.'))
        what.chop(1);
    print(stderr, programName + QStringLiteral(": ") + what + QStringLiteral("; see --help.\n"));
    return UsageError;
}

// Qt's own options for the window, taken as every Qt program takes them.
const char *const WindowOptions[] = {"platform",     "platformtheme", "plugin", "qwindowgeometry",
                                     "qwindowtitle", "qwindowicon",   "style",  "stylesheet",
                                     "display",      "geometry",      "session"};
const char *const WindowFlags[] = {"reverse", "widgetcount", "nograb", "dograb"};

struct CommandLine;

// A command is an option that does something without a window; another
// command is one more row of the table below and its function. One is given
// at a time: none is dropped for another.
struct Command {
    QCommandLineOption option;
    int (*run)(const CommandLine &line);
};

int help(const CommandLine &line);
int version(const CommandLine &line);
int rename(const CommandLine &line);
int where(const CommandLine &line);

// The endings of the level's files, or of those the window ticks at start.
QString endings(bool initialOnly)
{
    QStringList names;
    for (const auto &kind : renaming::LevelFileKinds)
        if (kind.initiallyTicked || !initialOnly)
            names.append(QString::fromUtf16(kind.extension).mid(1));
    return names.join(u',');
}

struct CommandLine {
    QCommandLineParser parser;
    const QCommandLineOption files{
        QStringLiteral("files"),
        QStringLiteral("With --rename: the files to rename, by their endings (%1), separated by "
                       "commas; by default %2, as the window ticks them.")
            .arg(endings(false), endings(true)),
        QStringLiteral("LIST")};
    const std::vector<Command> commands{
        {{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help.")}, help},
        {{{QStringLiteral("v"), QStringLiteral("version")},
          QStringLiteral("Shows the program's name and version.")},
         version},
        {{QStringLiteral("rename"),
          QStringLiteral("Renames the files of level FROM to level TO in the game's levels "
                         "folder, in turn and with the rules of the window's Rename button (an "
                         "existing file is never replaced), and prints one line for each. Exit "
                         "status 1 when a rename failed.")},
         rename},
        {{QStringLiteral("where"),
          QStringLiteral("Prints the game's levels folder that the program uses, then each place "
                         "it looked at before it and why it passed that place over. Exit status 1 "
                         "when no levels folder was found.")},
         where},
    };

    CommandLine()
    {
        parser.setApplicationDescription(
            QStringLiteral("Renames the files of one game level to another level number. Without "
                           "options it opens its window."));
        // Qt's window options are single-dash words ("-platform offscreen").
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const Command &command : commands)
            parser.addOption(command.option);
        parser.addOption(files);
        for (const char *name : WindowOptions)
            addHidden(QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("value")));
        for (const char *name : WindowFlags)
            addHidden(QCommandLineOption(QLatin1String(name)));
        parser.addPositionalArgument(
            QStringLiteral("FROM TO"),
            QStringLiteral("With --rename: the level numbers, as typed into the window (one "
                           "that starts with - after --)."),
            QStringLiteral("[FROM TO]"));
    }

    void addHidden(QCommandLineOption option)
    {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    bool asksForCommand() const
    {
        for (const Command &command : commands)
            if (parser.isSet(command.option))
                return true;
        return parser.isSet(files) || !parser.positionalArguments().isEmpty();
    }

    int run() const
    {
        const Command *chosen = nullptr;
        for (const Command &command : commands) {
            if (!parser.isSet(command.option))
                continue;
            if (chosen)
                return usageError(QStringLiteral("--%1 and --%2 do not go together")
                                      .arg(chosen->option.names().constLast(),
                                           command.option.names().constLast()));
            chosen = &command;
        }
        const bool renaming = chosen && chosen->run == rename;
        if (parser.isSet(files) && !renaming)
            return usageError(QStringLiteral("--files goes with --rename"));
        if (!parser.positionalArguments().isEmpty() && !renaming)
            return usageError(
                QStringLiteral("unexpected argument \"%1\"%2")
                    .arg(parser.positionalArguments().value(0),
                         chosen ? QString() : QStringLiteral(" (FROM TO go with --rename)")));
        return chosen->run(*this);
    }
};

int help(const CommandLine &line)
{
    // Qt's usage line suggests FROM TO without --rename; the synopsis is the
    // parser's own rules, written out.
    QString text = line.parser.helpText();
    text = text.mid(text.indexOf(u'\n') + 1);
    print(stdout,
          QStringLiteral(
              "Usage: %1 [--rename FROM TO [--files LIST] | --where | --help | --version]\n")
                  .arg(programName) +
              text +
              QStringLiteral(
                  "\nWhere --rename acts:\n"
                  "  In the game's levels folder, as --where prints it: in $WINEPREFIX when it is\n"
                  "  set, else in the first Wine prefix of ~/.wine, Steam's Proton, Lutris,\n"
                  "  Bottles, Heroic or PlayOnLinux that holds the game. Where no prefix holds\n"
                  "  it, in the current folder, and one line on standard error says so.\n"
                  "\nExit status:\n"
                  "  0  done: every rename succeeded (--where: the levels folder was found)\n"
                  "  1  a rename failed, the others were still done (--where: not found)\n"
                  "  2  a usage error, or no display for the window\n"
                  "  3  as 0, but the output could not all be written (a closed pipe, a full\n"
                  "     disk); every rename was still done\n"
                  "  4  as 1, and the output could not all be written\n"
                  "\nEnvironment:\n"
                  "  WINEPREFIX  the Wine prefix that holds the game; only it is looked in\n"
                  "  HOME        the home whose launchers' prefixes are looked in\n"));
    return withOutput(Done);
}

int version(const CommandLine &)
{
    print(stdout, windowing::applicationTitle() + u' ' +
                      windowing::versionNumber(windowing::ApplicationVersion) + u'\n');
    return withOutput(Done);
}

// A level number as the window's boxes take it, whatever it holds, but for
// what the lines of the renames could not carry: a control character (a line
// break would split them), or bytes that are no text in the locale (they stand
// as replacement characters and would name another file); and a path
// separator, with which a number would name a file in another folder.
bool takenAsNumber(const QString &number)
{
    for (const QChar c : number)
        if (c.category() == QChar::Other_Control || c == QChar::ReplacementCharacter || c == u'/' ||
            c == QDir::separator())
            return false;
    return true;
}

// The row of the level file that a --files item names by its ending, with or
// without its dot, in any letter case; -1 for none.
qsizetype endingRow(QString name)
{
    name = name.trimmed();
    if (!name.startsWith(u'.'))
        name.prepend(u'.');
    for (size_t row = 0; row < std::size(renaming::LevelFileKinds); ++row)
        if (renaming::sameNameIgnoringCase(
                name, QString::fromUtf16(renaming::LevelFileKinds[row].extension)))
            return qsizetype(row);
    return -1;
}

int rename(const CommandLine &line)
{
    const QStringList numbers = line.parser.positionalArguments();
    if (numbers.size() != 2)
        return usageError(QStringLiteral("--rename takes two level numbers, FROM and TO"));
    for (const QString &number : numbers)
        if (!takenAsNumber(number))
            return usageError(QStringLiteral("a level number holds a path separator, a control "
                                             "character or bytes that are no text"));
    const auto &kinds = renaming::LevelFileKinds;
    const bool listed = line.parser.isSet(line.files);
    bool picked[std::size(kinds)];
    for (size_t row = 0; row < std::size(kinds); ++row)
        picked[row] = !listed && kinds[row].initiallyTicked;
    const QStringList names =
        listed ? line.parser.values(line.files).join(u',').split(u',') : QStringList();
    for (const QString &name : names) {
        const qsizetype row = endingRow(name);
        if (row < 0)
            return usageError(QStringLiteral("unknown ending \"%1\" in --files, not one of %2")
                                  .arg(name, endings(false)));
        picked[row] = true;
    }
    const gamesearch::GameFolder game = gamesearch::GameSearch::start()->wait();
    gamesearch::enterLevelsFolder(game);
    // A script sees where the renames acted when the game was not found.
    if (!game.found)
        print(stderr, programName +
                          QStringLiteral(": the game was not found (see --where); renaming in the "
                                         "current folder, %1\n")
                              .arg(QDir::toNativeSeparators(QDir::currentPath())));
    bool allDone = true;
    for (size_t row = 0; row < std::size(picked); ++row) {
        if (!picked[row])
            continue;
        const QString extension = QString::fromUtf16(kinds[row].extension);
        const renaming::RenameOutcome outcome =
            renaming::renameLevelFile(renaming::levelFileName(numbers[0], extension),
                                      renaming::levelFileName(numbers[1], extension));
        print(stdout, outcome.message + u'\n');
        allDone = allDone && outcome.code == renaming::RenameOk;
    }
    return withOutput(allDone ? Done : Failed);
}

int where(const CommandLine &)
{
    const gamesearch::GameFolder game = gamesearch::GameSearch::start()->wait();
    print(stdout, QDir::toNativeSeparators(game.levels) + u'\n');
    for (const QString &line : game.trail)
        print(stdout, line + u'\n');
    return withOutput(game.found ? Done : Failed);
}
} // namespace

std::optional<int> run(int argc, char *argv[])
{
    // The arguments as they stand decide between the window and a command;
    // a command reads them again as the application has them (on Windows in
    // full, whatever the code page).
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    programName = QFileInfo(arguments.value(0)).completeBaseName();
    if (CommandLine window; window.parser.parse(arguments) && !window.asksForCommand()) {
        const QCommandLineParser &parser = window.parser;
        const QByteArray platform = parser.isSet(QStringLiteral("platform"))
                                        ? parser.value(QStringLiteral("platform")).toLocal8Bit()
                                        : qgetenv("QT_QPA_PLATFORM");
        if (parser.isSet(QStringLiteral("display")) ||
            windowing::canShowWindows(platform.constData()))
            return std::nullopt;
        print(stderr, programName + QStringLiteral(": no display to show the window on; see --help "
                                                   "for what runs without one.\n"));
        return UsageError;
    }
    outputLost = !windowing::useStartingConsole();
    QCoreApplication application(argc, argv);
    CommandLine line;
    if (!line.parser.parse(QCoreApplication::arguments()))
        return usageError(line.parser.errorText());
    return line.run();
}

} // namespace commandline

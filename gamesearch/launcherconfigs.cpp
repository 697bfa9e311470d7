#include "launcherconfigs.h"

#include "samename.h"
#include "yamldocument.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <optional>
#include <vector>

namespace gamesearch::launchers {

namespace {

// Steam's text format: "key" "value" pairs and "key" { ... } blocks, with
// // comments and an optional [$CONDITION] after an entry.
struct KeyValue {
    QByteArray key;
    QByteArray value;
    std::vector<KeyValue> children;
    bool block = false;
};

class KeyValueReader {
public:
    explicit KeyValueReader(const QByteArray &text) : text_(text) {}

    // The entries up to the end of the text; nothing when it is malformed.
    std::optional<std::vector<KeyValue>> readAll()
    {
        std::vector<KeyValue> entries;
        if (!readEntries(entries, 0) || pos_ < text_.size())
            return std::nullopt;
        return entries;
    }

private:
    enum class Token { End, Open, Close, String, Bad };

    // Libraries sit two levels deep; anything far deeper is not this file.
    static constexpr int MaxDepth = 16;

    bool readEntries(std::vector<KeyValue> &entries, int depth)
    {
        for (;;) {
            QByteArray key;
            const qsizetype before = pos_;
            const Token token = next(key);
            if (token == Token::End)
                return depth == 0;
            if (token == Token::Close) {
                if (depth == 0)
                    return false;
                pos_ = before; // the caller takes the brace
                return true;
            }
            if (token != Token::String)
                return false;
            KeyValue entry;
            entry.key = key;
            QByteArray value;
            switch (next(value)) {
            case Token::String:
                entry.value = value;
                break;
            case Token::Open:
                if (depth + 1 >= MaxDepth || !readEntries(entry.children, depth + 1))
                    return false;
                if (QByteArray ignored; next(ignored) != Token::Close)
                    return false;
                entry.block = true;
                break;
            default:
                return false;
            }
            entries.push_back(std::move(entry));
        }
    }

    void skipBlanksAndComments()
    {
        while (pos_ < text_.size()) {
            const char c = text_.at(pos_);
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < text_.size() && text_.at(pos_ + 1) == '/') {
                while (pos_ < text_.size() && text_.at(pos_) != '\n')
                    ++pos_;
            } else if (c == '[') {
                // A platform condition belongs to the entry before it.
                const qsizetype close = text_.indexOf(']', pos_);
                if (close < 0)
                    return;
                pos_ = close + 1;
            } else {
                return;
            }
        }
    }

    Token next(QByteArray &string)
    {
        skipBlanksAndComments();
        if (pos_ >= text_.size())
            return Token::End;
        const char c = text_.at(pos_);
        if (c == '{' || c == '}') {
            ++pos_;
            return c == '{' ? Token::Open : Token::Close;
        }
        if (c == '[')
            return Token::Bad; // a condition that never closes
        if (c != '"') {
            const qsizetype start = pos_;
            while (pos_ < text_.size() && !QByteArrayView(" \t\r\n{}\"").contains(text_.at(pos_)))
                ++pos_;
            string = text_.mid(start, pos_ - start);
            return Token::String;
        }
        for (++pos_; pos_ < text_.size(); ++pos_) {
            char d = text_.at(pos_);
            if (d == '"') {
                ++pos_;
                return Token::String;
            }
            if (d == '\\' && pos_ + 1 < text_.size()) {
                d = text_.at(++pos_);
                if (d == 'n')
                    d = '\n';
                else if (d == 't')
                    d = '\t';
                else if (d != '\\' && d != '"')
                    string += '\\';
            }
            string += d;
        }
        return Token::Bad; // a string that never closes
    }

    const QByteArray &text_;
    qsizetype pos_ = 0;
};

bool isNumber(const QByteArray &text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void tell(Reading *reading, Reading value)
{
    if (reading)
        *reading = value;
}

// `path` as the search takes it: cleaned, and only where it is absolute.
QString hostPath(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) ? QDir::cleanPath(path) : QString();
}

// A leading "~" made `home`, as Python's os.path.expanduser does for Lutris.
QString expandUser(const QString &path, const QString &home)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        return home + path.mid(1);
    return path;
}

// The folder that holds the `drive_c` that `exe` lies in, the innermost where
// several do: Lutris walks up from the program to the first folder holding a
// `drive_c`. The name matches in any letter case, since Lutris first corrects
// the path's letter case to the disk's and Wine names the folder `drive_c`.
QString prefixAboveDriveC(const QString &exe)
{
    const QStringList names = hostPath(exe).split(QLatin1Char('/'));
    for (qsizetype i = names.size() - 2; i >= 1; --i)
        if (renaming::sameNameIgnoringCase(names[i], u"drive_c"))
            return i == 1 ? QStringLiteral("/") : names.first(i).join(QLatin1Char('/'));
    return {};
}

std::optional<QJsonObject> jsonObject(const QByteArray &json, Reading *reading)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        tell(reading, Reading::Malformed);
        return std::nullopt;
    }
    tell(reading, Reading::Parsed);
    return document.object(); // empty for anything else, as Heroic finds nothing there
}

// `path` with its first "~" made `home` wherever it stands, as Heroic does it
// (String.replace): "/a~b" is "/a/home/ub" to Heroic, and the prefix is there.
QString heroicExpand(QString path, const QString &home)
{
    if (const qsizetype tilde = path.indexOf(QLatin1Char('~')); tilde >= 0)
        path.replace(tilde, 1, home);
    return path;
}

// The folders to try for the Heroic prefix `prefix` of a game whose settings
// are `settings`: Heroic runs Proton in the prefix's `pfx`, Wine in the prefix.
QStringList heroicFolders(const QString &prefix, const QJsonObject &settings, const QString &home)
{
    const QString folder = hostPath(heroicExpand(prefix, home));
    if (folder.isEmpty())
        return {};
    const QString pfx = QDir::cleanPath(folder + QLatin1String("/pfx"));
    const QString wine = settings.value(QLatin1String("wineVersion"))
                             .toObject()
                             .value(QLatin1String("type"))
                             .toString();
    return wine == QLatin1String("proton") ? QStringList{pfx, folder} : QStringList{folder, pfx};
}

} // namespace

QStringList steamLibraryFolders(const QByteArray &vdf, Reading *reading)
{
    QStringList folders;
    const auto entries = KeyValueReader(vdf).readAll();
    tell(reading, entries ? Reading::Parsed : Reading::Malformed);
    if (!entries)
        return folders;
    for (const KeyValue &root : *entries) {
        // Steam's own keys, which it reads in any letter case (no file names).
        if (!root.block || root.key.compare("libraryfolders", Qt::CaseInsensitive) != 0)
            continue;
        for (const KeyValue &library : root.children) {
            if (!library.block) {
                if (isNumber(library.key))
                    folders << hostPath(QString::fromUtf8(library.value));
                continue;
            }
            for (const KeyValue &field : library.children)
                if (!field.block && field.key.compare("path", Qt::CaseInsensitive) == 0)
                    folders << hostPath(QString::fromUtf8(field.value));
        }
    }
    folders.removeAll(QString());
    return folders;
}

QStringList steamLibraries(const QString &installation, const QStringList &steamappsList,
                           const QStringList &configList)
{
    QStringList libraries{QDir::cleanPath(installation)};
    for (const QStringList *list : {&steamappsList, &configList})
        for (const QString &library : *list)
            if (!libraries.contains(library))
                libraries << library;
    return libraries;
}

QString lutrisGamePrefix(const QByteArray &yaml, const QString &home, Reading *reading)
{
    const std::optional<YamlDocument> document = YamlDocument::parse(yaml, reading);
    if (!document)
        return {};
    // A prefix named, even one that leads nowhere, is the one Lutris takes.
    if (const QString prefix = document->text({"game", "prefix"}); !prefix.isEmpty())
        return hostPath(expandUser(prefix, home));
    return prefixAboveDriveC(expandUser(document->text({"game", "exe"}), home));
}

QString bottlesCustomPath(const QByteArray &yaml, Reading *reading)
{
    const std::optional<YamlDocument> document = YamlDocument::parse(yaml, reading);
    return document ? hostPath(document->text({"custom_bottles_path"})) : QString();
}

QString bottlePlaceholderPath(const QByteArray &yaml, Reading *reading)
{
    const std::optional<YamlDocument> document = YamlDocument::parse(yaml, reading);
    return document ? hostPath(document->text({"Path"})) : QString();
}

QStringList heroicGamePrefixes(const QByteArray &json, const QString &appName, const QString &home,
                               Reading *reading)
{
    const std::optional<QJsonObject> root = jsonObject(json, reading);
    if (!root)
        return {};
    const QJsonObject settings = root->value(appName).toObject();
    return heroicFolders(settings.value(QLatin1String("winePrefix")).toString(), settings, home);
}

HeroicDefaults heroicDefaults(const QByteArray &json, const QString &home, Reading *reading)
{
    const std::optional<QJsonObject> root = jsonObject(json, reading);
    if (!root)
        return {};
    const QJsonObject settings = root->value(QLatin1String("defaultSettings")).toObject();
    // Heroic writes it into each new game's own prefix, whose "~" it then expands.
    const QString folder = settings.value(QLatin1String("defaultWinePrefix")).toString();
    return {heroicFolders(settings.value(QLatin1String("winePrefix")).toString(), settings, home),
            hostPath(heroicExpand(folder, home))};
}

} // namespace gamesearch::launchers

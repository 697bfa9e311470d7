#include "caserename.h"

#include "rename_p.h"
#include "samename.h"

#include <QFile>
#include <QString>

#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace renaming {

namespace {
namespace fs = std::filesystem;

fs::path folderOf(const fs::path &name)
{
    return name.has_parent_path() ? name.parent_path() : fs::path(".");
}

// The names in `folder` equal to `name` regardless of letter case, the
// exact one included.
std::vector<std::string> caseVariants(const fs::path &folder, const fs::path &name)
{
    std::vector<std::string> variants;
    const QByteArrayView wanted(name.native());
    if (wanted.isEmpty())
        return variants;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return variants;
    while (const dirent *entry = readdir(dir))
        if (sameNameIgnoringCase(wanted, QByteArrayView(entry->d_name)))
            variants.emplace_back(entry->d_name);
    closedir(dir);
    return variants;
}

bool sameFolder(const fs::path &a, const fs::path &b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
} // namespace

RenameCode renameIgnoringCase(const fs::path &from, const fs::path &to)
{
    if (holdsNul(from) || holdsNul(to))
        return BadFileName;

    const fs::path fromFolder = folderOf(from);
    fs::path source = from;
    struct stat st;
    if (lstat(from.c_str(), &st) != 0) {
        // Whatever else keeps the source from being seen, the primitive
        // reports in its own words.
        const auto variants = errno == ENOENT ? caseVariants(fromFolder, from.filename())
                                              : std::vector<std::string>{};
        if (variants.size() > 1)
            return AmbiguousFileName;
        if (variants.empty())
            return renameNoReplace(from, to);
        source = from.parent_path() / variants.front();
    }

    // A case-only rename of the source onto itself is no clash.
    const fs::path toFolder = folderOf(to);
    const bool oneFolder = fromFolder == toFolder || sameFolder(fromFolder, toFolder);
    for (const std::string &variant : caseVariants(toFolder, to.filename()))
        if (!oneFolder || variant != source.filename().native())
            return FileAlreadyExists;

    // The exact target name cannot be taken between the check and the rename:
    // renameNoReplace refuses it at the last moment. What remains is another
    // program making a case variant of the target (say levl2001.dat) just
    // after the check: both names then stand side by side, as they would had
    // that program come a moment after the rename. The system never matches
    // names by case, so the other file keeps its name and its contents and
    // nothing is lost; only the game sees two files it cannot tell apart.
    return renameNoReplace(source, to);
}

fs::path nativeName(const QString &name)
{
    return fs::path(QFile::encodeName(name).toStdString());
}

} // namespace renaming

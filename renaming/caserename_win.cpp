#include "caserename.h"

namespace renaming {

RenameCode renameIgnoringCase(const std::filesystem::path &from, const std::filesystem::path &to)
{
    return renameNoReplace(from, to);
}

std::filesystem::path nativeName(const QString &name)
{
    return std::filesystem::path(name.toStdWString());
}

} // namespace renaming

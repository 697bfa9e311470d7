#include "levelfiles.h"

#include "caserename.h"

namespace renaming {

QString levelFileName(const QString &number, const QString &extension)
{
    return QStringLiteral("levl") + number + extension;
}

QString failureReason(renaming::RenameCode code)
{
    switch (code) {
    case renaming::FileNotFound:
        return QStringLiteral("- From file not found");
    case renaming::FileAlreadyExists:
        return QStringLiteral("- To file already exists");
    default:
        return QString::number(code);
    }
}

QString renameMessage(const QString &from, const QString &to, renaming::RenameCode code)
{
    const QString head = QStringLiteral("Rename ") + from + QStringLiteral(" to ") + to;
    if (code == renaming::RenameOk)
        return head + QStringLiteral(" OK");
    return head + QStringLiteral(" Failed ") + failureReason(code);
}

RenameOutcome renameLevelFile(const QString &from, const QString &to)
{
    const renaming::RenameCode code =
        renaming::renameIgnoringCase(renaming::nativeName(from), renaming::nativeName(to));
    return {code, renameMessage(from, to, code)};
}

} // namespace renaming

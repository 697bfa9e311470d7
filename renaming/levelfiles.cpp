#include "levelfiles.h"

#include "caserename.h"

namespace renaming {

QString levelFileName(const QString &number, const QString &extension)
{
    return QStringLiteral("levl") + number + extension;
}

QString failureReason(platform::RenameCode code)
{
    switch (code) {
    case platform::FileNotFound:
        return QStringLiteral("- From file not found");
    case platform::FileAlreadyExists:
        return QStringLiteral("- To file already exists");
    default:
        return QString::number(code);
    }
}

QString renameMessage(const QString &from, const QString &to, platform::RenameCode code)
{
    const QString head = QStringLiteral("Rename ") + from + QStringLiteral(" to ") + to;
    if (code == platform::RenameOk)
        return head + QStringLiteral(" OK");
    return head + QStringLiteral(" Failed ") + failureReason(code);
}

RenameOutcome renameLevelFile(const QString &from, const QString &to)
{
    const platform::RenameCode code =
        platform::renameIgnoringCase(platform::nativeName(from), platform::nativeName(to));
    return {code, renameMessage(from, to, code)};
}

} // namespace renaming

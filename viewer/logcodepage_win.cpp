#include "logtext.h"

#include <QStringDecoder>

namespace viewer {

QString decodeLog(QByteArrayView bytes)
{
    QStringDecoder ansi(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return ansi.decode(bytes);
}

// The ANSI code page may take several bytes to a character: no shortcut.
QString logDocumentText(QByteArray bytes)
{
    return toDocumentText(logText(std::move(bytes)));
}

} // namespace viewer

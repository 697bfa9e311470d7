#pragma once

// The benchmarks' windows live on the offscreen platform unless told
// otherwise, and only real errors reach the terminal: the platform's notes
// would drown the figures.

#include <QByteArray>
#include <QString>
#include <cstdio>

namespace bench {

inline void useQuietOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

} // namespace bench

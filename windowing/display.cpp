#include "display.h"

#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace windowing {

namespace {
// A message of Qt's, kept whole until it can be passed on.
struct Kept {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

struct Opening {
    QString program;
    QtMessageHandler previous = nullptr;
    QList<Kept> kept;
};
Opening *opening = nullptr;

void keepOrEnd(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        opening->kept.append(
            {type, context.file, context.function, context.category, context.line, text});
        return;
    }
    // What the platform said of its display, not the advice to reinstall.
    QString why;
    for (const Kept &message : std::as_const(opening->kept))
        if (message.category.startsWith("qt.qpa") && why.isEmpty())
            why = message.text;
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QString line =
        QStringLiteral("%1: no display to show the window on (%2: %3); see --help "
                       "for what runs without one.\n")
            .arg(opening->program, QString::fromLocal8Bit(platform.isEmpty() ? "xcb" : platform),
                 why.isEmpty() ? QStringLiteral("it could not be opened") : why);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    std::_Exit(2);
}
} // namespace

void beginOpeningDisplay(const char *programPath)
{
    opening = new Opening;
    opening->program = QFileInfo(QString::fromLocal8Bit(programPath)).completeBaseName();
    opening->previous = qInstallMessageHandler(keepOrEnd);
}

void endOpeningDisplay()
{
    qInstallMessageHandler(opening->previous);
    for (const Kept &message : std::as_const(opening->kept)) {
        const QMessageLogContext context(message.file.constData(), message.line,
                                         message.function.constData(),
                                         message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    delete std::exchange(opening, nullptr);
}

} // namespace windowing

#include "services.h"

#include "appidentity.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <utility>

namespace windowing {

namespace {
void showMessageBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

MessageSink &sink()
{
    static MessageSink current = showMessageBox;
    return current;
}
} // namespace

void messageBox(const QString &text)
{
    sink()(text);
}

MessageSink setMessageSink(MessageSink next)
{
    return std::exchange(sink(), next ? std::move(next) : MessageSink(showMessageBox));
}

void setWaitPointer(QWidget &window, bool waiting)
{
    if (waiting)
        window.setCursor(Qt::WaitCursor);
    else
        window.unsetCursor();
}

void endProgram()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // A window that was never shown has not sized itself to its layout yet.
    if (QLayout *layout = window.layout())
        layout->activate();
    // Its frame (title bar, borders) is known once the platform window exists.
    window.createWinId();
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

void useDialogFont()
{
    QFont font = QApplication::font();
#ifdef _WIN32
    // Windows' dialog faces first. Wine asks for Tahoma, and where it lacks
    // that font it draws a serif face instead: the sans-serif faces a Linux
    // system has follow.
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Tahoma"),
                      QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Nimbus Sans"), font.family()});
#endif
    font.setPointSize(8);
    QApplication::setFont(font);
}

} // namespace windowing

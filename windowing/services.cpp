#include "services.h"

#include "appidentity.h"

#include <QApplication>
#include <QMessageBox>
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

} // namespace windowing

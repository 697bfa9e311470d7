#include "logtextbox.h"

#include "logtext.h"

#include <QTextDocument>

namespace viewer {

LogTextBox::LogTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QString LogTextBox::text() const
{
    return fromDocumentText(document()->toRawText());
}

void LogTextBox::setText(QString text)
{
    setPlainText(toDocumentText(std::move(text)));
}

void LogTextBox::setLog(QByteArray bytes)
{
    const QString raw = logDocumentText(std::move(bytes));
    setPlainText(raw);
}

} // namespace viewer

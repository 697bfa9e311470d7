#pragma once

#include <QPlainTextEdit>

namespace viewer {

// The viewer's multi-line log text box. Its value is the log's text with
// every line ended by CR LF, exactly as loaded; each line shows on a line of
// its own, a line feed inside a line as a break within it.
class LogTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogTextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(QString text);
    // Shows the log held in these bytes, as setText(logText(bytes)) does;
    // the bytes are let go before the box is filled.
    void setLog(QByteArray bytes);
};

} // namespace viewer

#pragma once

#include "fileopendialog.h"

#include <QWidget>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace viewer {
class LogTextBox;

// The largest log Refresh loads. Loading takes about five times a log's size
// in memory and keeps the window busy for about two seconds per hundred
// megabytes, whatever the log's line structure; a larger file, far beyond any
// renames log, is reported as unreadable instead of exhausting memory.
constexpr qint64 LargestLog = qint64(128) << 20;
} // namespace viewer

// The renames log viewer: shows the log named in its path box when asked.
class Renames : public QWidget {
    Q_OBJECT
public:
    // The path box starts with `defaultLogPath`, the renames log of the game
    // that was found.
    explicit Renames(const QString &defaultLogPath = QString(), QWidget *parent = nullptr);

    void onLoad();

    // The log text box, which the main window's Rename command resets.
    void setLogText(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_Command1_clicked();
    void on_OKButton_clicked();
    void on_CancelButton_clicked();

private:
    QPushButton *OKButton;
    QPushButton *CancelButton;
    viewer::LogTextBox *Text1;
    QCalendarWidget *Month1;
    QCalendarWidget *Month2;
    QLabel *Label1;
    QLineEdit *Text2;
    QPushButton *Command1;
    windowing::FileOpenDialog Filename1;
};

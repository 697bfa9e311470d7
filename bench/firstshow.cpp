// Linked into the start-up benchmark's programs: once the first window has
// been exposed and painted, tell the timing parent on stdout and quit, so
// that a start-up can be timed from outside without a display.

#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdio>

namespace {

class FirstShow : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!done_ && event->type() == QEvent::Expose && watched->isWindowType() &&
            static_cast<QWindow *>(watched)->isVisible()) {
            done_ = true;
            // Runs once the expose, and the painting it causes, are over.
            QTimer::singleShot(0, [] { reportAndQuit(); });
        }
        return false;
    }

private:
    static void reportAndQuit()
    {
        int visible = 0, calendars = 0, dialogs = 0, viewers = 0, abouts = 0;
        for (QWidget *widget : QApplication::allWidgets()) {
            visible += widget->isWindow() && widget->isVisible();
            calendars += qobject_cast<QCalendarWidget *>(widget) != nullptr;
            dialogs += qobject_cast<QDialog *>(widget) != nullptr;
            viewers += widget->inherits("Renames");
            abouts += widget->inherits("frmAbout");
        }
        std::printf("shown visible=%d calendars=%d dialogs=%d viewers=%d abouts=%d\n", visible,
                    calendars, dialogs, viewers, abouts);
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    bool done_ = false;
};

void watchFirstShow()
{
    QCoreApplication::instance()->installEventFilter(new FirstShow(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchFirstShow)

#include "frmabout.h"
#include "renamer.h"
#include "renames.h"
#include "services.h"
#include "singlewindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>

using windowing::Single;

namespace {
QString accessibleName(QWidget *control)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QWidget *windowNamed(const QString &window)
{
    if (window == "Renamer")
        return &Single<Renamer>::get();
    if (window == "frmAbout")
        return &Single<frmAbout>::get();
    return &Single<Renames>::get();
}
} // namespace

// What a screen reader announces for the controls of every window.
class TestAccessible : public QObject {
    Q_OBJECT
    QTemporaryDir prefix;
    QFont dialogFont;

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", prefix.path().toUtf8());
        windowing::useDialogFont();
        dialogFont = QApplication::font();
    }
    void cleanup()
    {
        windowing::unloadAll();
        QApplication::setFont(dialogFont);
    }

    // The desktop's ordinary font sizes give way to the 8-point font the
    // layouts are drawn for; a larger one is the user's choice and stays.
    void ordinarySizesUseTheDialogFont_data()
    {
        QTest::addColumn<int>("desktop");
        QTest::addColumn<int>("used");
        QTest::newRow("9 pt") << 9 << 8;
        QTest::newRow("10 pt") << 10 << 8;
        QTest::newRow("12 pt") << 12 << 12;
    }
    void ordinarySizesUseTheDialogFont()
    {
        QFETCH(int, desktop);
        QFETCH(int, used);
        QFont font = QApplication::font();
        font.setPointSize(desktop);
        QApplication::setFont(font);
        windowing::useDialogFont();
        QCOMPARE(QApplication::font().pointSize(), used);
    }

    // Whatever font the desktop gives, before the windows exist or after, no
    // caption, calendar or text is cut off and no control covers another.
    void nothingClipped_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("fixedPitch");
        QTest::addColumn<bool>("afterwards");
        const struct {
            int points;
            bool fixedPitch;
        } fonts[] = {{8, false}, {11, false}, {14, false}, {8, true}};
        for (const char *window : {"Renamer", "Renames", "frmAbout"})
            for (const auto &font : fonts)
                for (bool afterwards : {false, true})
                    QTest::addRow("%s %d pt%s %s", window, font.points,
                                  font.fixedPitch ? " fixed pitch" : "",
                                  afterwards ? "after" : "before")
                        << window << font.points << font.fixedPitch << afterwards;
    }
    void nothingClipped()
    {
        QFETCH(QString, window);
        QFETCH(int, points);
        QFETCH(bool, fixedPitch);
        QFETCH(bool, afterwards);
        QFont font = dialogFont;
        if (fixedPitch)
            font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        font.setPointSize(points);
        if (!afterwards)
            QApplication::setFont(font);
        QWidget *shown = windowNamed(window);
        if (afterwards) {
            QApplication::setFont(font);
            QCoreApplication::processEvents(); // as the running program would
        }
        QCOMPARE(shown->font().pointSize(), points);
        if (auto *main = qobject_cast<QMainWindow *>(shown))
            shown = main->centralWidget();

        QList<std::pair<QString, QRect>> drawn;
        for (QWidget *control : shown->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QString name = control->objectName();
            QVERIFY2(shown->rect().contains(control->geometry()), qPrintable(name));
            QRect ink = control->geometry();
            if (auto *label = qobject_cast<QLabel *>(control); label && !label->text().isEmpty()) {
                const QRect room = label->contentsRect();
                const int flags =
                    int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
                ink = label->fontMetrics()
                          .boundingRect(room, flags, label->text())
                          .translated(label->pos());
                QVERIFY2(label->wordWrap() ? label->heightForWidth(room.width()) <= room.height()
                                           : label->sizeHint().width() <= label->width(),
                         qPrintable(name));
            } else if (qobject_cast<QAbstractButton *>(control)) {
                QVERIFY2(control->sizeHint().width() <= control->width(), qPrintable(name));
            } else if (qobject_cast<QCalendarWidget *>(control)) {
                QVERIFY2(control->minimumSizeHint().width() <= control->width() &&
                             control->minimumSizeHint().height() <= control->height(),
                         qPrintable(name));
            } else if (qobject_cast<QLineEdit *>(control)) {
                QVERIFY2(control->fontMetrics().height() <= control->contentsRect().height(),
                         qPrintable(name));
            }
            for (const auto &[other, otherInk] : std::as_const(drawn))
                QVERIFY2(!ink.intersects(otherInk), qPrintable(name + " covers " + other));
            drawn.append({name, ink});
        }
    }

    void controlsAreNamed_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        const char *const rows[][3] = {
            {"Renamer", "LOGO", "Title banner"},
            {"Renamer", "LevlNo", "Rename Levl"},
            {"Renamer", "tolevelNO", "To Levl"},
            {"Renamer", "Renamebutton", "Rename"},
            {"Renamer", "Exitbutton", "Exit"},
            {"Renamer", "DAT1", ".DAT"},
            {"Renamer", "SETUP1", ".Setup Infomation"},
            {"Renamer", "Folderlist1", "Folders"},
            {"Renames", "OKButton", "Refreash"},
            {"Renames", "CancelButton", "Back"},
            {"Renames", "Command1", "Browse..."},
            {"Renames", "Text1", "Renames log"},
            {"Renames", "Text2", "Log file path"},
            {"Renames", "Month1", "From date"},
            {"Renames", "Month2", "To date"},
            {"frmAbout", "picIcon", "Application icon"},
            {"frmAbout", "cmdOK", "OK"},
            {"frmAbout", "Label1", "vantorel-renamer@example.org"},
        };
        for (const auto &row : rows)
            QTest::addRow("%s %s", row[0], row[1]) << row[0] << row[1] << row[2];
    }
    void controlsAreNamed()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, name);
        auto *widget = windowNamed(window)->findChild<QWidget *>(control);
        QVERIFY2(widget, qPrintable(control));
        QCOMPARE(accessibleName(widget), name);
    }

    // A window reads as its kind under its title, and a control added later
    // without a name fails here, not in a screen reader.
    void windowsAndTheirControlsHaveNames_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("role");
        QTest::newRow("main window") << "Renamer" << int(QAccessible::Window);
        QTest::newRow("viewer") << "Renames" << int(QAccessible::Dialog);
        QTest::newRow("about") << "frmAbout" << int(QAccessible::Dialog);
    }
    void windowsAndTheirControlsHaveNames()
    {
        QFETCH(QString, window);
        QFETCH(int, role);
        QWidget *shown = windowNamed(window);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(shown);
        QVERIFY(accessible);
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), shown->windowTitle());
        if (auto *main = qobject_cast<QMainWindow *>(shown))
            shown = main->centralWidget();
        int focusable = 0;
        // The controls themselves; the parts inside a calendar or a list are
        // named by their owner.
        for (QWidget *control : shown->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (control->focusPolicy() == Qt::NoFocus)
                continue;
            ++focusable;
            QVERIFY2(!accessibleName(control).trimmed().isEmpty(),
                     qPrintable(control->objectName()));
        }
        QVERIFY(focusable >= 2);
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"

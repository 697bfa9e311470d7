#include "renamer.h"
#include "renames.h"
#include "singlewindow.h"

#include <QAccessible>
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
    return &Single<Renames>::get();
}
} // namespace

// What a screen reader announces for the controls of the main window and the
// viewer.
class TestAccessible : public QObject {
    Q_OBJECT
    QTemporaryDir prefix;

private slots:
    void initTestCase() { qputenv("WINEPREFIX", prefix.path().toUtf8()); }
    void cleanup() { windowing::unloadAll(); }

    void controlsAreNamed_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("banner") << "Renamer"
                                << "LOGO"
                                << "Title banner";
        QTest::newRow("source number") << "Renamer"
                                       << "LevlNo"
                                       << "Rename Levl";
        QTest::newRow("target number") << "Renamer"
                                       << "tolevelNO"
                                       << "To Levl";
        QTest::newRow("rename") << "Renamer"
                                << "Renamebutton"
                                << "Rename";
        QTest::newRow("exit") << "Renamer"
                              << "Exitbutton"
                              << "Exit";
        QTest::newRow(".DAT") << "Renamer"
                              << "DAT1"
                              << ".DAT";
        QTest::newRow(".INF") << "Renamer"
                              << "SETUP1"
                              << ".Setup Infomation";
        QTest::newRow("folders") << "Renamer"
                                 << "Folderlist1"
                                 << "Folders";
        QTest::newRow("refresh") << "Renames"
                                 << "OKButton"
                                 << "Refreash";
        QTest::newRow("back") << "Renames"
                              << "CancelButton"
                              << "Back";
        QTest::newRow("browse") << "Renames"
                                << "Command1"
                                << "Browse...";
        QTest::newRow("log") << "Renames"
                             << "Text1"
                             << "Renames log";
        QTest::newRow("path") << "Renames"
                              << "Text2"
                              << "Log file path";
        QTest::newRow("from date") << "Renames"
                                   << "Month1"
                                   << "From date";
        QTest::newRow("to date") << "Renames"
                                 << "Month2"
                                 << "To date";
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

    // A control added later without a name fails here, not in a screen reader.
    void everyControlThatTakesTheFocusHasAName_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("main window") << "Renamer";
        QTest::newRow("viewer") << "Renames";
    }
    void everyControlThatTakesTheFocusHasAName()
    {
        QFETCH(QString, window);
        QWidget *shown = windowNamed(window);
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
        QVERIFY(focusable >= 4);
    }
};

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"

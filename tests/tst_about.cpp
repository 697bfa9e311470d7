#include "frmabout.h"
#include "messagerecorder.h"
#include "renamer.h"
#include "singlewindow.h"
#include "support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using windowing::Single;

namespace {
QString caption(const char *label)
{
    return child<QLabel>(Single<frmAbout>::get(), label)->text();
}

qsizetype aboutWindowsOnScreen()
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return std::count_if(all.begin(), all.end(), [](QWidget *widget) {
        return qobject_cast<frmAbout *>(widget) && widget->isVisible();
    });
}

// Lets the widgets of an unloaded window go, as the event loop would.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestAbout : public QObject {
    Q_OBJECT
    QTemporaryDir prefix;

    void about() { child<QAction>(Single<Renamer>::get(), "About1")->trigger(); }
    // As the user sees it: the About window shown and active.
    void aboutActive()
    {
        about();
        QVERIFY(QTest::qWaitForWindowActive(&Single<frmAbout>::get()));
    }

private slots:
    void initTestCase()
    {
        // The main window's load step looks for the levels folder in here.
        qputenv("WINEPREFIX", prefix.path().toUtf8());
        windowing::useDialogFont();
        Single<Renamer>::show();
    }

    void cleanup()
    {
        Single<frmAbout>::unload();
        settle();
    }

    void cleanupTestCase() { windowing::unloadAll(); }

    void versionText_data()
    {
        QTest::addColumn<qint16>("major");
        QTest::addColumn<qint16>("minor");
        QTest::addColumn<qint16>("revision");
        QTest::addColumn<QString>("text");
        QTest::newRow("release") << qint16(1) << qint16(0) << qint16(0) << "Version 1.0.0";
        QTest::newRow("two digits") << qint16(1) << qint16(12) << qint16(3) << "Version 1.12.3";
        QTest::newRow("negative") << qint16(-1) << qint16(0) << qint16(-7) << "Version -1.0.-7";
        QTest::newRow("limits") << qint16(-32768) << qint16(32767) << qint16(10)
                                << "Version -32768.32767.10";
    }
    void versionText()
    {
        QFETCH(qint16, major);
        QFETCH(qint16, minor);
        QFETCH(qint16, revision);
        QFETCH(QString, text);
        QCOMPARE(about::versionText({major, minor, revision}), text);
    }

    // The load step has set every caption before the window can be seen.
    void captionsAfterLoad()
    {
        frmAbout &window = Single<frmAbout>::get();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("About Vantorel Renamer"));
        QCOMPARE(caption("lblVersion"), QStringLiteral("Version 1.0.0"));
        QCOMPARE(caption("lblTitle"), QStringLiteral("Vantorel Renamer"));

        aboutActive();
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), QSize(407, 147));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(window.windowIcon().isNull() ||
                window.windowIcon().cacheKey() == QApplication::windowIcon().cacheKey());
        QVERIFY(!child<QLabel>(window, "picIcon")->pixmap().isNull());
        QCOMPARE(child<QLabel>(window, "picIcon")->pixmap().size(), QSize(32, 32));
        QVERIFY(child<QPushButton>(window, "cmdOK")->isDefault());
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>(window, "cmdOK"));
    }

    // No caption is cut off by the platform's font.
    void captionsFit()
    {
        about();
        for (QLabel *label : Single<frmAbout>::get().findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            QVERIFY2(label->minimumSizeHint().width() <= label->width(), qPrintable(label->text()));
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                     qPrintable(label->text()));
            QVERIFY(label->parentWidget()->rect().contains(label->geometry()));
        }
        QCOMPARE(child<QLabel>(Single<frmAbout>::get(), "Label1")->accessibleName(),
                 QStringLiteral("vantorel-renamer@example.org"));
    }

    // A second About command brings the same window forward and does not load it again.
    void secondAboutKeepsWindow()
    {
        about();
        QPointer<frmAbout> first = &Single<frmAbout>::get();
        child<QLabel>(*first, "lblVersion")->setText(QStringLiteral("marked"));
        about();
        settle();
        QCOMPARE(&Single<frmAbout>::get(), first.data());
        QCOMPARE(aboutWindowsOnScreen(), 1);
        QCOMPARE(caption("lblVersion"), QStringLiteral("marked"));
    }

    // OK unloads the window; the next About command builds it afresh.
    void reopenRebuilds()
    {
        about();
        QPointer<frmAbout> first = &Single<frmAbout>::get();
        child<QLabel>(*first, "lblVersion")->setText(QStringLiteral("marked"));
        QTest::mouseClick(child<QPushButton>(*first, "cmdOK"), Qt::LeftButton);
        QVERIFY(!Single<frmAbout>::isLoaded());
        QVERIFY(!first->isVisible());
        settle();
        QVERIFY(first.isNull());
        QCOMPARE(aboutWindowsOnScreen(), 0);

        about();
        QVERIFY(Single<frmAbout>::get().isVisible());
        QCOMPARE(caption("lblVersion"), QStringLiteral("Version 1.0.0"));
        QCOMPARE(aboutWindowsOnScreen(), 1);
    }

    void keysClose_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<int>("key");
        for (const char *control : {"cmdOK", "picIcon"}) {
            QTest::addRow("%s Enter", control) << QByteArray(control) << int(Qt::Key_Enter);
            QTest::addRow("%s Return", control) << QByteArray(control) << int(Qt::Key_Return);
            QTest::addRow("%s Esc", control) << QByteArray(control) << int(Qt::Key_Escape);
        }
    }
    void keysClose()
    {
        QFETCH(QByteArray, control);
        QFETCH(int, key);
        aboutActive();
        frmAbout &window = Single<frmAbout>::get();
        QPointer<QWidget> target = child<QWidget>(window, control.constData());
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target.data());
        QTest::keyClick(target.data(), Qt::Key(key));
        QVERIFY(!Single<frmAbout>::isLoaded());
        QCOMPARE(aboutWindowsOnScreen(), 0);
    }

    // Tab moves between the button and the picture only; the labels never take the focus.
    void tabOrder()
    {
        aboutActive();
        frmAbout &window = Single<frmAbout>::get();
        QWidget *ok = child<QWidget>(window, "cmdOK");
        QWidget *icon = child<QWidget>(window, "picIcon");
        QCOMPARE(QApplication::focusWidget(), ok);
        QTest::keyClick(ok, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), icon);
        QTest::keyClick(icon, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ok);
        QVERIFY(Single<frmAbout>::isLoaded());
    }

    void closeBoxUnloads()
    {
        about();
        QPointer<frmAbout> window = &Single<frmAbout>::get();
        QVERIFY(!window->close());
        QVERIFY(!Single<frmAbout>::isLoaded());
        settle();
        QVERIFY(window.isNull());
    }

    // The About window is modeless: the main window still takes input and renames.
    void mainWindowStaysUsable()
    {
        QTemporaryDir levels;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(levels.path()));
        about();
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        Renamer &main = Single<Renamer>::get();
        auto *source = child<QLineEdit>(main, "LevlNo");
        source->setFocus();
        source->selectAll();
        QTest::keyClicks(source, "77");
        QCOMPARE(source->text(), QStringLiteral("77"));
        MessageRecorder recorder;
        QTest::mouseClick(child<QPushButton>(main, "Renamebutton"), Qt::LeftButton);
        QCOMPARE(recorder.messages.size(), 3);
        QVERIFY(recorder.messages.first().startsWith(QStringLiteral("Rename levl77.DAT to ")));
        QVERIFY(Single<frmAbout>::get().isVisible());
        QVERIFY(QDir::setCurrent(before));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"

#include "frmabout.h"
#include "messagerecorder.h"
#include "renamer.h"
#include "services.h"
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
#include <cmath>

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
    QPalette startPalette;

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
        startPalette = QApplication::palette();
        Single<Renamer>::show();
    }

    void cleanup()
    {
        QApplication::setPalette(startPalette);
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

    // The texts stay black and readable (WCAG's 4.5:1 at least) in any palette,
    // whether the desktop gives it before the window opens or while it is open.
    void textsReadableInAnyPalette_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<bool>("afterwards");
        const QColor dark(0x2a, 0x2e, 0x32), light(0xef, 0xf0, 0xf1);
        QTest::newRow("light") << light << dark << false;
        QTest::newRow("dark before") << dark << light << false;
        QTest::newRow("dark after") << dark << light << true;
        QTest::newRow("middle grey after") << QColor(0x70, 0x70, 0x70) << light << true;
    }
    void textsReadableInAnyPalette()
    {
        QFETCH(QColor, window);
        QFETCH(QColor, text);
        QFETCH(bool, afterwards);
        QPalette palette = startPalette;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, text);
        if (!afterwards)
            QApplication::setPalette(palette);
        about();
        if (afterwards) {
            QApplication::setPalette(palette);
            QCoreApplication::processEvents();
        }
        const auto luminance = [](QColor c) {
            const auto linear = [](qreal v) {
                return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) +
                   0.0722 * linear(c.blueF());
        };
        frmAbout &about = Single<frmAbout>::get();
        const QColor background = about.palette().color(about.backgroundRole());
        for (QLabel *label : about.findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            const QColor ink = label->palette().color(label->foregroundRole());
            const qreal lighter = std::max(luminance(ink), luminance(background));
            const qreal darker = std::min(luminance(ink), luminance(background));
            QVERIFY2((lighter + 0.05) / (darker + 0.05) >= 4.5, qPrintable(label->objectName()));
        }
        for (const char *black : {"lblTitle", "lblDescription", "lblDisclaimer"})
            QCOMPARE(child<QLabel>(about, black)->palette().color(QPalette::WindowText),
                     QColor(Qt::black));
    }

    // Dense screens get the pictures drawn at twice the size, not enlarged.
    void picturesForDenseScreens_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1") << 1.0;
        QTest::newRow("2") << 2.0;
    }
    void picturesForDenseScreens()
    {
        QFETCH(qreal, ratio);
        const QPixmap banner =
            windowing::picture(QStringLiteral(":/images/banner.png"), QSize(350, 128), ratio);
        QCOMPARE(banner.size(), QSize(350, 128) * ratio);
        QCOMPARE(banner.deviceIndependentSize(), QSizeF(350, 128));
        const QPixmap icon = windowing::applicationIcon().pixmap(QSize(32, 32), ratio);
        QCOMPARE(icon.size(), QSize(32, 32) * ratio);
        QCOMPARE(windowing::applicationIcon().availableSizes().size(),
                 QDir(QStringLiteral(":/icons")).entryList().size());
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

    // OK, the keys and the close box unload the window; the next About
    // command builds it afresh.
    void closes_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<int>("key"); // 0: a click, or the close box on the window
        QTest::newRow("OK clicked") << QByteArray("cmdOK") << 0;
        QTest::newRow("close box") << QByteArray() << 0;
        const std::pair<Qt::Key, const char *> keys[] = {
            {Qt::Key_Enter, "Enter"}, {Qt::Key_Return, "Return"}, {Qt::Key_Escape, "Esc"}};
        for (const char *control : {"cmdOK", "picIcon"})
            for (const auto &[key, name] : keys)
                QTest::addRow("%s %s", control, name) << QByteArray(control) << int(key);
    }
    void closes()
    {
        QFETCH(QByteArray, control);
        QFETCH(int, key);
        aboutActive();
        QPointer<frmAbout> first = &Single<frmAbout>::get();
        child<QLabel>(*first, "lblVersion")->setText(QStringLiteral("marked"));
        if (control.isEmpty()) {
            QVERIFY(!first->close());
        } else if (key == 0) {
            QTest::mouseClick(child<QPushButton>(*first, "cmdOK"), Qt::LeftButton);
        } else {
            QWidget *target = child<QWidget>(*first, control.constData());
            target->setFocus();
            QCOMPARE(QApplication::focusWidget(), target);
            QTest::keyClick(target, Qt::Key(key));
        }
        QVERIFY(!Single<frmAbout>::isLoaded());
        QCOMPARE(aboutWindowsOnScreen(), 0);
        settle();
        QVERIFY(first.isNull());

        about();
        QCOMPARE(caption("lblVersion"), QStringLiteral("Version 1.0.0"));
        QCOMPARE(aboutWindowsOnScreen(), 1);
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

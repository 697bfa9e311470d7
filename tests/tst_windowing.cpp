#include "display.h"
#include "fonts.h"
#include "layout.h"

#include <QApplication>
#include <QTest>

// What the windows rely on that no window needs to show: whether there is a
// display to show them on, and how much a layout grows with a font.
class TestWindowing : public QObject {
    Q_OBJECT
private slots:
    void canShowWindows_data()
    {
        QTest::addColumn<QByteArray>("platform"); // as QT_QPA_PLATFORM or -platform name it
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<bool>("can");
        QTest::newRow("X11 by default, no server named")
            << QByteArray() << QByteArray() << QByteArray() << false;
        QTest::newRow("X11 by default, a display")
            << QByteArray() << QByteArray(":0") << QByteArray() << true;
        QTest::newRow("a Wayland socket alone")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << true;
        QTest::newRow("Wayland with options, no server")
            << QByteArray("wayland:x=1") << QByteArray() << QByteArray() << false;
        QTest::newRow("no server needed")
            << QByteArray("offscreen") << QByteArray() << QByteArray() << true;
        QTest::newRow("falls back to one that needs none")
            << QByteArray("xcb;offscreen") << QByteArray() << QByteArray() << true;
        QTest::newRow("an empty name is the default")
            << QByteArray(";xcb") << QByteArray() << QByteArray() << false;
    }
    void canShowWindows()
    {
#ifdef _WIN32
        QSKIP("Windows always has its desktop");
#endif
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, wayland);
        const QByteArray saved[] = {qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
        qputenv("DISPLAY", display);
        qputenv("WAYLAND_DISPLAY", wayland);
        const bool can =
            windowing::canShowWindows(platform.isNull() ? nullptr : platform.constData());
        qputenv("DISPLAY", saved[0]);
        qputenv("WAYLAND_DISPLAY", saved[1]);
        QTEST(can, "can");
    }

    // 1 for the 8-point dialog font and smaller ones; a larger font grows the
    // layout as much as it is taller, or draws a caption wider, not less.
    void fontScale_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("least");
        QTest::addColumn<double>("most");
        QTest::newRow("the dialog font") << 8 << "Rename Levl" << 1.0 << 1.0;
        QTest::newRow("smaller") << 6 << "" << 1.0 << 1.0;
        QTest::newRow("twice as large") << 16 << "" << 1.8 << 2.2;
        QTest::newRow("a caption, twice as large") << 16 << "Rename Levl" << 1.8 << 2.6;
    }
    void fontScale()
    {
        QFETCH(int, points);
        QFETCH(QString, caption);
        windowing::useDialogFont();
        QFont font = QApplication::font();
        font.setPointSize(points);
        const qreal scale =
            windowing::fontScale(font, caption.isEmpty() ? QStringList() : QStringList{caption});
        QFETCH(double, least);
        QFETCH(double, most);
        QVERIFY2(scale >= least && scale <= most, qPrintable(QString::number(scale)));
    }
};

QTEST_MAIN(TestWindowing)
#include "tst_windowing.moc"

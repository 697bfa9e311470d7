#include "builtinpaths.h"
#include "frmabout.h"
#include "logtextbox.h"
#include "messagerecorder.h"
#include "renamer.h"
#include "renames.h"
#include "singlewindow.h"
#include "support.h"
#include "texteditor.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <cmath>

using windowing::Single;

namespace {
qsizetype visibleWindows()
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return std::count_if(all.begin(), all.end(), [](QWidget *w) { return w->isVisible(); });
}

QString viewerText()
{
    return child<viewer::LogTextBox>(Single<Renames>::get(), "Text1")->text();
}

// The controls themselves: a main window's are in its client area.
QList<QWidget *> controls(QWidget *window)
{
    if (auto *main = qobject_cast<QMainWindow *>(window))
        window = main->centralWidget();
    return window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
}

const QColor dark(0x2a, 0x2e, 0x32), light(0xef, 0xf0, 0xf1);

qreal luminance(QColor c) // as WCAG defines it
{
    const auto linear = [](qreal v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

// A folder's files, "name<content" where a file holds another's name.
QStringList folderState(const QString &folder)
{
    QStringList files;
    for (const QString &name : entries(folder)) {
        const QString content = QString::fromUtf8(readFile(folder + "/" + name));
        files << (content == name ? name : name + "<" + content);
    }
    return files;
}
} // namespace

// The main window on real level files in a scratch Wine prefix's levels
// folder, and the windows it opens.
class TestRenamer : public QObject {
    Q_OBJECT
    QString startFolder;
    QTemporaryDir scratch;
    QString levels;
    QFont dialogFont;
    QPalette startPalette;

    Renamer &window() { return Single<Renamer>::get(); }
    void click(const char *name)
    {
        QTest::mouseClick(child<QPushButton>(window(), name), Qt::LeftButton);
    }
    void trigger(const char *name) { child<QAction>(window(), name)->trigger(); }
    // A window as the user opens it: the main window, then through its menus.
    QWidget *open(const QString &name)
    {
        Single<Renamer>::show();
        if (name == "Renames")
            trigger("Program1");
        else if (name == "frmAbout")
            trigger("About1");
        return name == "Renames"    ? static_cast<QWidget *>(&Single<Renames>::get())
               : name == "frmAbout" ? static_cast<QWidget *>(&Single<frmAbout>::get())
                                    : &window();
    }

    // Centred; one larger than the screen keeps its top-left corner on it.
    void verifyCentred(QWidget *shown)
    {
        const QRect screen = shown->screen()->availableGeometry();
        QRect centred = shown->frameGeometry();
        centred.moveCenter(screen.center());
        const QPoint offset =
            shown->frameGeometry().topLeft() -
            QPoint(std::max(centred.left(), screen.left()), std::max(centred.top(), screen.top()));
        QVERIFY2(offset.manhattanLength() <= 4,
                 qPrintable(QString("off by %1, %2").arg(offset.x()).arg(offset.y())));
    }

private slots:
    void initTestCase()
    {
        startFolder = QDir::currentPath();
        windowing::useDialogFont();
        dialogFont = QApplication::font();
        startPalette = QApplication::palette();
#ifdef _WIN32
        // Under Wine in the test run's own prefix: the built-in folder itself.
        levels = QDir::fromNativeSeparators(QString::fromUtf16(platform::LevelsFolder));
#else
        levels = scratch.path() + "/drive_c/Program Files/Quenmark/Vantorel/levels";
        qputenv("WINEPREFIX", scratch.path().toUtf8());
#endif
    }

    void init()
    {
#ifdef _WIN32
        QVERIFY(QDir("c:/Program Files (x86)/Quenmark").removeRecursively());
#endif
        QDir(levels).removeRecursively();
        QVERIFY(QDir().mkpath(levels));
        levels = QFileInfo(levels).canonicalFilePath(); // as the system spells it
    }

    void cleanup()
    {
        windowing::unloadAll();
        QApplication::setFont(dialogFont);
        QApplication::setPalette(startPalette);
        QDir::setCurrent(startFolder);
    }

#ifdef _WIN32
    // A 32-bit game on 64-bit Windows lives in "Program Files (x86)".
    void programFilesX86_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("levelsX86");
        QTest::addColumn<bool>("logX86");
        const QString native = "c:/Program Files/Quenmark/Vantorel/levels";
        const QString x86 = "c:/Program Files (x86)/Quenmark/Vantorel/levels";
        QTest::newRow("64-bit") << QStringList{native} << false << false;
        QTest::newRow("32-bit") << QStringList{x86} << true << true;
        QTest::newRow("both") << QStringList{native, x86} << false << false;
        QTest::newRow("neither") << QStringList{} << false << false;
        QTest::newRow("both, the log only in the 32-bit one")
            << QStringList{native, x86 + "/Renames.txt"} << false << true;
    }
    void programFilesX86()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, levelsX86);
        QFETCH(bool, logX86);
        QVERIFY(QDir("c:/Program Files/Quenmark").removeRecursively());
        for (const QString &path : paths) {
            const bool log = path.endsWith(".txt");
            QVERIFY(QDir().mkpath(log ? path.section('/', 0, -2) : path));
            QVERIFY(!log || writeFile(path, "log"));
        }
        const auto expected = [](const char16_t *builtIn, bool x86) {
            QString path = QString::fromUtf16(builtIn);
            return x86 ? path.replace("c:\\Program Files\\", "c:\\Program Files (x86)\\") : path;
        };
        for (const char16_t *path : {platform::LevelsFolder, platform::DefaultLogPath})
            QCOMPARE(platform::hostPath(QString::fromUtf16(path)),
                     expected(path, path == platform::LevelsFolder ? levelsX86 : logX86));
    }
#endif

    // The files there, each holding its own name; the boxes clicked ("HDR1?"
    // greys one instead); the numbers typed, and the "from" number set while
    // the first box is up; then the messages and the folder afterwards.
    void renames_data()
    {
        QTest::addColumn<bool>("levelsFolder"); // else the program's start folder
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("after");
        const QStringList level = {"levl2131.DAT", "levl2131.HDR", "levl2131.INF", "levl2131.VER"};
        const auto ok = [](const char *extension) {
            return QString("Rename levl2131%1 to levl2001%1 OK").arg(extension);
        };
        QTest::newRow("as the window opens")
            << true << level << QStringList() << QStringList()
            << QStringList{ok(".DAT"), ok(".HDR"), ok(".VER")}
            << QStringList{"levl2001.DAT<levl2131.DAT", "levl2001.HDR<levl2131.HDR",
                           "levl2001.VER<levl2131.VER", "levl2131.INF"};
        QTest::newRow("failures reported, later rows still run, nothing undone")
            << true << QStringList{"levl2131.HDR", "levl2131.VER", "levl2001.VER"} << QStringList()
            << QStringList()
            << QStringList{"Rename levl2131.DAT to levl2001.DAT Failed - From file not found",
                           ok(".HDR"),
                           "Rename levl2131.VER to levl2001.VER Failed - To file already exists"}
            << QStringList{"levl2001.HDR<levl2131.HDR", "levl2001.VER", "levl2131.VER"};
        QTest::newRow("no box ticked") << true << level << QStringList{"DAT1", "HDR1", "VER1"}
                                       << QStringList() << QStringList() << level;
        QTest::newRow("setup information, a greyed box counts as ticked")
            << true << level << QStringList{"DAT1", "VER1", "SETUP1", "HDR1?"} << QStringList()
            << QStringList{ok(".HDR"), ok(".INF")}
            << QStringList{"levl2001.HDR<levl2131.HDR", "levl2001.INF<levl2131.INF", "levl2131.DAT",
                           "levl2131.VER"};
        QTest::newRow("numbers as typed, read for every row")
            << true << QStringList{"levl.DAT", "levl 7.HDR"} << QStringList{"VER1"}
            << QStringList{"", "2001x", " 7"}
            << QStringList{"Rename levl.DAT to levl2001x.DAT OK",
                           "Rename levl 7.HDR to levl2001x.HDR OK"}
            << QStringList{"levl2001x.DAT<levl.DAT", "levl2001x.HDR<levl 7.HDR"};
        QTest::newRow("no levels folder: where the program started")
            << false << QStringList{"levl2131.DAT"} << QStringList{"HDR1", "VER1"} << QStringList()
            << QStringList{ok(".DAT")} << QStringList{"levl2001.DAT<levl2131.DAT"};
    }
    void renames()
    {
        QFETCH(bool, levelsFolder);
        QFETCH(QStringList, files);
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, numbers);
        const QString folder = levelsFolder ? levels : scratch.path() + "/started here";
        if (!levelsFolder) {
            QVERIFY(QDir(levels).removeRecursively() && QDir().mkpath(folder));
            QDir::setCurrent(folder);
        }
        for (const QString &file : files)
            QVERIFY(writeFile(folder + "/" + file, file.toUtf8()));
        MessageRecorder recorder([&](const QString &) {
            if (numbers.size() > 2)
                child<QLineEdit>(window(), "LevlNo")->setText(numbers[2]);
        });
        window();
        QVERIFY(!Single<Renames>::isLoaded()); // nothing the first screen does not need
        for (QString box : clicks) {
            const bool grey = box.endsWith('?');
            auto *control = child<QCheckBox>(window(), qPrintable(box.remove('?')));
            if (grey)
                control->setCheckState(Qt::PartiallyChecked);
            else
                QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(6, 8));
        }
        for (qsizetype i = 0; i < std::min<qsizetype>(numbers.size(), 2); ++i) {
            auto *box = child<QLineEdit>(window(), i == 0 ? "LevlNo" : "tolevelNO");
            box->clear();
            QTest::keyClicks(box, numbers[i]);
        }
        click("Renamebutton");
        QTEST(recorder.messages, "messages");
        QTEST(folderState(folder), "after");
        QVERIFY(!Single<Renames>::get().isVisible());
        QCOMPARE(viewerText(), QString("Press the 'Refresh' button."));
    }

    // "Program" shows the viewer a rename loaded, Back unloads it, and a
    // rename writes to the viewer shown again.
    void viewerLifecycle()
    {
        MessageRecorder recorder;
        click("Renamebutton");
        QPointer<Renames> loaded = &Single<Renames>::get();
        trigger("Program1");
        trigger("Program1");
        QCOMPARE(&Single<Renames>::get(), loaded);
        QVERIFY(loaded->isVisible());
        QTest::mouseClick(child<QPushButton>(*loaded, "CancelButton"), Qt::LeftButton);
        QTRY_VERIFY(loaded.isNull());
        trigger("Program1");
        click("Renamebutton");
        QVERIFY(Single<Renames>::get().isVisible());
        QCOMPARE(viewerText(), QString("Press the 'Refresh' button."));
    }

    // The folder list holds the current folder's parent folders, the folder
    // and its subfolders, nothing beside them; opening a folder moves the
    // list there and leaves the current folder alone.
    void folderList()
    {
        for (const char *folder : {"/A/deeper", "/b sub", "/../sibling"})
            QVERIFY(QDir().mkpath(levels + folder));
        Single<Renamer>::show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        auto *list = child<QTreeView>(window(), "Folderlist1");
        QStringList parents;
        for (QDir up(levels); up.cdUp();)
            parents.prepend(up.absolutePath());
        const auto shows = [&](const QStringList &below) {
            QStringList rows;
            for (QModelIndex row = list->model()->index(0, 0); row.isValid();
                 row = list->indexBelow(row))
                rows << row.data(Qt::UserRole).toString();
            return rows == parents + QStringList{levels, levels + "/A"} + below;
        };
        QVERIFY(shows({levels + "/b sub"}));
        QCOMPARE(list->currentIndex().data(Qt::UserRole).toString(), levels);

        list->setFocus();
        list->setCurrentIndex(list->indexBelow(list->currentIndex()));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(shows({levels + "/A/deeper"}));
        QCOMPARE(list->currentIndex().data().toString(), QString("A"));
        const QRect up = list->visualRect(list->indexAbove(list->currentIndex()));
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, up.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, up.center());
        QTRY_VERIFY(shows({levels + "/b sub"}));
        QCOMPARE(QDir::currentPath(), levels);
    }

    // Neither button is the default or the cancel button, Help does nothing,
    // and Alt alone selects the first menu, which the menu bar then shows.
    void keysAndMenus()
    {
        MessageRecorder recorder;
        Single<Renamer>::show();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(child<QWidget>(window(), "LevlNo"), key);
        trigger("Help2");
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(visibleWindows(), 1);

        QMenuBar *menus = window().menuBar();
        const QImage plain = menus->grab().toImage();
        QTest::keyClick(child<QWidget>(window(), "LevlNo"), Qt::Key_Alt);
        QCOMPARE(menus->activeAction() ? menus->activeAction()->text() : "", QString("File"));
        QVERIFY(menus->grab().toImage() != plain);
    }

    // Whatever font and palette the desktop gives, before the windows exist or
    // after, no caption, calendar or text is cut off, no control covers
    // another, and the About texts stay black and readable (WCAG's 4.5:1).
    // Ordinary sizes give way to the 8-point font the layouts are drawn for; a
    // larger one is the user's choice.
    void desktopLooks_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("fixedPitch");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<bool>("afterwards");
        const struct {
            int points;
            bool fixedPitch;
            QColor background;
        } looks[] = {{10, false, light},
                     {11, false, dark},
                     {14, false, QColor(0x70, 0x70, 0x70)},
                     {8, true, light}};
        for (const char *window : {"Renamer", "Renames", "frmAbout"})
            for (const auto &look : looks)
                for (bool afterwards : {false, true}) {
#ifdef _WIN32
                    // Slow to draw under Wine: there, the viewer smaller and
                    // larger than the screen, and About in palettes given late.
                    const QLatin1String name(window);
                    if (name == "Renamer" || look.fixedPitch ||
                        afterwards != (name == "frmAbout") ||
                        (name == "Renames" && look.points == 11))
                        continue;
#endif
                    QTest::addRow("%s %d pt%s %s %s", window, look.points,
                                  look.fixedPitch ? " fixed pitch" : "",
                                  qPrintable(look.background.name()),
                                  afterwards ? "after" : "before")
                        << window << look.points << look.fixedPitch << look.background
                        << afterwards;
                }
    }
    void desktopLooks()
    {
        QFETCH(QString, window);
        QFETCH(int, points);
        QFETCH(bool, fixedPitch);
        QFETCH(QColor, background);
        QFETCH(bool, afterwards);
        QFont font = dialogFont;
        if (fixedPitch)
            font.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        font.setPointSize(points);
        QPalette palette = startPalette;
        palette.setColor(QPalette::Window, background);
        palette.setColor(QPalette::WindowText, background == light ? dark : light);
        const auto apply = [&] {
            QApplication::setFont(font);
            QApplication::setPalette(palette);
        };
        if (!afterwards) {
            apply();
            windowing::useDialogFont();
        }
        QWidget *shown = open(window);
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        if (afterwards) {
            apply();
            QCoreApplication::processEvents(); // as the running program would
        } else {
            verifyCentred(shown);
        }
        QCOMPARE(shown->font().pointSize(), afterwards || points > 10 ? points : 8);
        const qreal back = luminance(shown->palette().color(shown->backgroundRole()));
        QList<std::pair<QString, QRect>> drawn;
        for (QWidget *control : controls(shown)) {
            const QString name = control->objectName();
            QVERIFY2(control->parentWidget()->rect().contains(control->geometry()),
                     qPrintable(name));
            QRect ink = control->geometry();
            bool fits = true;
            if (auto *label = qobject_cast<QLabel *>(control); label && !label->text().isEmpty()) {
                const QRect room = label->contentsRect();
                const int flags =
                    int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
                ink = label->fontMetrics()
                          .boundingRect(room, flags, label->text())
                          .translated(label->pos());
                fits = label->wordWrap() ? label->heightForWidth(room.width()) <= room.height()
                                         : label->sizeHint().width() <= label->width();
                const qreal text = luminance(label->palette().color(label->foregroundRole()));
                QVERIFY2(window != "frmAbout" ||
                             (std::max(text, back) + 0.05) / (std::min(text, back) + 0.05) >= 4.5,
                         qPrintable(name + " unreadable"));
            } else if (qobject_cast<QAbstractButton *>(control)) {
                fits = control->sizeHint().width() <= control->width();
            } else if (auto *calendar = qobject_cast<QCalendarWidget *>(control)) {
                // Every day and week in sight, whatever the face and style.
                const auto *days = calendar->findChild<QTableView *>();
                fits = days->horizontalScrollBar()->maximum() == 0 &&
                       days->verticalScrollBar()->maximum() == 0;
            } else if (qobject_cast<QLineEdit *>(control)) {
                fits = control->fontMetrics().height() <= control->contentsRect().height();
            }
            QVERIFY2(fits, qPrintable(name));
            for (const auto &[other, otherInk] : std::as_const(drawn))
                QVERIFY2(!ink.intersects(otherInk), qPrintable(name + " covers " + other));
            drawn.append({name, ink});
        }
        for (const char *black : {"lblTitle", "lblDescription", "lblDisclaimer"}) {
            if (auto *label = shown->findChild<QLabel *>(black))
                QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
    }

    // A window reads as its kind under its title, shows its focus from the
    // start, and Tab goes round its controls from there; what a screen reader
    // says for each of them, then for the named controls Tab does not reach.
    void namesAndTabOrder_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("role");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("main window")
            << "Renamer" << int(QAccessible::Window) << QStringList{"LevlNo: Rename Levl",
                                                                    "DAT1: .DAT",
                                                                    "HDR1: .HDR",
                                                                    "VER1: .VER",
                                                                    "SETUP1: .Setup Infomation",
                                                                    "tolevelNO: To Levl",
                                                                    "Renamebutton: Rename",
                                                                    "Exitbutton: Exit",
                                                                    "Folderlist1: Folders",
                                                                    "LOGO: Title banner"};
        QTest::newRow("viewer") << "Renames" << int(QAccessible::Dialog)
                                << QStringList{"OKButton: Refreash",  "CancelButton: Back",
                                               "Text1: Renames log",  "Text2: Log file path",
                                               "Command1: Browse...", "Month1: From date",
                                               "Month2: To date"};
        QTest::newRow("About") << "frmAbout" << int(QAccessible::Dialog)
                               << QStringList{"cmdOK: OK", "picIcon: Application icon",
                                              "Label1: vantorel-renamer@example.org"};
    }
    void namesAndTabOrder()
    {
        QFETCH(QString, window);
        QFETCH(int, role);
        QWidget *shown = open(window);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        verifyCentred(shown);
        QVERIFY(shown->testAttribute(Qt::WA_KeyboardFocusChange));
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(shown);
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), shown->windowTitle());
        QList<QWidget *> round;
        for (QWidget *focus; !round.contains(focus = QApplication::focusWidget());) {
            round << focus;
            QTest::keyClick(focus, Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), round.first());
        for (QWidget *control : controls(shown)) {
            if (!round.contains(control) && !control->accessibleName().isEmpty())
                round << control;
        }
        QStringList names;
        for (QWidget *control : std::as_const(round))
            names << control->objectName() + ": " +
                         QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
        QTEST(names, "names");
    }

    // The About window's load step sets its captions before it can be seen;
    // shown, it is fixed in size, pictures drawn sharp on dense screens, and
    // modeless: the main window still renames.
    void aboutWindow()
    {
        frmAbout &about = Single<frmAbout>::get();
        QCOMPARE(QStringList({about.windowTitle(), child<QLabel>(about, "lblTitle")->text(),
                              child<QLabel>(about, "lblVersion")->text()}),
                 QStringList({"About Vantorel Renamer", "Vantorel Renamer", "Version 1.0.0"}));
        QCOMPARE(about::versionText({-32768, 32767, 10}), QString("Version -32768.32767.10"));
        open("frmAbout");
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.size(), QSize(407, 147));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QVERIFY(
            !(about.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QVERIFY(about.windowIcon().isNull() ||
                about.windowIcon().cacheKey() == QApplication::windowIcon().cacheKey());
        QCOMPARE(child<QLabel>(about, "picIcon")->pixmap().size(), QSize(32, 32));
        QVERIFY(child<QPushButton>(about, "cmdOK")->isDefault());
        for (qreal ratio : {1.0, 2.0}) {
            const QPixmap banner = windowing::picture(":/images/banner.png", {350, 128}, ratio);
            QCOMPARE(banner.size(), QSize(350, 128) * ratio);
            QCOMPARE(banner.deviceIndependentSize(), QSizeF(350, 128));
            QCOMPARE(windowing::applicationIcon().pixmap({32, 32}, ratio).size(),
                     QSize(32, 32) * ratio);
        }
        QCOMPARE(windowing::applicationIcon().availableSizes().size(),
                 QDir(":/icons").entryList().size());

        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        MessageRecorder recorder;
        click("Renamebutton");
        QCOMPARE(recorder.messages.size(), 3);
    }

    // A second About brings the same window forward; OK, the keys and the
    // close box unload it, and the next About builds it afresh.
    void aboutCloses_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<int>("key"); // 0: a click, or the close box on the window
        QTest::newRow("OK clicked") << QByteArray("cmdOK") << 0;
        QTest::newRow("close box") << QByteArray() << 0;
        for (const char *control : {"cmdOK", "picIcon"})
            for (const auto &[key, name] :
                 {std::pair(Qt::Key_Enter, "Enter"), std::pair(Qt::Key_Return, "Return"),
                  std::pair(Qt::Key_Escape, "Esc")})
                QTest::addRow("%s %s", control, name) << QByteArray(control) << int(key);
    }
    void aboutCloses()
    {
        QFETCH(QByteArray, control);
        QFETCH(int, key);
        QPointer<QWidget> about = open("frmAbout");
        QVERIFY(QTest::qWaitForWindowActive(about));
        child<QLabel>(*about, "lblVersion")->setText("marked");
        trigger("About1");
        QCOMPARE(&Single<frmAbout>::get(), about.data());
        QCOMPARE(child<QLabel>(*about, "lblVersion")->text(), QString("marked"));
        QCOMPARE(visibleWindows(), 2);
        if (control.isEmpty()) {
            QVERIFY(!about->close());
        } else if (key == 0) {
            QTest::mouseClick(child<QPushButton>(*about, "cmdOK"), Qt::LeftButton);
        } else {
            QWidget *target = child<QWidget>(*about, control.constData());
            target->setFocus();
            QTest::keyClick(target, Qt::Key(key));
        }
        QVERIFY(!Single<frmAbout>::isLoaded());
        QCOMPARE(visibleWindows(), 1);
        QTRY_VERIFY(about.isNull());
        trigger("About1");
        QCOMPARE(child<QLabel>(Single<frmAbout>::get(), "lblVersion")->text(),
                 QString("Version 1.0.0"));
    }

    // "Notepad" starts the desktop's editor for plain text on the default log,
    // there or not yet, each time, with the path as one argument and no shell.
    void notepadStartsTheDefaultEditor_data()
    {
        QTest::addColumn<QString>("defaults");    // text/plain in mimeapps.list
        QTest::addColumn<QStringList>("entries"); // "file name: line|line..."
        QTest::addColumn<bool>("logExists");
        QTest::addColumn<QStringList>("command"); // "EDITOR", "LOG" stand for the paths
#ifdef _WIN32
        QTest::newRow("notepad") << "" << QStringList() << false
                                 << QStringList{"notepad.exe", "LOG"};
#else
        const QString plain = R"(fake.desktop: Type=Application|Exec="EDITOR" %f)";
        QTest::newRow("quoted program, URL list, icon and percent")
            << "fake.desktop"
            << QStringList{R"(fake.desktop: Type=Application|Icon=pen|)"
                           R"(Exec="EDITOR" "--new window" %i %U 100%%)"}
            << true << QStringList{"EDITOR", "--new window", "--icon", "pen", "LOG", "100%"};
        QTest::newRow("missing, hidden and unrunnable entries skipped, no log yet")
            << "gone.desktop;hidden.desktop;tried.desktop;fake.desktop"
            << QStringList{"hidden.desktop: Type=Application|Hidden=true|Exec=EDITOR",
                           "tried.desktop: Type=Application|TryExec=no-such-editor|Exec=EDITOR",
                           plain}
            << false << QStringList{"EDITOR", "LOG"};
        QTest::newRow("no editor at all") << "" << QStringList() << false << QStringList();
#endif
    }
    void notepadStartsTheDefaultEditor()
    {
        QFETCH(QString, defaults);
        QFETCH(QStringList, entries);
        QFETCH(bool, logExists);
        QFETCH(QStringList, command);
        QTemporaryDir xdg;
        for (const char *name :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
            qputenv(name, (xdg.path() + "/" + name).toUtf8());
        const QString editor = xdg.path() + "/my editors/fake-editor";
        const QString applications = xdg.path() + "/XDG_DATA_HOME/applications/";
        QVERIFY(QDir().mkpath(applications) && QDir().mkpath(xdg.path() + "/my editors") &&
                QDir().mkpath(xdg.path() + "/XDG_CONFIG_HOME"));
        QVERIFY(writeFile(editor, "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(editor, QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(writeFile(xdg.path() + "/XDG_CONFIG_HOME/mimeapps.list",
                          "[Default Applications]\ntext/plain=" + defaults.toUtf8() + "\n"));
        for (const QString &entry : entries) {
            QString lines = "[Desktop Entry]\n" + entry.section(": ", 1).replace('|', '\n');
            QVERIFY(writeFile(applications + entry.section(": ", 0, 0),
                              lines.replace("EDITOR", editor).toUtf8()));
        }
        const QString log = platform::hostPath(QString::fromUtf16(platform::DefaultLogPath));
        if (logExists)
            QVERIFY(writeFile(log, "a\r\n"));
        QStringList expected;
        for (const QString &part : command)
            expected << (part == "EDITOR" ? editor : part == "LOG" ? log : part);

        QList<QStringList> started;
        platform::setProgramStarter([&](const QString &program, const QStringList &arguments) {
            started << (QStringList{program} + arguments);
            return !QStandardPaths::findExecutable(program).isEmpty();
        });
        MessageRecorder recorder;
        trigger("Notepad1");
        trigger("Notepad1");
        platform::setProgramStarter({});
        QCOMPARE(recorder.messages,
                 QStringList(expected.isEmpty() ? 2 : 0, "The text editor could not be started."));
        if (!expected.isEmpty())
            QCOMPARE(started, QList<QStringList>({expected, expected}));
        QVERIFY(window().isEnabled());
    }

    // The close box ends the program, with the viewer and the About window
    // shown too (the end-to-end runs press Exit and the Exit menu item).
    void closeBoxEndsTheProgram()
    {
        open("Renames");
        open("frmAbout");
        QTimer::singleShot(0, &window(), &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(visibleWindows(), 0);
    }
};

QTEST_MAIN(TestRenamer)
#include "tst_renamer.moc"

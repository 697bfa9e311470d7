#include "aboutwindow.h"
#include "fonts.h"
#include "gamesearch.h"
#include "logtextbox.h"
#include "logviewer.h"
#include "mainwindow.h"
#include "messagerecorder.h"
#include "singlewindow.h"
#include "support.h"
#include "texteditor.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using windowing::Single;

namespace {
qsizetype visibleWindows()
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return std::count_if(all.begin(), all.end(), [](QWidget *w) { return w->isVisible(); });
}

// The controls themselves: a main window's are in its client area.
QList<QWidget *> controls(QWidget *window)
{
    if (auto *main = qobject_cast<QMainWindow *>(window))
        window = main->centralWidget();
    return window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
}

} // namespace

// The main window on real level files in a scratch Wine prefix, and its windows.
class TestRenamer : public QObject {
    Q_OBJECT
    const RunScratch run{"tst_renamer"};
    QString startFolder;
    QTemporaryDir scratch;
    QString levels;
    QFont dialogFont;
    QPalette startPalette;
    QProcess bus; // the Notepad rows' session bus

    // The main window, loaded with the game search's answer for the test's home.
    Renamer &window()
    {
        if (Single<Renamer>::isLoaded())
            return Single<Renamer>::get();
        return Single<Renamer>::get(gamesearch::GameSearch::answered(gameFolder()));
    }
    static gamesearch::GameFolder gameFolder()
    {
        return gamesearch::findGame(QDir::homePath(), qEnvironmentVariable("WINEPREFIX"));
    }
    void click(const char *name)
    {
        QTest::mouseClick(child<QPushButton>(window(), name), Qt::LeftButton);
    }
    void trigger(const char *name) { child<QAction>(window(), name)->trigger(); }
    // A window as the user opens it: the main window, then through its menus.
    QWidget *open(const QString &name)
    {
        window();
        Single<Renamer>::show();
        if (name == "Renamer")
            return &window();
        trigger(name == "Renames" ? "Program1" : "About1");
        return name == "Renames" ? static_cast<QWidget *>(&Single<Renames>::get())
                                 : &Single<frmAbout>::get();
    }

private slots:
    void initTestCase()
    {
        startFolder = QDir::currentPath();
        windowing::useDialogFont();
        if (qEnvironmentVariableIsSet("VR_DESKTOP_FACE")) { // else Qt's, and drawn at 8 points
            const QString face = qEnvironmentVariable("VR_DESKTOP_FACE");
            QApplication::setFont(QFont(face, 9));
            // A face the system lacks is replaced by another: this run would test that one.
            // (The foundry may follow the family's name in brackets.)
            if (QFontInfo(QApplication::font()).family().section(" [", 0, 0) != face)
                QSKIP(qPrintable(face + " is not installed (scripts/test installs it)"));
        }
        dialogFont = QApplication::font();
        startPalette = QApplication::palette();
#ifdef _WIN32
        // Under Wine in the test run's own prefix: the built-in folder itself.
        levels = QDir::fromNativeSeparators(QString::fromUtf16(gamesearch::LevelsFolder));
#else
        const QString proton = scratch.path() + "/.local/share/Steam/steamapps/compatdata/2131/pfx";
        levels = proton + "/drive_c/Program Files/Quenmark/Vantorel/levels";
        qputenv("WINEPREFIX", proton.toUtf8());
#endif
    }

    void init()
    {
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

    // Files holding their own names; boxes clicked by the user, or greyed (as
    // only a program could); numbers typed, the third set while the first box
    // is up. Afterwards each file by its name, with the name it had before.
    void renames_data()
    {
        using Files = QMap<QString, QString>;
        QTest::addColumn<bool>("levelsFolder"); // else the program's start folder
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("clicked");
        QTest::addColumn<QStringList>("greyed");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<Files>("after");
        const QStringList level = {"levl2131.DAT", "levl2131.HDR", "levl2131.INF", "levl2131.VER"};
        const auto ok = [](const char *extension) {
            return QString("Rename levl2131%1 to levl2001%1 OK").arg(extension);
        };
        const auto kept = [](const QStringList &names) {
            Files files;
            for (const QString &name : names)
                files[name] = name;
            return files;
        };
        QTest::newRow("as the window opens")
            << true << level << QStringList() << QStringList() << QStringList()
            << QStringList{ok(".DAT"), ok(".HDR"), ok(".VER")}
            << Files{{"levl2001.DAT", "levl2131.DAT"},
                     {"levl2001.HDR", "levl2131.HDR"},
                     {"levl2001.VER", "levl2131.VER"},
                     {"levl2131.INF", "levl2131.INF"}};
        QTest::newRow("failures reported, later rows still run, nothing undone")
            << true << QStringList{"levl2131.HDR", "levl2131.VER", "levl2001.VER"} << QStringList()
            << QStringList() << QStringList()
            << QStringList{"Rename levl2131.DAT to levl2001.DAT Failed - From file not found",
                           ok(".HDR"),
                           "Rename levl2131.VER to levl2001.VER Failed - To file already exists"}
            << Files{{"levl2001.HDR", "levl2131.HDR"},
                     {"levl2001.VER", "levl2001.VER"},
                     {"levl2131.VER", "levl2131.VER"}};
        QTest::newRow("no box ticked")
            << true << level << QStringList{"DAT1", "HDR1", "VER1"} << QStringList()
            << QStringList() << QStringList() << kept(level);
        QTest::newRow("setup information, a greyed box counts as ticked")
            << true << level << QStringList{"DAT1", "VER1", "SETUP1"} << QStringList{"HDR1"}
            << QStringList() << QStringList{ok(".HDR"), ok(".INF")}
            << Files{{"levl2001.HDR", "levl2131.HDR"},
                     {"levl2001.INF", "levl2131.INF"},
                     {"levl2131.DAT", "levl2131.DAT"},
                     {"levl2131.VER", "levl2131.VER"}};
        QTest::newRow("numbers as typed, read for every row")
            << true << QStringList{"levl.DAT", "levl 7.HDR"} << QStringList{"VER1"} << QStringList()
            << QStringList{"", "2001x", " 7"}
            << QStringList{"Rename levl.DAT to levl2001x.DAT OK",
                           "Rename levl 7.HDR to levl2001x.HDR OK"}
            << Files{{"levl2001x.DAT", "levl.DAT"}, {"levl2001x.HDR", "levl 7.HDR"}};
        QTest::newRow("other failures by their codes")
            << true << QStringList{"levl2131.DAT"} << QStringList{"HDR1", "VER1"} << QStringList()
            << QStringList{"2131", "x/y"}
            << QStringList{"Rename levl2131.DAT to levlx/y.DAT Failed 76"}
            << kept({"levl2131.DAT"});
        QTest::newRow("no levels folder: where the program started")
            << false << QStringList{"levl2131.DAT"} << QStringList{"HDR1", "VER1"} << QStringList()
            << QStringList() << QStringList{ok(".DAT")} << Files{{"levl2001.DAT", "levl2131.DAT"}};
    }
    void renames()
    {
        QFETCH(bool, levelsFolder);
        QFETCH(QStringList, files);
        QFETCH(QStringList, clicked);
        QFETCH(QStringList, greyed);
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
        for (const QString &box : clicked)
            QTest::mouseClick(child<QCheckBox>(window(), qPrintable(box)), Qt::LeftButton, {},
                              QPoint(6, 8));
        for (const QString &box : greyed)
            child<QCheckBox>(window(), qPrintable(box))->setCheckState(Qt::PartiallyChecked);
        for (qsizetype i = 0; i < std::min<qsizetype>(numbers.size(), 2); ++i) {
            auto *box = child<QLineEdit>(window(), i == 0 ? "LevlNo" : "tolevelNO");
            box->clear();
            QTest::keyClicks(box, numbers[i]);
        }
        click("Renamebutton");
        QTEST(recorder.messages, "messages");
        QMap<QString, QString> after;
        for (const QString &name :
             QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            after[name] = QString::fromUtf8(readFile(folder + "/" + name));
        QTEST(after, "after");
        QVERIFY(!Single<Renames>::get().isVisible());
        QCOMPARE(child<viewer::LogTextBox>(Single<Renames>::get(), "Text1")->text(),
                 QString("Press the 'Refresh' button."));
    }

    // "Program" shows the viewer a rename loaded; Back unloads it.
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
        QCOMPARE(child<viewer::LogTextBox>(Single<Renames>::get(), "Text1")->text(),
                 QString("Press the 'Refresh' button."));
    }

    // Rename pressed while the game is still looked for waits for the answer
    // under the hourglass, only Exit taking input meanwhile (Tab reaches it),
    // and then renames in the folder answered, not in the one the program
    // started in; Exit while it waits ends the program and renames nothing.
    void renameWaitsForTheAnswer_data()
    {
        QTest::addColumn<bool>("exit");
        QTest::newRow("answered") << false;
        QTest::newRow("exit meanwhile") << true;
    }
    void renameWaitsForTheAnswer()
    {
        QFETCH(bool, exit);
        const QString started = scratch.path() + "/started before the answer";
        QVERIFY(QDir(started).removeRecursively() && QDir().mkpath(started) &&
                QDir::setCurrent(started));
        const QStringList level{"levl2131.DAT", "levl2131.HDR", "levl2131.VER"};
        for (const QString &name : level)
            QVERIFY(writeFile(levels + "/" + name, "") && writeFile(started + "/" + name, ""));
        const auto search = std::make_shared<gamesearch::GameSearch>();
        Single<Renamer>::show(search);
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        auto *list = child<QTreeView>(window(), "Folderlist1");
        QCOMPARE(list->model()->index(0, 0).data().toString(), QString("Looking for the game..."));
        MessageRecorder recorder;
        QStringList whileWaiting;
        const auto waiting = [&] {
            QTest::keyClicks(child<QLineEdit>(window(), "LevlNo"), "9");
            QTest::mouseClick(child<QCheckBox>(window(), "DAT1"), Qt::LeftButton);
            whileWaiting << QString::number(window().cursor().shape())
                         << QString::number(child<QAction>(window(), "Program1")->isEnabled());
            if (exit) { // to Exit with the keyboard
                auto *exitButton = child<QWidget>(window(), "Exitbutton");
                for (int tabs = 0; tabs < 12 && QApplication::focusWidget() != exitButton; ++tabs)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                if (QApplication::focusWidget() == exitButton)
                    QTest::keyClick(exitButton, Qt::Key_Space);
                else // the check below fails; the answer ends the wait
                    whileWaiting << "Tab does not reach Exit", search->deliver(gameFolder());
            } else {
                search->deliver(gameFolder());
            }
        };
        // In the application's loop, as a user's click; Exit ends that loop.
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, waiting);
            click("Renamebutton");
            QCoreApplication::quit();
        });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(whileWaiting, QStringList({QString::number(Qt::WaitCursor), "0"}));
        QStringList renamed =
            QDir(levels).entryList(QDir::Files) + QDir(started).entryList(QDir::Files);
        QCOMPARE(renamed.filter("2001").size(), exit ? 0 : 3);
        QCOMPARE(QDir(started).entryList(QDir::Files), level);
        QCOMPARE(recorder.messages.size(), exit ? 0 : 3);
        if (exit)
            return;
        QCOMPARE(child<QLineEdit>(window(), "LevlNo")->text(), QString("2131"));
        QCOMPARE(window().cursor().shape(), Qt::ArrowCursor);
        QVERIFY(child<QAction>(window(), "Program1")->isEnabled());
        QCOMPARE(list->currentIndex().data(Qt::UserRole).toString(), levels);
    }

    // Parents from the game's drive on, the folder and its subfolders, the
    // folder's full path as the tooltip; opening one leaves the current folder alone.
    void folderList()
    {
        for (const char *folder : {"/A/deeper", "/b sub", "/../sibling"})
            QVERIFY(QDir().mkpath(levels + folder));
        window();
        Single<Renamer>::show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        auto *list = child<QTreeView>(window(), "Folderlist1");
        QStringList parents;
        for (QDir up(levels); up.dirName() != "drive_c" && up.cdUp();)
            parents.prepend(up.absolutePath());
        const auto shows = [&](const QStringList &below) {
            QStringList rows;
            for (QModelIndex row = list->model()->index(0, 0); row.isValid();
                 row = list->indexBelow(row))
                rows << row.data(Qt::UserRole).toString();
            return rows == parents + QStringList{levels, levels + "/A"} + below;
        };
        QVERIFY(shows({levels + "/b sub"}));
        QCOMPARE(QStringList({list->model()->index(0, 0).data().toString(), list->toolTip()}),
                 QStringList({"C:\\", QDir::toNativeSeparators(levels)}));
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

    // Each window in a desktop's font and colours, set before it opens or while it
    // shows (as qt6ct does; the layouts are drawn for 8 points, so only a larger
    // font than 10 points is kept): a serif face whose widest glyph fills a
    // calendar's day, the desktop's face large, a face large while it shows. On its
    // screen (800 x 800 here, which the viewer at 14 points outgrows) and centred,
    // nothing cut off or covered, every folder named in full, About black on light.
    void looks_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QFont>("font");
        QTest::addColumn<bool>("afterwards");
        const std::pair<QFont, bool> fonts[] = {{QFont("DejaVu Serif", 10), true},
                                                {QFont(dialogFont.family(), 14), false},
                                                {QFont("DejaVu Sans", 14), true}};
        for (const char *window : {"Renamer", "Renames", "frmAbout"})
            for (const auto &[font, afterwards] : fonts)
                QTest::addRow("%s %s %d pt%s", window, qPrintable(font.family()), font.pointSize(),
                              afterwards ? " afterwards" : "")
                    << QString(window) << font << afterwards;
    }
    void looks()
    {
        QFETCH(QString, window);
        QFETCH(QFont, font);
        QFETCH(bool, afterwards);
        QPalette palette = startPalette;
        palette.setColor(QPalette::Window, QColor(0x707070));
        palette.setColor(QPalette::WindowText, Qt::white);
        const auto apply = [&] {
            QApplication::setFont(font);
            QApplication::setPalette(palette);
        };
        if (!afterwards)
            apply();
        // No game: the folder list shows where the program started, too deep to fit.
        const QString started = scratch.path() + "/Downloads/vantorel-renamer-1.0.0-linux";
        QVERIFY(QDir(levels).removeRecursively() && QDir().mkpath(started) &&
                QDir::setCurrent(started));
        QWidget *shown = open(window);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        if (afterwards) {
            apply();
            QCoreApplication::processEvents(); // as the running program would
        }
        const QRect screen = shown->screen()->availableGeometry(); // on it, centred unless it grew
        QVERIFY(screen.contains(shown->frameGeometry()));
        QVERIFY(afterwards ||
                (shown->frameGeometry().center() - screen.center()).manhattanLength() <= 4);
        QCOMPARE(QApplication::font().pointSize(), font.pointSize() > 10 ? font.pointSize() : 8);
        QRegion drawn;
        for (QWidget *control : controls(shown)) {
            const QString name = control->objectName();
            QRect ink = control->geometry();
            bool fits = !qobject_cast<QAbstractButton *>(control) ||
                        control->sizeHint().width() <= control->width();
            if (auto *label = qobject_cast<QLabel *>(control); label && !label->text().isEmpty()) {
                const int flags =
                    int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
                ink = label->fontMetrics()
                          .boundingRect(label->contentsRect(), flags, label->text())
                          .translated(label->pos());
                fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                         : label->sizeHint().width() <= label->width();
            }
            if (const auto *days = control->findChild<QTableView *>()) // all 7 days, 6 weeks
                fits = !(days->horizontalScrollBar()->maximum() ||
                         days->verticalScrollBar()->maximum());
            if (const auto *list = qobject_cast<QTreeView *>(control)) { // every name in full
                // The current folder in sight, from its icon on where its name is wider.
                const QModelIndex now = list->currentIndex();
                const QRect shown(list->visualRect(now).topLeft(), list->sizeHintForIndex(now));
                fits = list->viewport()->rect().contains(shown) ||
                       (shown.left() == 0 && shown.width() > list->viewport()->width());
                for (QModelIndex row = list->model()->index(0, 0); row.isValid();
                     row = list->indexBelow(row))
                    fits &= list->visualRect(row).width() >= list->sizeHintForIndex(row).width();
            }
            QVERIFY2(fits && control->parentWidget()->rect().contains(control->geometry()),
                     qPrintable(name));
            QVERIFY2(!drawn.intersects(ink), qPrintable(name + " covers another control"));
            drawn += ink;
        }
        QVERIFY(window != "frmAbout" || shown->palette().color(QPalette::Window).lightness() > 200);
        for (const char *black : {"lblTitle", "lblDescription", "lblDisclaimer"})
            if (auto *label = shown->findChild<QLabel *>(black))
                QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
    }

    // What a keyboard user and a screen reader meet in each window: the focus
    // shown from the start, the window's role and name, and each control's name,
    // in Tab order, then the controls Tab skips.
    void keyboardAndScreenReaders_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("names");
        QTest::newRow("Renamer")
            << "Renamer" << int(QAccessible::Window)
            << "LevlNo: Rename Levl; DAT1: .DAT; HDR1: .HDR; VER1: .VER; SETUP1: .Setup "
               "Infomation; "
               "tolevelNO: To Levl; Renamebutton: Rename; Exitbutton: Exit; Folderlist1: Folders; "
               "LOGO: Title banner";
        QTest::newRow("Renames") << "Renames" << int(QAccessible::Dialog)
                                 << "OKButton: Refreash; CancelButton: Back; Text1: Renames log; "
                                    "Text2: Log file path; Command1: Browse...; Month1: From date; "
                                    "Month2: To date";
        QTest::newRow("frmAbout")
            << "frmAbout" << int(QAccessible::Dialog)
            << "cmdOK: OK; picIcon: Application icon; Label1: vantorel-renamer@example.org";
    }
    void keyboardAndScreenReaders()
    {
        QFETCH(QString, window);
        QFETCH(int, role);
        QWidget *shown = open(window);
        QVERIFY(QTest::qWaitForWindowActive(shown));
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
        QTEST(names.join("; "), "names");
    }

    // The main window has no default or cancel button (Enter and Esc press
    // nothing), Help does nothing, and Alt alone selects "File", shown selected.
    void mainWindowKeys()
    {
        QWidget *shown = open("Renamer");
        QVERIFY(QTest::qWaitForWindowActive(shown));
        MessageRecorder recorder;
        for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(child<QWidget>(*shown, "LevlNo"), key);
        trigger("Help2");
        QCOMPARE(QList({recorder.messages.size(), visibleWindows()}), QList<qsizetype>({0, 1}));
        QMenuBar *menus = window().menuBar();
        const QImage plain = menus->grab().toImage();
        QTest::keyClick(child<QWidget>(*shown, "LevlNo"), Qt::Key_Alt);
        QCOMPARE(menus->activeAction() ? menus->activeAction()->text() : "", QString("File"));
        QVERIFY(menus->grab().toImage() != plain);
        QTest::keyClick(menus, Qt::Key_Escape);
    }

    // About: captions set on load, a fixed size, modeless; a second About brings
    // the same window forward; OK, Enter, Esc or the close box unload it.
    void about_data()
    {
        QTest::addColumn<QString>("how"); // a click on OK, the close box, or a control and key
        for (const char *how : {"click", "close box", "cmdOK Enter", "cmdOK Return", "cmdOK Esc",
                                "picIcon Enter", "picIcon Return", "picIcon Esc"})
            QTest::newRow(how) << QString(how);
    }
    void about()
    {
        QFETCH(QString, how);
        QPointer<QWidget> about = open("frmAbout");
        QVERIFY(QTest::qWaitForWindowActive(about));
        QCOMPARE(QStringList({about->windowTitle(), child<QLabel>(*about, "lblTitle")->text(),
                              child<QLabel>(*about, "lblVersion")->text()}),
                 QStringList({"About Vantorel Renamer", "Vantorel Renamer", "Version 1.0.0"}));
        QCOMPARE(about::versionText({-32768, 32767, 10}), QString("Version -32768.32767.10"));
        QCOMPARE(about->minimumSize(), about->maximumSize());
        QVERIFY(!(about->windowFlags() &
                  (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        child<QLabel>(*about, "lblVersion")->setText("marked");
        trigger("About1");
        QCOMPARE(child<QLabel>(Single<frmAbout>::get(), "lblVersion")->text(), QString("marked"));
        QCOMPARE(visibleWindows(), 2);
        if (how == "close box") {
            QVERIFY(!about->close());
        } else if (how == "click") {
            QTest::mouseClick(child<QPushButton>(*about, "cmdOK"), Qt::LeftButton);
        } else {
            QWidget *target = child<QWidget>(*about, qPrintable(how.section(' ', 0, 0)));
            target->setFocus();
            QTest::keySequence(target, QKeySequence(how.section(' ', 1)));
        }
        QVERIFY(!Single<frmAbout>::isLoaded());
        QCOMPARE(visibleWindows(), 1);
        QTRY_VERIFY(about.isNull());
    }

#ifdef _WIN32
    // Notepad on the default log, the path one argument, once per click.
    void notepadStartsNotepad()
    {
        QList<QStringList> started;
        desktop::setProgramStarter([&](const QString &program, const QStringList &arguments) {
            started << QStringList{program} + arguments;
            return true;
        });
        MessageRecorder recorder;
        trigger("Notepad1");
        trigger("Notepad1");
        desktop::setProgramStarter({});
        const QString log = gameFolder().log;
        QCOMPARE(started, QList<QStringList>(2, {"notepad.exe", log}));
        QCOMPARE(recorder.messages, QStringList());
    }
#else
    // The desktop's editors for plain text in a scratch home, started on the
    // default log, the path one argument, once per click: the default, an
    // editor started through a D-Bus service that is not there, which starts
    // nothing; then the others (A, and if it gives up B, in a terminal). Each
    // records its arguments; those named in VR_FAILING then give up, and a
    // terminal named there is missing. When none starts, the message names
    // the log, which the user can still open by hand.
    void notepadStartsTheDesktopsEditor_data()
    {
        QTest::addColumn<bool>("logExists");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QStringList>("records"); // of one click
        QTest::addColumn<QStringList>("messages");
        const QStringList a{"A|LOG"}, b{"xterm|-e|EDITOR|B|LOG", "B|LOG"}, none,
            failed(2, "The text editor could not be started. The renames log is LOG");
        QTest::newRow("the first that starts, no log yet") << false << "" << a << none;
        QTest::newRow("the next in a terminal, the log there") << true << "A" << a + b << none;
        QTest::newRow("every one gives up") << true << "A B" << a + b << failed;
        QTest::newRow("no terminal") << false << "A xterm" << a << failed;
    }
    void notepadStartsTheDesktopsEditor()
    {
        QFETCH(bool, logExists);
        QFETCH(QString, failing);
        QFETCH(QStringList, records);
        // A session bus of the test's own, where the D-Bus editor's service is missing.
        if (bus.state() == QProcess::NotRunning) {
            bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
            if (!bus.waitForReadyRead(10000))
                QSKIP("An editor started through D-Bus needs dbus-daemon (package dbus-daemon)");
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        }
        // GIO reads the folders once: the same for every row.
        const QString xdg = scratch.path() + "/xdg/", editor = xdg + "my editors/fake-editor";
        for (const char *name : {"DATA_HOME", "CONFIG_HOME", "DATA_DIRS", "CONFIG_DIRS"})
            qputenv(QByteArray("XDG_") + name, (xdg + name).toUtf8());
        const auto put = [&](const QString &path, const QString &text) {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()) && writeFile(path, text.toUtf8()));
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        const QString record = "#!/bin/sh\n(IFS='|'; echo \"$*\") >> \"$VR_RECORDS/$$\"\n";
        put(editor, record + "case \" $VR_FAILING \" in *\" $1 \"*) exit 1;; esac\n");
        put(xdg + "bin/xterm", QString(record).replace("$*", "xterm|$*") + "shift\nexec \"$@\"\n");
        const QString entry = "[Desktop Entry]\nType=Application\nName=%1\nExec=\"%2\" %1 %F\n";
        put(xdg + "DATA_HOME/applications/a.desktop", entry.arg("A", editor));
        put(xdg + "DATA_HOME/applications/b.desktop", entry.arg("B", editor) + "Terminal=true");
        put(xdg + "DATA_HOME/applications/org.example.Missing.desktop",
            entry.arg("D", editor) + "DBusActivatable=true\n");
        put(xdg + "CONFIG_HOME/mimeapps.list",
            "[Default Applications]\ntext/plain=org.example.Missing.desktop\n"
            "[Added Associations]\ntext/plain=a.desktop;b.desktop\n");
        const QString log = levels + "/Renames.txt";
        QVERIFY(logExists ? writeFile(log, "a\r\n") : !QFileInfo::exists(log));
        QTemporaryDir recorded;
        const auto restore = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        qputenv("PATH", QFile::encodeName(xdg + (failing.contains("xterm") ? "none" : "bin")));
        qputenv("VR_FAILING", failing.toUtf8());
        qputenv("VR_RECORDS", QFile::encodeName(recorded.path()));

        MessageRecorder recorder;
        trigger("Notepad1");
        trigger("Notepad1");
        const auto written = [&] {
            QStringList lines;
            for (const QString &pid : QDir(recorded.path()).entryList(QDir::Files))
                lines += QString(readFile(recorded.filePath(pid))).split('\n', Qt::SkipEmptyParts);
            lines.sort();
            return lines;
        };
        records =
            (records + records).replaceInStrings("LOG", log).replaceInStrings("EDITOR", editor);
        records.sort();
        QTRY_COMPARE(written(), records);
        // Every one reaped, and any message shown: the command is over.
        for (const QString &pid : QDir(recorded.path()).entryList(QDir::Files))
            QTRY_VERIFY(!QFileInfo::exists("/proc/" + pid));
        QFETCH(QStringList, messages);
        QCOMPARE(recorder.messages, messages.replaceInStrings("LOG", log));
        QCOMPARE(QFileInfo::exists(log), logExists);
    }
#endif

    // The close box ends the program, the other windows shown too.
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

#include "builtinpaths.h"
#include "frmabout.h"
#include "logtextbox.h"
#include "messagerecorder.h"
#include "renamer.h"
#include "renames.h"
#include "services.h"
#include "singlewindow.h"
#include "support.h"
#include "texteditor.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
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

using windowing::Single;

namespace {
template <class Predicate> qsizetype countTopLevel(Predicate predicate)
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return std::count_if(all.begin(), all.end(), predicate);
}

const QStringList initialMessages = {
    "Rename levl2131.DAT to levl2001.DAT OK",
    "Rename levl2131.HDR to levl2001.HDR OK",
    "Rename levl2131.VER to levl2001.VER OK",
};
} // namespace

// The main window on real level files in a scratch Wine prefix's levels folder.
class TestRenamer : public QObject {
    Q_OBJECT
    QString startFolder;
    std::unique_ptr<QTemporaryDir> prefix;
    QString levels;
    QFont dialogFont;

    Renamer &window() { return Single<Renamer>::get(); }
    void click(const char *name)
    {
        QTest::mouseClick(child<QPushButton>(window(), name), Qt::LeftButton);
    }
    void trigger(const char *name) { child<QAction>(window(), name)->trigger(); }
    QString viewerText()
    {
        return child<viewer::LogTextBox>(Single<Renames>::get(), "Text1")->text();
    }
    void makeLevel(const QString &number, const QStringList &extensions)
    {
        for (const QString &extension : extensions)
            QVERIFY(
                writeFile(levels + "/levl" + number + extension, (number + extension).toUtf8()));
    }

private slots:
    void initTestCase()
    {
        startFolder = QDir::currentPath();
        windowing::useDialogFont();
        dialogFont = QApplication::font();
    }

    void init()
    {
#ifdef _WIN32
        // Under Wine in the test run's own prefix: the built-in folder itself.
        QVERIFY(QDir("c:/Program Files (x86)/Quenmark").removeRecursively());
        levels = QDir::fromNativeSeparators(QString::fromUtf16(platform::LevelsFolder));
        QDir(levels).removeRecursively();
        QVERIFY(QDir().mkpath(levels));
        levels = QFileInfo(levels).canonicalFilePath(); // as the system spells it
#else
        prefix = std::make_unique<QTemporaryDir>();
        levels = prefix->path() + "/drive_c/Program Files/Quenmark/Vantorel/levels";
        qputenv("WINEPREFIX", prefix->path().toUtf8());
#endif
        QVERIFY(QDir().mkpath(levels));
        QDir::setCurrent(startFolder);
    }

    void cleanup()
    {
        windowing::unloadAll();
        QApplication::setFont(dialogFont);
        QDir::setCurrent(startFolder);
    }

    void startsInTheLevelsFolder()
    {
        MessageRecorder recorder;
        window();
        QCOMPARE(QDir::currentPath(), levels);
        QCOMPARE(child<QLineEdit>(window(), "LevlNo")->text(), QString("2131"));
        QCOMPARE(child<QLineEdit>(window(), "tolevelNO")->text(), QString("2001"));
        QVERIFY(!Single<Renames>::isLoaded()); // nothing the first screen does not need
        QVERIFY(recorder.messages.isEmpty());
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
        for (const char *game : {"c:/Program Files/Quenmark", "c:/Program Files (x86)/Quenmark"})
            QVERIFY(QDir(game).removeRecursively());
        for (const QString &path : paths) {
            const bool log = path.endsWith(".txt");
            QVERIFY(QDir().mkpath(log ? path.section('/', 0, -2) : path));
            QVERIFY(!log || writeFile(path, "log"));
        }
        const auto expected = [](const char16_t *builtIn, bool x86) {
            QString path = QString::fromUtf16(builtIn);
            return x86 ? path.replace("c:\\Program Files\\", "c:\\Program Files (x86)\\") : path;
        };
        QCOMPARE(platform::hostPath(QString::fromUtf16(platform::LevelsFolder)),
                 expected(platform::LevelsFolder, levelsX86));
        QCOMPARE(platform::hostPath(QString::fromUtf16(platform::DefaultLogPath)),
                 expected(platform::DefaultLogPath, logX86));
    }
#endif

    void missingLevelsFolderIsSilent()
    {
        QVERIFY(QDir(levels).removeRecursively());
        QTemporaryDir elsewhere;
        QDir::setCurrent(elsewhere.path());
        QVERIFY(writeFile("levl2131.DAT", "x"));
        MessageRecorder recorder;
        window();
        QCOMPARE(QDir::currentPath(), QDir(elsewhere.path()).canonicalPath());
        QVERIFY(recorder.messages.isEmpty());
        child<QCheckBox>(window(), "HDR1")->setChecked(false);
        child<QCheckBox>(window(), "VER1")->setChecked(false);
        click("Renamebutton");
        QCOMPARE(recorder.messages, QStringList{initialMessages[0]});
        QVERIFY(QFile::exists("levl2001.DAT"));
    }

    void initialStateRenamesThreeFilesInOrder()
    {
        makeLevel("2131", {".DAT", ".HDR", ".VER", ".INF"});
        MessageRecorder recorder;
        click("Renamebutton");
        QCOMPARE(recorder.messages, initialMessages);
        QCOMPARE(entries(levels),
                 QStringList({"levl2001.DAT", "levl2001.HDR", "levl2001.VER", "levl2131.INF"}));
        QCOMPARE(readFile(levels + "/levl2001.HDR"), QByteArray("2131.HDR"));
    }

    void failuresAreReportedAndLaterRowsStillRun()
    {
        makeLevel("2131", {".HDR", ".VER"});
        makeLevel("2001", {".VER"});
        MessageRecorder recorder;
        click("Renamebutton");
        QCOMPARE(
            recorder.messages,
            QStringList({"Rename levl2131.DAT to levl2001.DAT Failed - From file not found",
                         "Rename levl2131.HDR to levl2001.HDR OK",
                         "Rename levl2131.VER to levl2001.VER Failed - To file already exists"}));
        // Nothing is undone, and neither file of the refused rename changed.
        QCOMPARE(readFile(levels + "/levl2001.HDR"), QByteArray("2131.HDR"));
        QCOMPARE(readFile(levels + "/levl2131.VER"), QByteArray("2131.VER"));
        QCOMPARE(readFile(levels + "/levl2001.VER"), QByteArray("2001.VER"));
    }

    void tickedBoxesChooseTheRows()
    {
        makeLevel("2131", {".DAT", ".HDR", ".VER", ".INF"});
        MessageRecorder recorder;
        for (const char *box : {"DAT1", "HDR1", "VER1"})
            QTest::mouseClick(child<QCheckBox>(window(), box), Qt::LeftButton, {}, QPoint(6, 8));
        click("Renamebutton");
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(viewerText(), QString("Press the 'Refresh' button."));

        QTest::mouseClick(child<QCheckBox>(window(), "SETUP1"), Qt::LeftButton, {}, QPoint(6, 8));
        click("Renamebutton");
        QCOMPARE(recorder.messages, QStringList{"Rename levl2131.INF to levl2001.INF OK"});

        // A greyed box counts as ticked.
        child<QCheckBox>(window(), "SETUP1")->setChecked(false);
        child<QCheckBox>(window(), "HDR1")->setCheckState(Qt::PartiallyChecked);
        click("Renamebutton");
        QCOMPARE(recorder.messages.last(), QString("Rename levl2131.HDR to levl2001.HDR OK"));
        QCOMPARE(entries(levels),
                 QStringList({"levl2001.HDR", "levl2001.INF", "levl2131.DAT", "levl2131.VER"}));
    }

    void numbersAreUsedAsTypedAndReadForEveryRow()
    {
        makeLevel("", {".DAT"});
        makeLevel(" 7", {".HDR"});
        auto *source = child<QLineEdit>(window(), "LevlNo");
        source->clear();
        QTest::keyClicks(child<QLineEdit>(window(), "tolevelNO"), "x");
        child<QCheckBox>(window(), "VER1")->setChecked(false);
        // The first box is up when the number changes; the next row reads it anew.
        MessageRecorder recorder([&](const QString &) { source->setText(" 7"); });
        click("Renamebutton");
        QCOMPARE(recorder.messages, QStringList({"Rename levl.DAT to levl2001x.DAT OK",
                                                 "Rename levl 7.HDR to levl2001x.HDR OK"}));
        QCOMPARE(entries(levels), QStringList({"levl2001x.DAT", "levl2001x.HDR"}));
    }

    void viewerLifecycle()
    {
        MessageRecorder recorder;
        click("Renamebutton");
        QVERIFY(Single<Renames>::isLoaded());
        Renames *loaded = &Single<Renames>::get();
        QVERIFY(!loaded->isVisible());
        QVERIFY(!child<QCalendarWidget>(*loaded, "Month1")->isEnabled()); // the load step ran

        trigger("Program1");
        QCOMPARE(&Single<Renames>::get(), loaded);
        QVERIFY(loaded->isVisible());
        QCOMPARE(viewerText(), QString("Press the 'Refresh' button."));
        trigger("Program1");
        QCOMPARE(&Single<Renames>::get(), loaded);

        QPointer<Renames> old = loaded;
        QTest::mouseClick(child<QPushButton>(*loaded, "CancelButton"), Qt::LeftButton);
        QVERIFY(!Single<Renames>::isLoaded());
        QTRY_VERIFY(old.isNull());

        trigger("Program1");
        click("Renamebutton");
        QVERIFY(Single<Renames>::get().isVisible());
        QCOMPARE(viewerText(), QString("Press the 'Refresh' button."));
        QCOMPARE(countTopLevel([](QWidget *w) { return qobject_cast<Renames *>(w) != nullptr; }),
                 1);
        QCOMPARE(recorder.messages.size(), 3 * 2); // no level files here
    }

    // The folder list holds the current folder's parent folders, the folder
    // and its subfolders, nothing beside them; opening a folder moves the
    // list there and leaves the current folder alone.
    void folderList()
    {
        for (const char *folder : {"/A/deeper", "/b sub", "/../sibling"})
            QVERIFY(QDir().mkpath(levels + folder));
        QVERIFY(writeFile(levels + "/levl2131.DAT", "x"));
        Single<Renamer>::show();
        QVERIFY(QTest::qWaitForWindowExposed(&window()));
        auto *list = child<QTreeView>(window(), "Folderlist1");
        const auto shown = [list] {
            QStringList rows;
            for (QModelIndex row = list->model()->index(0, 0); row.isValid();
                 row = list->indexBelow(row))
                rows << row.data(Qt::UserRole).toString();
            return rows;
        };
        QStringList parents;
        for (QDir up(levels); up.cdUp();)
            parents.prepend(up.absolutePath());
        QCOMPARE(shown(), parents + QStringList({levels, levels + "/A", levels + "/b sub"}));
        QCOMPARE(list->currentIndex().data(Qt::UserRole).toString(), levels);

        list->setFocus();
        list->setCurrentIndex(list->indexBelow(list->currentIndex()));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_COMPARE(shown(), parents + QStringList({levels, levels + "/A", levels + "/A/deeper"}));
        QCOMPARE(list->currentIndex().data().toString(), QString("A"));
        const QRect up = list->visualRect(list->indexAbove(list->currentIndex()));
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, up.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, up.center());
        QTRY_COMPARE(shown(), parents + QStringList({levels, levels + "/A", levels + "/b sub"}));
        QCOMPARE(QDir::currentPath(), levels);
    }

    // "Program" and "About" bring their window back from wherever the user put it.
    void showBringsBackAMinimizedWindow_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Program") << "Program1";
        QTest::newRow("About") << "About1";
    }
    void showBringsBackAMinimizedWindow()
    {
        QFETCH(QString, command);
        Single<Renamer>::show();
        trigger(qPrintable(command));
        QPointer<QWidget> shown = command == "About1"
                                      ? static_cast<QWidget *>(&Single<frmAbout>::get())
                                      : static_cast<QWidget *>(&Single<Renames>::get());
        QVERIFY(QTest::qWaitForWindowActive(shown));
        shown->showMinimized();
        QVERIFY(shown->isMinimized());
        trigger(qPrintable(command));
        QVERIFY(shown);
        QVERIFY(!shown->isMinimized());
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QCOMPARE(countTopLevel([](QWidget *w) { return w->isVisible(); }), 2);
    }

    void keyboard()
    {
        MessageRecorder recorder;
        Single<Renamer>::show();
        QVERIFY(QTest::qWaitForWindowActive(&window()));
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(window(), "LevlNo"));
        QStringList order;
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, QStringList({"DAT1", "HDR1", "VER1", "SETUP1", "tolevelNO", "Renamebutton",
                                     "Exitbutton", "Folderlist1", "LevlNo", "DAT1"}));
        // Neither button is the default or the cancel button.
        for (auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(child<QWidget>(window(), "LevlNo"), key);
        QVERIFY(recorder.messages.isEmpty());
        QVERIFY(window().isVisible());

        // Alt alone selects the first menu, and the menu bar shows it.
        QMenuBar *menus = window().menuBar();
        const QImage plain = menus->grab().toImage();
        QTest::keyClick(child<QWidget>(window(), "LevlNo"), Qt::Key_Alt);
        QVERIFY(menus->activeAction());
        QCOMPARE(menus->activeAction()->text(), QString("File"));
        QVERIFY(menus->grab().toImage() != plain);
    }

    void windowsOpenCentred_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("points");
        QTest::newRow("main window") << "" << 8;
        QTest::newRow("viewer") << "Program1" << 8;
        QTest::newRow("viewer larger than the screen") << "Program1" << 14;
    }
    // Centred; one larger than the screen keeps its top-left corner on it.
    void windowsOpenCentred()
    {
        QFETCH(QString, program);
        QFETCH(int, points);
        QFont font = dialogFont;
        font.setPointSize(points);
        QApplication::setFont(font);
        Single<Renamer>::show();
        QWidget *shown = &window();
        if (!program.isEmpty()) {
            trigger(program.toLatin1().constData());
            shown = &Single<Renames>::get();
        }
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        const QRect screen = shown->screen()->availableGeometry();
        QRect centred = shown->frameGeometry();
        centred.moveCenter(screen.center());
        const QPoint expected(std::max(centred.left(), screen.left()),
                              std::max(centred.top(), screen.top()));
        const QPoint offset = shown->frameGeometry().topLeft() - expected;
        QVERIFY2(qAbs(offset.x()) <= 3 && qAbs(offset.y()) <= 3,
                 qPrintable(QString("off by %1, %2").arg(offset.x()).arg(offset.y())));
        QVERIFY(screen.contains(shown->frameGeometry().topLeft()));
        // Every day of the week and every week in sight, whatever face and
        // style the system gives.
        for (auto *calendar : shown->findChildren<QCalendarWidget *>()) {
            const auto *days = calendar->findChild<QTableView *>();
            QCOMPARE(days->horizontalScrollBar()->maximum(), 0);
            QCOMPARE(days->verticalScrollBar()->maximum(), 0);
        }
    }

    // "Notepad" starts the desktop's editor for plain text on the default log,
    // there or not yet, each time, with the path as one argument and no shell.
    void notepadStartsTheDefaultEditor_data()
    {
        QTest::addColumn<QString>("defaults");    // text/plain in mimeapps.list
        QTest::addColumn<QStringList>("entries"); // file name, then its lines
        QTest::addColumn<bool>("logExists");
        QTest::addColumn<QStringList>("command"); // "EDITOR", "LOG" stand for the paths
#ifdef _WIN32
        QTest::newRow("notepad") << "" << QStringList() << false
                                 << QStringList{"notepad.exe", "LOG"};
#else
        const QStringList plain = {"fake.desktop", "Type=Application", R"(Exec="EDITOR" %f)"};
        QTest::newRow("no log yet")
            << "fake.desktop" << plain << false << QStringList{"EDITOR", "LOG"};
        QTest::newRow("quoted program, URL list, icon and percent")
            << "fake.desktop"
            << QStringList{"fake.desktop", "Type=Application", "Icon=pen",
                           R"(Exec="EDITOR" "--new window" %i %U 100%%)"}
            << true << QStringList{"EDITOR", "--new window", "--icon", "pen", "LOG", "100%"};
        QTest::newRow("missing, hidden and unrunnable entries skipped")
            << "gone.desktop;hidden.desktop;tried.desktop;fake.desktop"
            << QStringList{"hidden.desktop",   "Type=Application",
                           "Hidden=true",      "Exec=EDITOR",
                           "[next]",           "tried.desktop",
                           "Type=Application", "TryExec=no-such-editor",
                           "Exec=EDITOR",      "[next]"} +
                   plain
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
        QVERIFY(QDir().mkpath(xdg.path() + "/my editors"));
        QVERIFY(writeFile(editor, "#!/bin/sh\n"));
        QVERIFY(QFile::setPermissions(editor, QFile::ReadOwner | QFile::ExeOwner));
        const QString applications = xdg.path() + "/XDG_DATA_HOME/applications";
        QVERIFY(QDir().mkpath(applications));
        QVERIFY(QDir().mkpath(xdg.path() + "/XDG_CONFIG_HOME"));
        QVERIFY(writeFile(xdg.path() + "/XDG_CONFIG_HOME/mimeapps.list",
                          "[Default Applications]\ntext/plain=" + defaults.toUtf8() + "\n"));
        for (const QString &entry : entries.join('\n').split("[next]\n", Qt::SkipEmptyParts)) {
            QStringList lines = entry.split('\n', Qt::SkipEmptyParts);
            const QString name = lines.takeFirst();
            QVERIFY(writeFile(
                applications + "/" + name,
                ("[Desktop Entry]\n" + lines.join('\n').replace("EDITOR", editor)).toUtf8()));
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
        if (expected.isEmpty()) {
            QCOMPARE(recorder.messages, QStringList(2, "The text editor could not be started."));
        } else {
            QCOMPARE(started, QList<QStringList>({expected, expected}));
            QVERIFY(recorder.messages.isEmpty());
        }
        QVERIFY(window().isEnabled());
    }

    void helpDoesNothing()
    {
        MessageRecorder recorder;
        trigger("Help2");
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(countTopLevel([](QWidget *w) { return w->isVisible(); }), 0);
    }

    void exitEndsTheProgram_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << "Exitbutton";
        QTest::newRow("menu") << "Exit1";
        QTest::newRow("close box") << "close";
    }
    void exitEndsTheProgram()
    {
        QFETCH(QString, how);
        MessageRecorder recorder;
        Single<Renamer>::show();
        click("Renamebutton"); // the viewer is loaded hidden
        trigger("Program1");
        QTimer::singleShot(0, this, [&] {
            if (how == "close")
                window().close();
            else if (how == "Exit1")
                trigger("Exit1");
            else
                click("Exitbutton");
        });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(countTopLevel([](QWidget *w) { return w->isVisible(); }), 0);
    }
};

QTEST_MAIN(TestRenamer)
#include "tst_renamer.moc"

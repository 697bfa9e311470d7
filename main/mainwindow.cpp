#include "mainwindow.h"

#include "aboutwindow.h"
#include "accessibility.h"
#include "appidentity.h"
#include "gamesearch.h"
#include "layout.h"
#include "levelfiles.h"
#include "logviewer.h"
#include "pictures.h"
#include "services.h"
#include "singlewindow.h"
#include "texteditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>
#include <limits>

using windowing::TwipsLayout;

namespace {
// Creates a control of the client area at its place in twips.
template <class Control, class... Args>
Control *place(TwipsLayout &layout, const char *name, QRect twips, Args &&...args)
{
    auto *control = new Control(std::forward<Args>(args)..., layout.client());
    control->setObjectName(QLatin1String(name));
    layout.place(*control, twips);
    return control;
}

QLineEdit *numberBox(TwipsLayout &layout, const char *name, const QString &text, QRect twips)
{
    auto *box = place<QLineEdit>(layout, name, twips, text);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QCheckBox *extensionBox(TwipsLayout &layout, const char *name, const QString &caption, bool ticked,
                        QRect twips)
{
    auto *box = place<QCheckBox>(layout, name, twips, caption);
    box->setChecked(ticked);
    return box;
}

QPushButton *commandButton(TwipsLayout &layout, const char *name, const QString &caption,
                           QRect twips)
{
    auto *button = place<QPushButton>(layout, name, twips, caption);
    button->setAutoDefault(false);
    return button;
}

// Where a row of the folder list leads.
constexpr int FolderPathRole = Qt::UserRole;

QStandardItem *folderRow(const QIcon &icon, const QString &name, const QString &path)
{
    auto *row = new QStandardItem(icon, name);
    row->setData(path, FolderPathRole);
    row->setToolTip(QDir::toNativeSeparators(path));
    row->setEditable(false);
    return row;
}

// A Wine prefix's drive C:, which the game sees as its drive.
const QString WineDriveC = QStringLiteral("drive_c");

// While a command waits for the game search: input reaches only what ends
// the program (the Exit button, the menus, whose other commands are off
// meanwhile; Tab moves the focus there), as it would not while a command
// runs; the windows still draw.
class ExitOnly : public QObject {
public:
    explicit ExitOnly(QWidget *exitButton) : exitButton(exitButton)
    {
        qApp->installEventFilter(this);
    }
    ~ExitOnly() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            // To the menu bar, and from control to control as far as Exit.
            if (const int key = static_cast<QKeyEvent *>(event)->key();
                key == Qt::Key_Alt || key == Qt::Key_Tab || key == Qt::Key_Backtab)
                return false;
            [[fallthrough]];
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
            return !(watched == exitButton || qobject_cast<QMenuBar *>(watched) ||
                     qobject_cast<QMenu *>(watched));
        default:
            return false;
        }
    }

private:
    QWidget *exitButton;
};
} // namespace

// The folder list draws its folders indented under their parents, without
// branch lines or expand marks: every folder shown is open.
class FolderTree : public QTreeView {
public:
    explicit FolderTree(QWidget *parent) : QTreeView(parent)
    {
        // The list lays itself out again as it first shows and with every font.
        for (QScrollBar *bar : {horizontalScrollBar(), verticalScrollBar()})
            connect(bar, &QScrollBar::rangeChanged, this, [this] { scrollTo(currentIndex()); });
    }

    // The list's one column as wide as its widest row, or wider to fill the
    // list: a wider name scrolls. Its scroll range is set at once.
    void fitNames()
    {
        header()->setMinimumSectionSize(std::max(0, sizeHintForColumn(0)));
        updateGeometries();
    }

    // Across, a row comes in sight from its icon to the end of its name; Qt
    // would show the start of the whole column, which may hide both.
    void scrollTo(const QModelIndex &row, ScrollHint hint = EnsureVisible) override
    {
        QTreeView::scrollTo(row, hint);
        if (!row.isValid())
            return;
        const int left = visualRect(row).left() + horizontalScrollBar()->value();
        const int right = left + sizeHintForIndex(row).width();
        horizontalScrollBar()->setValue(std::min(left, right - viewport()->width()));
    }

protected:
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}
};

Renamer::Renamer(QWidget *parent) : Renamer(gamesearch::GameSearch::start(), parent) {}

Renamer::Renamer(std::shared_ptr<gamesearch::GameSearch> search, QWidget *parent)
    : QMainWindow(parent), search(std::move(search))
{
    setObjectName(QStringLiteral("Renamer"));
    setWindowTitle(windowing::applicationTitle());
    setWindowIcon(windowing::applicationIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    auto *form = new TwipsLayout(*client, QSize(5475, 4350));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    LOGO = place<QLabel>(*form, "LOGO", QRect(120, 120, 5310, 1980));
    LOGO->setScaledContents(true);
    LOGO->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LOGO->setLineWidth(2);
    LOGO->setAccessibleName(QStringLiteral("Title banner"));

    Renamelevl = place<QLabel>(*form, "Renamelevl", QRect(120, 2160, 975, 255),
                               QStringLiteral("Rename Levl"));
    Renamelevl->setAlignment(Qt::AlignRight | Qt::AlignTop);
    LevlNo = numberBox(*form, "LevlNo", QStringLiteral("2131"), QRect(1200, 2160, 975, 285));
    Renamelevl->setBuddy(LevlNo);
    LevlNo->setAccessibleName(Renamelevl->text());
    Renamebutton = commandButton(*form, "Renamebutton", QStringLiteral("Rename"),
                                 QRect(2400, 2160, 1335, 495));
    Exitbutton =
        commandButton(*form, "Exitbutton", QStringLiteral("Exit"), QRect(4080, 2160, 1335, 495));
    // The boxes in the order of the level's files, ticked as those are at start.
    const auto &kinds = renaming::LevelFileKinds;
    DAT1 = extensionBox(*form, "DAT1", QStringLiteral(".DAT"), kinds[0].initiallyTicked,
                        QRect(120, 2520, 735, 255));
    HDR1 = extensionBox(*form, "HDR1", QStringLiteral(".HDR"), kinds[1].initiallyTicked,
                        QRect(120, 2880, 735, 255));
    VER1 = extensionBox(*form, "VER1", QStringLiteral(".VER"), kinds[2].initiallyTicked,
                        QRect(120, 3240, 735, 255));
    SETUP1 = extensionBox(*form, "SETUP1", QStringLiteral(".Setup Infomation"),
                          kinds[3].initiallyTicked, QRect(120, 3600, 1575, 255));
    Label1 = place<QLabel>(*form, "Label1", QRect(120, 3960, 975, 255), QStringLiteral("To Levl"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    tolevelNO = numberBox(*form, "tolevelNO", QStringLiteral("2001"), QRect(1200, 3960, 975, 285));
    Label1->setBuddy(tolevelNO);
    tolevelNO->setAccessibleName(Label1->text());

    folders = new QStandardItemModel(this);
    Folderlist1 = place<FolderTree>(*form, "Folderlist1", QRect(2400, 2760, 3015, 1440));
    Folderlist1->setModel(folders);
    Folderlist1->setAccessibleName(QStringLiteral("Folders"));
    Folderlist1->header()->hide();
    Folderlist1->setIndentation(10);
    Folderlist1->setRootIsDecorated(false);
    Folderlist1->setItemsExpandable(false);
    Folderlist1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Opening a folder shows it in the list; the current folder stays. The
    // list is rebuilt once the view has finished with the click or key.
    connect(
        Folderlist1, &QTreeView::activated, this,
        [this](const QModelIndex &row) { showFolder(row.data(FolderPathRole).toString()); },
        Qt::QueuedConnection);
    // The folder list is filled by the load step, once the current folder
    // is known, so that its folders are read only once.

    form->setAdjuster([this](qreal scale) {
        for (QWidget *captioned :
             {static_cast<QWidget *>(Renamelevl), static_cast<QWidget *>(Label1),
              static_cast<QWidget *>(DAT1), static_cast<QWidget *>(HDR1),
              static_cast<QWidget *>(VER1), static_cast<QWidget *>(SETUP1)})
            windowing::widenToCaption(*captioned);
        LOGO->setPixmap(windowing::picture(QStringLiteral(":/images/banner.png"),
                                           QSize(350, 128) * scale, LOGO->devicePixelRatioF()));
        Folderlist1->fitNames();
    });

    QWidget::setTabOrder(LevlNo, DAT1);
    QWidget::setTabOrder(DAT1, HDR1);
    QWidget::setTabOrder(HDR1, VER1);
    QWidget::setTabOrder(VER1, SETUP1);
    QWidget::setTabOrder(SETUP1, tolevelNO);
    QWidget::setTabOrder(tolevelNO, Renamebutton);
    QWidget::setTabOrder(Renamebutton, Exitbutton);
    QWidget::setTabOrder(Exitbutton, Folderlist1);

    connect(Renamebutton, &QPushButton::clicked, this, &Renamer::on_Renamebutton_clicked);
    connect(Exitbutton, &QPushButton::clicked, this, &Renamer::on_Exitbutton_clicked);
    buildMenus();

    LevlNo->setFocus();
}

void Renamer::buildMenus()
{
    windowing::showKeyboardSelection(*menuBar());
    QMenu *File1 = menuBar()->addMenu(QStringLiteral("File"));
    File1->setObjectName(QStringLiteral("File1"));
    QMenu *Renames1 = File1->addMenu(QStringLiteral("Renames"));
    Renames1->setObjectName(QStringLiteral("Renames1"));
    QAction *Notepad1 = Renames1->addAction(QStringLiteral("Notepad"));
    Notepad1->setObjectName(QStringLiteral("Notepad1"));
    QAction *Program1 = Renames1->addAction(QStringLiteral("Program"));
    Program1->setObjectName(QStringLiteral("Program1"));
    File1->addSeparator()->setObjectName(QStringLiteral("Line1"));
    QAction *Exit1 = File1->addAction(QStringLiteral("Exit"));
    Exit1->setObjectName(QStringLiteral("Exit1"));

    QMenu *Help1 = menuBar()->addMenu(QStringLiteral("Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->addAction(QStringLiteral("Help"))->setObjectName(QStringLiteral("Help2"));
    QAction *About1 = Help1->addAction(QStringLiteral("About"));
    About1->setObjectName(QStringLiteral("About1"));

    waitingCommands = {Notepad1, Program1, About1};

    connect(Notepad1, &QAction::triggered, this, &Renamer::on_Notepad1_triggered);
    connect(Program1, &QAction::triggered, this, &Renamer::on_Program1_triggered);
    connect(Exit1, &QAction::triggered, this, &Renamer::on_Exit1_triggered);
    connect(About1, &QAction::triggered, this, &Renamer::on_About1_triggered);
}

// The window shows at once; the folder list says that the game is looked for
// until the search answers.
void Renamer::onLoad()
{
    if (!search->answer())
        showLooking();
    search->whenAnswered(this, [this] { enterGameFolder(); });
}

void Renamer::enterGameFolder()
{
    if (std::exchange(enteredGameFolder, true))
        return;
    gamesearch::enterLevelsFolder(*search->answer());
    showFolder(QDir::currentPath());
}

// The game search's answer, waited for where it has not come yet: under the
// hourglass, the windows still drawn and Exit still working. Nothing when the
// program ends meanwhile.
const gamesearch::GameFolder *Renamer::waitForGame()
{
    if (!search->answer()) {
        QEventLoop answered;
        search->whenAnswered(&answered, [&answered] { answered.exit(1); });
        windowing::setWaitPointer(*this, true);
        for (QAction *command : std::as_const(waitingCommands))
            command->setEnabled(false);
        int status;
        {
            const ExitOnly exitOnly(Exitbutton);
            status = answered.exec();
        }
        for (QAction *command : std::as_const(waitingCommands))
            command->setEnabled(true);
        windowing::setWaitPointer(*this, false);
        if (status != 1) // the program is ending
            return nullptr;
    }
    enterGameFolder();
    return &*search->answer();
}

void Renamer::showLooking()
{
    folders->clear();
    const QString looking = QStringLiteral("Looking for the game...");
    auto *row = new QStandardItem(looking);
    row->setEditable(false);
    folders->appendRow(row);
    Folderlist1->setToolTip(looking);
    Folderlist1->setAccessibleDescription(looking);
    Folderlist1->fitNames();
}

// The folder, its parents and its subfolders, as the game sees them: in a Wine
// prefix from the prefix's drive C: on, as on Windows, so that the names fit
// the list at every depth a launcher puts its prefixes; the full path is the
// list's tooltip and description. A name wider than the list scrolls.
void Renamer::showFolder(const QString &path)
{
    const QString folder = QDir(path).absolutePath();
    QStringList chain;
    for (QDir up(folder);;) {
        chain.prepend(up.absolutePath());
        if (up.dirName() == WineDriveC || !up.cdUp())
            break;
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    folders->clear();
    QStandardItem *parent = folders->invisibleRootItem();
    for (const QString &step : std::as_const(chain)) {
        QString name = QFileInfo(step).fileName();
        if (name.isEmpty() || name == WineDriveC)
            name = name.isEmpty() ? QDir::toNativeSeparators(step) : QStringLiteral("C:\\");
        auto *row = folderRow(open, name, step);
        parent->appendRow(row);
        parent = row;
    }
    const QFileInfoList subfolders = QDir(folder).entryInfoList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo &subfolder : subfolders)
        parent->appendRow(folderRow(closed, subfolder.fileName(), subfolder.absoluteFilePath()));
    Folderlist1->setToolTip(QDir::toNativeSeparators(folder));
    Folderlist1->setAccessibleDescription(Folderlist1->toolTip());
    Folderlist1->expandAll();
    Folderlist1->fitNames();
    Folderlist1->setCurrentIndex(parent->index());
    Folderlist1->scrollTo(parent->index(), QAbstractItemView::PositionAtCenter);
}

void Renamer::closeEvent(QCloseEvent *event)
{
    event->accept();
    windowing::endProgram();
}

void Renamer::on_Renamebutton_clicked()
{
    const gamesearch::GameFolder *game = waitForGame();
    if (!game)
        return;
    windowing::Single<Renames>::get(game->log).setLogText(
        QStringLiteral("Press the 'Refresh' button."));

    const QCheckBox *const boxes[] = {DAT1, HDR1, VER1, SETUP1};
    static_assert(std::size(boxes) == std::size(renaming::LevelFileKinds));
    for (size_t row = 0; row < std::size(boxes); ++row) {
        // A greyed box counts as ticked.
        if (boxes[row]->checkState() == Qt::Unchecked)
            continue;
        const QString extension = QString::fromUtf16(renaming::LevelFileKinds[row].extension);
        RenameLevelFile(renaming::levelFileName(LevlNo->text(), extension),
                        renaming::levelFileName(tolevelNO->text(), extension));
    }
}

void Renamer::RenameLevelFile(const QString &from, const QString &to)
{
    windowing::messageBox(renaming::renameLevelFile(from, to).message);
}

void Renamer::on_Exitbutton_clicked()
{
    windowing::endProgram();
}

void Renamer::on_Exit1_triggered()
{
    windowing::endProgram();
}

void Renamer::on_Notepad1_triggered()
{
    // Where no editor starts, the user can still open the log by hand.
    if (const gamesearch::GameFolder *game = waitForGame())
        desktop::startTextEditor(game->log, [log = QDir::toNativeSeparators(game->log)] {
            windowing::messageBox(
                QStringLiteral("The text editor could not be started. The renames log is %1")
                    .arg(log));
        });
}

void Renamer::on_Program1_triggered()
{
    if (const gamesearch::GameFolder *game = waitForGame())
        windowing::Single<Renames>::show(game->log);
}

void Renamer::on_About1_triggered()
{
    windowing::Single<frmAbout>::show();
}

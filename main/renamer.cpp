#include "renamer.h"

#include "appidentity.h"
#include "builtinpaths.h"
#include "caserename.h"
#include "frmabout.h"
#include "layout.h"
#include "levelfiles.h"
#include "renames.h"
#include "services.h"
#include "singlewindow.h"
#include "texteditor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeView>
#include <limits>

using windowing::twipsRect;

namespace {
template <class Control, class... Args>
Control *place(QWidget *parent, const char *name, QRect geometry, Args &&...args)
{
    auto *control = new Control(std::forward<Args>(args)..., parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}

QLineEdit *numberBox(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *box = place<QLineEdit>(parent, name, geometry, text);
    box->setMaxLength(std::numeric_limits<int>::max());
    return box;
}

QCheckBox *extensionBox(QWidget *parent, const char *name, const QString &caption, bool ticked,
                        QRect geometry)
{
    auto *box = place<QCheckBox>(parent, name, geometry, caption);
    box->setChecked(ticked);
    return box;
}

QPushButton *commandButton(QWidget *parent, const char *name, const QString &caption,
                           QRect geometry)
{
    auto *button = place<QPushButton>(parent, name, geometry, caption);
    button->setAutoDefault(false);
    return button;
}

// The folder list shows folders and drives only, so their kind picks the
// icon and the type; the default provider looks every entry up in the MIME
// database, which cost the start-up more than anything else of its own.
class FolderIcons : public QFileIconProvider {
public:
    FolderIcons() : folder_(QFileIconProvider::icon(Folder)), drive_(QFileIconProvider::icon(Drive))
    {}
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override { return info.isRoot() ? drive_ : folder_; }
    QString type(const QFileInfo &info) const override
    {
        return info.isRoot()  ? QStringLiteral("Drive")
               : info.isDir() ? QStringLiteral("Folder")
                              : QStringLiteral("File");
    }

private:
    const QIcon folder_;
    const QIcon drive_;
};

// Never destroyed: the model's gatherer thread may ask for an icon up to the
// moment the model itself goes.
QAbstractFileIconProvider *folderIcons()
{
    static auto *icons = new FolderIcons;
    return icons;
}

std::filesystem::path nativeName(const QString &name)
{
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}
} // namespace

Renamer::Renamer(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Renamer"));
    setWindowTitle(windowing::applicationTitle());
    setWindowIcon(QIcon(QStringLiteral(":/icons/vantorel-renamer.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(windowing::twipsSize(5475, 4350));
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    LOGO = place<QLabel>(client, "LOGO", twipsRect(120, 120, 5310, 1980));
    LOGO->setPixmap(QPixmap(QStringLiteral(":/images/banner.png")));
    LOGO->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    LOGO->setLineWidth(2);
    LOGO->setAccessibleName(QStringLiteral("Title banner"));

    Renamelevl = place<QLabel>(client, "Renamelevl", twipsRect(120, 2160, 975, 255),
                               QStringLiteral("Rename Levl"));
    Renamelevl->setAlignment(Qt::AlignRight | Qt::AlignTop);
    LevlNo = numberBox(client, "LevlNo", QStringLiteral("2131"), twipsRect(1200, 2160, 975, 285));
    Renamelevl->setBuddy(LevlNo);
    LevlNo->setAccessibleName(Renamelevl->text());
    Renamebutton = commandButton(client, "Renamebutton", QStringLiteral("Rename"),
                                 twipsRect(2400, 2160, 1335, 495));
    Exitbutton = commandButton(client, "Exitbutton", QStringLiteral("Exit"),
                               twipsRect(4080, 2160, 1335, 495));
    DAT1 =
        extensionBox(client, "DAT1", QStringLiteral(".DAT"), true, twipsRect(120, 2520, 735, 255));
    HDR1 =
        extensionBox(client, "HDR1", QStringLiteral(".HDR"), true, twipsRect(120, 2880, 735, 255));
    VER1 =
        extensionBox(client, "VER1", QStringLiteral(".VER"), true, twipsRect(120, 3240, 735, 255));
    SETUP1 = extensionBox(client, "SETUP1", QStringLiteral(".Setup Infomation"), false,
                          twipsRect(120, 3600, 1575, 255));
    Label1 =
        place<QLabel>(client, "Label1", twipsRect(120, 3960, 975, 255), QStringLiteral("To Levl"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    tolevelNO =
        numberBox(client, "tolevelNO", QStringLiteral("2001"), twipsRect(1200, 3960, 975, 285));
    Label1->setBuddy(tolevelNO);
    tolevelNO->setAccessibleName(Label1->text());
    for (QWidget *captioned : {static_cast<QWidget *>(Renamelevl), static_cast<QWidget *>(Label1),
                               static_cast<QWidget *>(DAT1), static_cast<QWidget *>(HDR1),
                               static_cast<QWidget *>(VER1), static_cast<QWidget *>(SETUP1)})
        windowing::widenToCaption(*captioned);

    folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    folders->setReadOnly(true);
    folders->setIconProvider(folderIcons());
    Folderlist1 = place<QTreeView>(client, "Folderlist1", twipsRect(2400, 2760, 3015, 1440));
    Folderlist1->setModel(folders);
    Folderlist1->setAccessibleName(QStringLiteral("Folders"));
    for (int column = 1; column < folders->columnCount(); ++column)
        Folderlist1->hideColumn(column);
    Folderlist1->header()->hide();
    Folderlist1->setIndentation(10);
    Folderlist1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The folder list is filled by the load step, once the current folder
    // is known, so that its folders are read only once.

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

    connect(Notepad1, &QAction::triggered, this, &Renamer::on_Notepad1_triggered);
    connect(Program1, &QAction::triggered, this, &Renamer::on_Program1_triggered);
    connect(Exit1, &QAction::triggered, this, &Renamer::on_Exit1_triggered);
    connect(About1, &QAction::triggered, this, &Renamer::on_About1_triggered);
}

void Renamer::onLoad()
{
    // A missing levels folder is no error: the renames then act where the
    // program was started.
    QDir::setCurrent(platform::hostPath(QString::fromUtf16(platform::LevelsFolder)));
    showFolder(QDir::currentPath());
}

void Renamer::showFolder(const QString &path)
{
    folders->setRootPath(path);
    const QModelIndex folder = folders->index(path);
    Folderlist1->setCurrentIndex(folder);
    Folderlist1->expand(folder);
    Folderlist1->scrollTo(folder, QAbstractItemView::PositionAtCenter);
}

void Renamer::closeEvent(QCloseEvent *event)
{
    event->accept();
    windowing::endProgram();
}

void Renamer::on_Renamebutton_clicked()
{
    windowing::Single<Renames>::get().setLogText(QStringLiteral("Press the 'Refresh' button."));

    const struct {
        QCheckBox *box;
        QString extension;
    } rows[] = {
        {DAT1, QStringLiteral(".DAT")},
        {HDR1, QStringLiteral(".HDR")},
        {VER1, QStringLiteral(".VER")},
        {SETUP1, QStringLiteral(".INF")},
    };
    for (const auto &row : rows) {
        // A greyed box counts as ticked.
        if (row.box->checkState() == Qt::Unchecked)
            continue;
        RenameLevelFile(renaming::levelFileName(LevlNo->text(), row.extension),
                        renaming::levelFileName(tolevelNO->text(), row.extension));
    }
}

void Renamer::RenameLevelFile(const QString &from, const QString &to)
{
    const int code = platform::renameIgnoringCase(nativeName(from), nativeName(to));
    windowing::messageBox(renaming::renameMessage(from, to, code));
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
    if (!platform::startTextEditor(
            platform::hostPath(QString::fromUtf16(platform::DefaultLogPath))))
        windowing::messageBox(QStringLiteral("The text editor could not be started."));
}

void Renamer::on_Program1_triggered()
{
    windowing::Single<Renames>::show();
}

void Renamer::on_About1_triggered()
{
    windowing::Single<frmAbout>::show();
}

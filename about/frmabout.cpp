#include "frmabout.h"

#include "layout.h"
#include "singlewindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

using windowing::twips;
using windowing::twipsRect;

namespace about {
QString versionText(const windowing::Version &version)
{
    return QStringLiteral("Version ") + QString::number(version.major) + u'.' +
           QString::number(version.minor) + u'.' + QString::number(version.revision);
}
} // namespace about

namespace {
QLabel *place(QWidget *parent, const char *name, const QString &caption, QRect geometry, bool black)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

// Lets a wrapped caption grow downwards, up to the bottom of the window, rather
// than lose its last line when the platform's font is taller than the layout's.
void lengthenToCaption(QLabel &label, int bottom)
{
    const int needed = label.heightForWidth(label.width());
    if (needed > label.height())
        label.resize(label.width(), std::min(needed, bottom - label.y()));
}
} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(windowing::twipsSize(6105, 2205));
    setSizeGripEnabled(false);

    // Created in tab order; only the button and the picture take the focus.
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4680, 1800, 1260, 345));
    cmdOK->setDefault(true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(twipsRect(240, 120, 540, 540));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setPixmap(QPixmap(QStringLiteral(":/icons/vantorel-renamer.png")));
    picIcon->setFocusPolicy(Qt::TabFocus);
    picIcon->setAccessibleName(QStringLiteral("Application icon"));

    lblDisclaimer = place(this, "lblDisclaimer", QStringLiteral("MIT License. No warranty."),
                          twipsRect(120, 1800, 2295, 345), true);
    // The address is wider than its place; it may break before the "@" (a
    // zero-width space), and screen readers get it whole.
    const QString address = QStringLiteral("vantorel-renamer@example.org");
    Label1 = place(this, "Label1",
                   QString(address).replace(QStringLiteral("@"), QStringLiteral(u"\u200B@")),
                   twipsRect(2760, 1785, 1815, 375), false);
    Label1->setAccessibleName(address);
    lblDescription = place(
        this, "lblDescription",
        QStringLiteral(
            "Changes the level file names to another in the vantorel levels dir of any type."),
        twipsRect(1080, 1080, 4635, 450), true);
    lblTitle = place(this, "lblTitle", QStringLiteral("Vantorel Renamer"),
                     twipsRect(1050, 120, 3885, 480), true);
    lblVersion = place(this, "lblVersion", QStringLiteral("Version x.x.x"),
                       twipsRect(1050, 660, 3885, 225), false);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setGeometry(twips(120), twips(1680), twips(6000) - twips(120), 1);

    for (QLabel *label : {lblDisclaimer, Label1, lblDescription})
        lengthenToCaption(*label, height());

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::on_cmdOK_clicked);
    cmdOK->setFocus();
}

void frmAbout::onLoad()
{
    setWindowTitle(QStringLiteral("About ") + windowing::applicationTitle());
    lblVersion->setText(about::versionText(windowing::ApplicationVersion));
    lblTitle->setText(windowing::applicationTitle());
}

// Esc, through the dialog's cancel handling.
void frmAbout::reject()
{
    on_cmdOK_clicked();
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    event->ignore();
    windowing::Single<frmAbout>::unload();
}

void frmAbout::on_cmdOK_clicked()
{
    windowing::Single<frmAbout>::unload();
}

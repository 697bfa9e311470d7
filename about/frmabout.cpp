#include "frmabout.h"

#include "layout.h"
#include "services.h"
#include "singlewindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

using windowing::TwipsLayout;

namespace about {
QString versionText(const windowing::Version &version)
{
    return QStringLiteral("Version ") + QString::number(version.major) + u'.' +
           QString::number(version.minor) + u'.' + QString::number(version.revision);
}
} // namespace about

namespace {
QLabel *place(TwipsLayout &form, const char *name, const QString &caption, QRect twips, bool black)
{
    auto *label = new QLabel(caption, form.client());
    label->setObjectName(QLatin1String(name));
    form.place(*label, twips);
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
    setSizeGripEnabled(false);
    auto *form = new TwipsLayout(*this, QSize(6105, 2205));

    // Created in tab order; only the button and the picture take the focus.
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    form->place(*cmdOK, QRect(4680, 1800, 1260, 345));
    cmdOK->setDefault(true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    form->place(*picIcon, QRect(240, 120, 540, 540));
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setFocusPolicy(Qt::TabFocus);
    picIcon->setAccessibleName(QStringLiteral("Application icon"));

    lblDisclaimer = place(*form, "lblDisclaimer", QStringLiteral("MIT License. No warranty."),
                          QRect(120, 1800, 2295, 345), true);
    // The address is wider than its place; it may break before the "@" (a
    // zero-width space), and screen readers get it whole.
    const QString address = QStringLiteral("vantorel-renamer@example.org");
    Label1 = place(*form, "Label1",
                   QString(address).replace(QStringLiteral("@"), QStringLiteral(u"\u200B@")),
                   QRect(2760, 1785, 1815, 375), false);
    Label1->setAccessibleName(address);
    lblDescription = place(
        *form, "lblDescription",
        QStringLiteral(
            "Changes the level file names to another in the vantorel levels dir of any type."),
        QRect(1080, 1080, 4635, 450), true);
    lblTitle = place(*form, "lblTitle", QStringLiteral("Vantorel Renamer"),
                     QRect(1050, 120, 3885, 480), true);
    lblVersion = place(*form, "lblVersion", QStringLiteral("Version x.x.x"),
                       QRect(1050, 660, 3885, 225), false);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    form->place(*Line1, QRect(120, 1680, 5880, 15));

    form->setAdjuster([this](qreal scale) {
        for (QLabel *label : {lblDisclaimer, Label1, lblDescription})
            lengthenToCaption(*label, height());
        picIcon->setPixmap(
            windowing::applicationIcon().pixmap(QSize(32, 32) * scale, devicePixelRatioF()));
    });

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

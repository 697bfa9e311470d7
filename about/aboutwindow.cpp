#include "aboutwindow.h"

#include "layout.h"
#include "pictures.h"
#include "services.h"
#include "singlewindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <cmath>

using windowing::TwipsLayout;

namespace about {
QString versionText(const windowing::Version &version)
{
    return QStringLiteral("Version ") + windowing::versionNumber(version);
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

// WCAG's relative luminance of a colour.
qreal luminance(const QColor &colour)
{
    const auto linear = [](qreal v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// Black text on a background of this luminance or more has a contrast of at
// least 4.5:1, what readable text needs.
constexpr qreal LightEnoughForBlack = 0.175;

// Lets a wrapped caption grow downwards, the window with it, rather than lose
// its last line when the platform's font is taller than the layout's.
void lengthenToCaption(QLabel &label)
{
    const int needed = label.heightForWidth(label.width());
    if (needed > label.height())
        label.resize(label.width(), needed);
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
        for (QLabel *label : {lblTitle, lblVersion, lblDescription, lblDisclaimer, Label1})
            lengthenToCaption(*label);
        picIcon->setPixmap(
            windowing::applicationIcon().pixmap(QSize(32, 32) * scale, devicePixelRatioF()));
    });

    keepTextsReadable();
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::on_cmdOK_clicked);
    cmdOK->setFocus();
}

// The texts are black; a dark palette gets them a light background, the
// palette's own light text colour where that is light enough, and every
// other text of the window turns dark on it too.
void frmAbout::keepTextsReadable()
{
    if (choosingPalette_)
        return;
    choosingPalette_ = true;
    QPalette palette = QApplication::palette(this);
    if (luminance(palette.color(QPalette::Window)) >= LightEnoughForBlack) {
        setPalette(QPalette());
    } else {
        const QColor light = palette.color(QPalette::WindowText);
        palette.setColor(QPalette::Window,
                         luminance(light) >= LightEnoughForBlack ? light : QColor(Qt::white));
        palette.setColor(QPalette::WindowText, Qt::black);
        setPalette(palette);
    }
    choosingPalette_ = false;
}

void frmAbout::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange)
        keepTextsReadable();
    QDialog::changeEvent(event);
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

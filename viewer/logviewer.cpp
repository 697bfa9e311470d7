#include "logviewer.h"

#include "accessibility.h"
#include "layout.h"
#include "logfile.h"
#include "logtextbox.h"
#include "services.h"
#include "singlewindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <limits>
#include <new>

using windowing::TwipsLayout;

namespace {
QCalendarWidget *makeCalendar(TwipsLayout &form, const char *name, const QString &accessibleName,
                              QRect twips)
{
    auto *calendar = new QCalendarWidget(form.client());
    calendar->setObjectName(QLatin1String(name));
    calendar->setAccessibleName(accessibleName);
    form.place(*calendar, twips);
    calendar->setDateRange(QDate(1753, 1, 1), QDate(9999, 12, 31));
    calendar->setSelectedDate(QDate(2003, 7, 4));
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    // The seven days share the calendar's width and the weeks its height
    // whatever the face and style: a wide face must not push a day, nor a tall
    // navigation bar a week, out of sight.
    if (auto *days = calendar->findChild<QTableView *>()) {
        days->horizontalHeader()->setMinimumSectionSize(0);
        days->verticalHeader()->setMinimumSectionSize(0);
    }
    return calendar;
}

// A plain top-level widget reads as a mere panel to screen readers; the
// viewer is a dialog window beside the main window.
QAccessibleInterface *accessibleWindow(const QString &className, QObject *object)
{
    if (className == QLatin1String("Renames") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    return nullptr;
}

QPushButton *makeButton(TwipsLayout &form, const char *name, const QString &caption, QRect twips)
{
    auto *button = new QPushButton(caption, form.client());
    button->setObjectName(QLatin1String(name));
    form.place(*button, twips);
    button->setAutoDefault(false);
    return button;
}
} // namespace

Renames::Renames(const QString &defaultLogPath, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Renames"));
    [[maybe_unused]] static const bool accessible =
        (QAccessible::installFactory(accessibleWindow), true);
    windowing::hearFocusOnlyOnUsableControls(); // not the disabled calendars' days
    setWindowTitle(QStringLiteral("Renames done in this program. "));
    auto *form = new TwipsLayout(*this, QSize(7020, 7935));

    // Created in tab order.
    OKButton =
        makeButton(*form, "OKButton", QStringLiteral("Refreash"), QRect(2880, 5520, 1215, 375));
    CancelButton =
        makeButton(*form, "CancelButton", QStringLiteral("Back"), QRect(2880, 5040, 1215, 375));

    Text1 = new viewer::LogTextBox(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    form->place(*Text1, QRect(120, 120, 6735, 4815));
    Text1->setAccessibleName(QStringLiteral("Renames log"));
    Text1->setText(QStringLiteral("There were no renames done in this program."));
    form->setGiving(*Text1); // on a screen too small for the window

    Month1 =
        makeCalendar(*form, "Month1", QStringLiteral("From date"), QRect(120, 5040, 2700, 2370));
    Month2 =
        makeCalendar(*form, "Month2", QStringLiteral("To date"), QRect(4200, 5040, 2700, 2370));

    Label1 = new QLabel(QStringLiteral("FROM        TO"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    form->place(*Label1, QRect(2760, 6720, 1455, 375));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Text2 = new QLineEdit(defaultLogPath, this);
    Text2->setObjectName(QStringLiteral("Text2"));
    form->place(*Text2, QRect(120, 7560, 6735, 285));
    Text2->setAccessibleName(QStringLiteral("Log file path"));
    Text2->setMaxLength(std::numeric_limits<int>::max());
    // A path longer than the box shows its end, the file's name, whenever it
    // is not being edited.
    Text2->installEventFilter(this);

    Command1 =
        makeButton(*form, "Command1", QStringLiteral("Browse..."), QRect(2880, 7080, 1215, 375));

    connect(OKButton, &QPushButton::clicked, this, &Renames::on_OKButton_clicked);
    connect(CancelButton, &QPushButton::clicked, this, &Renames::on_CancelButton_clicked);
    connect(Command1, &QPushButton::clicked, this, &Renames::on_Command1_clicked);

    OKButton->setFocus();
}

bool Renames::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text2 && event->type() == QEvent::FocusOut)
        Text2->end(false);
    return QWidget::eventFilter(watched, event);
}

void Renames::onLoad()
{
    Month1->setEnabled(false);
    Month2->setEnabled(false);
}

void Renames::setLogText(const QString &text)
{
    Text1->setText(text);
}

void Renames::closeEvent(QCloseEvent *event)
{
    event->ignore();
    windowing::Single<Renames>::unload();
}

void Renames::on_Command1_clicked()
{
    Filename1.filter = QStringLiteral("txt Files (*.TXT)|*.TXT");
    Filename1.showOpen(this);
    Text2->setText(Filename1.fileName);
}

void Renames::on_OKButton_clicked()
{
    const QString path = Text2->text();
    if (path.isEmpty())
        return;
    windowing::setWaitPointer(*this, true);
    bool loaded = false;
    if (auto bytes = viewer::readWholeFile(path, viewer::LargestLog)) {
        try {
            Text1->setLog(std::move(*bytes));
            loaded = true;
        } catch (const std::bad_alloc &) {
        }
    }
    if (!loaded)
        windowing::messageBox(QStringLiteral("Error reading file."));
    windowing::setWaitPointer(*this, false);
}

void Renames::on_CancelButton_clicked()
{
    windowing::Single<Renames>::unload();
}

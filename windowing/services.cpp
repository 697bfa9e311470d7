#include "services.h"

#include "appidentity.h"
#include "platformdialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <optional>
#include <utility>

namespace windowing {

namespace {
void showMessageBox(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

class KeyboardSelectionStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        // The menu bar has the focus only while the keyboard moves through it.
        const auto *menuItem = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element == CE_MenuBarItem && menuItem && (option->state & State_Selected) && widget &&
            widget->hasFocus()) {
            QStyleOptionMenuItem item = *menuItem;
            item.state |= State_Sunken;
            QProxyStyle::drawControl(element, &item, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Applies the dialog font rule to every later font of the application.
class DialogFontRule : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationFontChange)
            useDialogFont();
        return false;
    }
};

// Where accessibility updates went before the filter below.
QAccessible::UpdateHandler passedOn = nullptr;

void passOnUsableFocus(QAccessibleEvent *event)
{
    const auto *widget = qobject_cast<const QWidget *>(event->object());
    if (event->type() == QAccessible::Focus && widget &&
        !(widget->isEnabled() && widget->isVisible()))
        return;
    if (passedOn) {
        passedOn(event);
        return;
    }
    // The platform's screen reader bridge, which an update handler stands in
    // front of, gets the event with the handler out of the way.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(passOnUsableFocus);
}

MessageSink &sink()
{
    static MessageSink current = showMessageBox;
    return current;
}
} // namespace

void messageBox(const QString &text)
{
    sink()(text);
}

MessageSink setMessageSink(MessageSink next)
{
    return std::exchange(sink(), next ? std::move(next) : MessageSink(showMessageBox));
}

void setWaitPointer(QWidget &window, bool waiting)
{
    if (waiting)
        window.setCursor(Qt::WaitCursor);
    else
        window.unsetCursor();
}

void endProgram()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

void centreOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // A window that was never shown has not sized itself to its layout yet.
    if (QLayout *layout = window.layout())
        layout->activate();
    // Its frame (title bar, borders) is known once the platform window exists.
    window.createWinId();
    const QRect available = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveCenter(available.center());
    window.move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
}

void keepOnScreen(QWidget &window)
{
    const QScreen *screen = window.screen();
    if (!screen)
        return;
    if (QLayout *layout = window.layout())
        layout->activate();
    const QRect available = screen->availableGeometry();
    QRect frame = window.frameGeometry();
    frame.moveRight(std::min(frame.right(), available.right()));
    frame.moveBottom(std::min(frame.bottom(), available.bottom()));
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    window.move(frame.topLeft());
}

void bringToFront(QWidget &window)
{
    if (window.isMinimized()) {
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    } else if (window.windowHandle() && !window.windowHandle()->isExposed()) {
        // Shaded, or on another workspace: the window manager has taken it
        // off the screen, and Qt asks for no activation of a window that is
        // not there. Shown afresh, the window manager puts it back here.
        window.hide();
        window.show();
        window.setAttribute(Qt::WA_KeyboardFocusChange);
    }
    window.raise();
    window.activateWindow();
}

void useDialogFont()
{
    constexpr qreal LargestOrdinaryPointSize = 10;
    static std::optional<QFont> applied; // what the rule made of the last font
    [[maybe_unused]] static const bool followed = [] {
        auto *rule = new DialogFontRule;
        rule->setParent(qApp);
        qApp->installEventFilter(rule);
        return true;
    }();
    QFont font = QApplication::font();
    if (font == applied)
        return;
    // In points whether the desktop gives it in points or in pixels.
    if (QFontInfo(font).pointSizeF() > LargestOrdinaryPointSize) {
        applied = font;
        return;
    }
    font.setFamilies(dialogFaces(font.family()));
    font.setPointSize(8);
    applied = font;
    QApplication::setFont(font);
}

void hearFocusOnlyOnUsableControls()
{
    [[maybe_unused]] static const bool installed =
        (passedOn = QAccessible::installUpdateHandler(passOnUsableFocus), true);
}

void showKeyboardSelection(QMenuBar &menuBar)
{
    auto *style = new KeyboardSelectionStyle;
    style->setParent(&menuBar);
    menuBar.setStyle(style);
}

QIcon applicationIcon()
{
    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString &name : icons.entryList({QStringLiteral("*.png")}, QDir::Files))
        icon.addFile(icons.filePath(name));
    return icon;
}

QPixmap picture(const QString &path, QSize size, qreal devicePixelRatio)
{
    // One file is decoded, the one the size needs: the doubled one only where
    // the plain one would be enlarged. A picture is made smaller, never larger.
    const QFileInfo file(path);
    const QString doubled =
        file.path() + u'/' + file.completeBaseName() + QStringLiteral("@2x.") + file.suffix();
    const QSize wanted = size * devicePixelRatio;
    const auto within = [](QSize inner, QSize outer) { return inner.boundedTo(outer) == inner; };
    const bool enlarged = !within(wanted, QImageReader(path).size()); // its header alone
    QPixmap pixmap(enlarged && QFileInfo::exists(doubled) ? doubled : path);
    if (!within(pixmap.size(), wanted))
        pixmap = pixmap.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // As large as asked for, as far as the file's pixels go.
    pixmap.setDevicePixelRatio(std::max(1.0, qreal(pixmap.width()) / size.width()));
    return pixmap;
}

} // namespace windowing

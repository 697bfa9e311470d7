#include "placement.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace windowing {

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

} // namespace windowing

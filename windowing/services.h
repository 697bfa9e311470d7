#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <functional>

class QMenuBar;
class QWidget;

namespace windowing {

// The modal message box: the text only, one OK button, no icon, the
// application title. Returns once the user has dismissed it.
void messageBox(const QString &text);

// Where message boxes go. Tests record them here instead of blocking; the
// previous sink is returned, and an empty one restores the real box.
using MessageSink = std::function<void(const QString &text)>;
MessageSink setMessageSink(MessageSink sink);

// The window's mouse pointer: the hourglass while it is busy, else its own.
void setWaitPointer(QWidget &window, bool waiting);

// Ends the program at once: every window closes, nothing is asked or saved.
void endProgram();

// Places a window that is about to be shown in the middle of its screen; one
// larger than the screen keeps its top-left corner, title bar and menus on it.
void centreOnScreen(QWidget &window);

// Moves a shown window, frame and all, back onto its screen's available area
// as far as it fits there.
void keepOnScreen(QWidget &window);

// Brings a shown window to the front, restored if it is minimized, and
// activated; the window manager then also unshades it or fetches it from
// another workspace.
void bringToFront(QWidget &window);

// The windows' fixed layouts are drawn for an 8-point dialog font, which
// stands in for the desktop's ordinary font sizes: a desktop font of up to 10
// points is drawn at 8, in its own family; a larger one is the user's choice of
// large fonts and is kept, and the layouts grow with it. The rule holds for the
// font the application starts with and for every later one, as a platform
// theme may set its font once the program runs (qt6ct does) and the user may
// change it.
void useDialogFont();

// Screen readers hear of the focus only on a control the user can act on:
// one that is shown and enabled. (A calendar's days report their current day
// as focused whenever it changes, even while the calendar is disabled or its
// window hidden.) Installed once; later calls do nothing.
void hearFocusOnlyOnUsableControls();

// Lets the menu bar draw the menu that Alt or the arrow keys selected, which
// some styles draw only while its menu is open.
void showKeyboardSelection(QMenuBar &menuBar);

// The application icon in every size the program carries, so that title
// bars, task switchers and dense screens each get a sharp one.
QIcon applicationIcon();

// The picture at `path` for `size` device-independent pixels on a screen of
// `devicePixelRatio`, taken from its twice-as-large "@2x" file where that is
// sharper.
QPixmap picture(const QString &path, QSize size, qreal devicePixelRatio);

} // namespace windowing

#pragma once

class QWidget;

// Where the windows go on the screen.
namespace windowing {

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

} // namespace windowing

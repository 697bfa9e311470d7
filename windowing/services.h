#pragma once

#include <QString>
#include <functional>

class QWidget;

// What every window relies on: the message box, the mouse pointer, the
// program's end. (One instance per window: singlewindow.h.)
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

} // namespace windowing

#pragma once

class QMenuBar;

// What a keyboard user and a screen reader are told.
namespace windowing {

// Screen readers hear of the focus only on a control the user can act on:
// one that is shown and enabled. (A calendar's days report their current day
// as focused whenever it changes, even while the calendar is disabled or its
// window hidden.) Installed once; later calls do nothing.
void hearFocusOnlyOnUsableControls();

// Lets the menu bar draw the menu that Alt or the arrow keys selected, which
// some styles draw only while its menu is open.
void showKeyboardSelection(QMenuBar &menuBar);

} // namespace windowing

#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace windowing {

// Window layouts are drawn in twips, 15 to a pixel at 96 dots per inch; Qt
// scales device-independent pixels for other screens.
constexpr int TwipsPerPixel = 15;

constexpr int twips(int t)
{
    return t / TwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

constexpr QSize twipsSize(int width, int height)
{
    return QSize(twips(width), twips(height));
}

// Widens a captioned control whose caption the platform's font draws wider
// than the layout allows, so that no caption is cut off. A right-aligned
// label keeps its right edge; anything else its left.
void widenToCaption(QWidget &control);

} // namespace windowing

#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <functional>
#include <vector>

class QFont;
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

// How much a layout drawn for the 8-point dialog font grows for `font` and
// the captions it shows: 1 for that font and anything smaller, else as much as
// the font is taller, or draws any caption wider, than the dialog font, as
// dialogs grew with the large-fonts setting. The dialog font is the desktop's
// family at 8 points, as the first layout found it.
qreal fontScale(const QFont &font, const QStringList &captions = {});

// A rectangle in twips, in pixels at `scale`; at 1 exactly twipsRect().
QRect scaledTwipsRect(const QRect &twipsRect, qreal scale);

// The fixed layout of one window, given in twips: it places the controls,
// sizes their parent, and does both again, scaled, whenever the parent's font
// changes (a platform theme may apply its font after the windows exist), so
// that no caption, calendar or text loses its room.
//
// The window never grows past its screen's available area: where the scaled
// layout would, the giving control (the viewer's log text box) gives up to
// three quarters of its height and the controls below it move up; where
// that is not enough, the whole window, font and all, is drawn smaller. A
// shown window that grows is moved back onto its screen.
class TwipsLayout : public QObject {
public:
    // `client` holds the controls; its size is fixed to `clientTwips`.
    TwipsLayout(QWidget &client, QSize clientTwips);

    // Places `control` now and after every font change.
    void place(QWidget &control, QRect twipsRect);
    // The control that gives up height where the window would not fit.
    void setGiving(QWidget &control);
    // Runs after every placing, with the scale, for what depends on it. A
    // control it makes taller than the client area lengthens the client area.
    void setAdjuster(std::function<void(qreal scale)> adjust);

    QWidget *client() const { return &client_; }
    qreal scale() const { return scale_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();
    void layOut(qreal scale, int give);

    QWidget &client_;
    QSize clientTwips_;
    std::vector<std::pair<QWidget *, QRect>> controls_;
    QWidget *giving_ = nullptr;
    std::function<void(qreal)> adjust_;
    qreal scale_ = 1;
    bool applying_ = false;
};

// Widens a captioned control whose caption the platform's font draws wider
// than the layout allows, so that no caption is cut off. A right-aligned
// label keeps its right edge; anything else its left.
void widenToCaption(QWidget &control);

} // namespace windowing

#include "layout.h"

#include "placement.h"
#include "services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace windowing {

namespace {
const QFont &dialogFont()
{
    static const QFont font = [] {
        QFont desktop = QApplication::font();
        desktop.setPointSize(8);
        return desktop;
    }();
    return font;
}

// The captions of a window's controls, as its font draws them.
QStringList captions(const std::vector<std::pair<QWidget *, QRect>> &controls)
{
    QStringList all;
    for (const auto &[control, rect] : controls) {
        if (const auto *label = qobject_cast<const QLabel *>(control))
            all << label->text();
        else if (const auto *button = qobject_cast<const QAbstractButton *>(control))
            all << button->text();
    }
    return all;
}

// The room the client area of a window may take on its screen: the screen's
// available area less the window's frame and what surrounds the client area
// (a menu bar). None before the window exists, which it does before it shows;
// one that was never shown may not know its frame yet: it assumes a title bar.
QSize roomOnScreen(QWidget &client)
{
    QWidget &window = *client.window();
    const QScreen *screen = window.screen();
    if (!screen || !window.testAttribute(Qt::WA_WState_Created))
        return {};
    const QMargins margins =
        window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
    QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    if (frame.isNull() && !window.isVisible())
        frame.setHeight(window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window));
    QSize around(0, 0);
    if (QLayout *layout = window.layout(); layout && &window != &client) {
        layout->invalidate();
        around = layout->totalMinimumSize() - client.minimumSize();
    }
    return screen->availableGeometry().size() - frame - around;
}
} // namespace

qreal fontScale(const QFont &font, const QStringList &captions)
{
    const QFontMetricsF now(font), drawn(dialogFont());
    qreal scale = now.height() / drawn.height();
    for (const QString &caption : captions) {
        if (const qreal width = drawn.horizontalAdvance(caption); width > 0)
            scale = std::max(scale, now.horizontalAdvance(caption) / width);
    }
    return std::max<qreal>(1, scale);
}

QRect scaledTwipsRect(const QRect &rect, qreal scale)
{
    const auto scaled = [scale](int t) { return twips(qRound(t * scale)); };
    return QRect(scaled(rect.left()), scaled(rect.top()), scaled(rect.width()),
                 scaled(rect.height()));
}

TwipsLayout::TwipsLayout(QWidget &client, QSize clientTwips)
    : QObject(&client), client_(client), clientTwips_(clientTwips)
{
    client.installEventFilter(this);
    if (client.window() != &client)
        client.window()->installEventFilter(this);
    apply();
}

void TwipsLayout::place(QWidget &control, QRect twipsRect)
{
    controls_.emplace_back(&control, twipsRect);
    // Its caption may need a larger scale for every control.
    apply();
}

void TwipsLayout::setGiving(QWidget &control)
{
    giving_ = &control;
    apply();
}

void TwipsLayout::setAdjuster(std::function<void(qreal)> adjust)
{
    adjust_ = std::move(adjust);
    if (adjust_)
        adjust_(scale_);
}

bool TwipsLayout::eventFilter(QObject *, QEvent *event)
{
    // A new font, a frame now known, another screen; the application's font
    // also reaches a client area drawn in a smaller font of its own.
    const QEvent::Type type = event->type();
    // A window losing its native window is being closed or destroyed: the
    // window it belongs to may be half gone, and nothing is drawn any more.
    if (type == QEvent::WinIdChange && !client_.window()->internalWinId())
        return false;
    if (type == QEvent::FontChange || type == QEvent::WinIdChange ||
        type == QEvent::ScreenChangeInternal ||
        (type == QEvent::ApplicationFontChange && client_.testAttribute(Qt::WA_SetFont)))
        apply();
    return false;
}

void TwipsLayout::apply()
{
    if (applying_) // its own font change
        return;
    applying_ = true;
    const QFont font =
        client_.isWindow() ? QApplication::font(&client_) : client_.parentWidget()->font();
    if (client_.testAttribute(Qt::WA_SetFont))
        client_.setFont(QFont());
    layOut(fontScale(font, captions(controls_)), 0);
    const QSize room = roomOnScreen(client_);
    const QSize needed = client_.minimumSize();
    if (room.isValid() && (needed.width() > room.width() || needed.height() > room.height())) {
        const int canGive = giving_ ? giving_->height() * 3 / 4 : 0;
        const qreal shrink = std::min(qreal(room.width()) / needed.width(),
                                      qreal(room.height()) / (needed.height() - canGive));
        if (shrink < 1) {
            QFont smaller = font;
            if (font.pointSizeF() > 0)
                smaller.setPointSizeF(font.pointSizeF() * shrink);
            else
                smaller.setPixelSize(std::max(1, qRound(font.pixelSize() * shrink)));
            client_.setFont(smaller);
            layOut(scale_ * shrink, 0);
        }
        layOut(scale_, std::max(0, client_.minimumHeight() - room.height()));
    }
    if (client_.window()->isVisible())
        keepOnScreen(*client_.window());
    applying_ = false;
}

// Places every control at `scale`, the giving control `give` pixels shorter
// and the controls below it as much higher.
void TwipsLayout::layOut(qreal scale, int give)
{
    scale_ = scale;
    const QSize size = scaledTwipsRect(QRect(QPoint(), clientTwips_), scale).size();
    int givingBottom = size.height();
    for (const auto &[control, rect] : controls_) {
        if (control == giving_)
            givingBottom = scaledTwipsRect(rect, scale).bottom();
    }
    client_.setFixedSize(size.width(), size.height() - give);
    for (const auto &[control, rect] : controls_) {
        QRect placed = scaledTwipsRect(rect, scale);
        if (control == giving_)
            placed.setBottom(placed.bottom() - give);
        else if (placed.top() > givingBottom)
            placed.translate(0, -give);
        control->setGeometry(placed);
    }
    if (adjust_)
        adjust_(scale);
    int bottom = client_.minimumHeight();
    for (const auto &[control, rect] : controls_)
        bottom = std::max(bottom, control->geometry().bottom() + 1);
    if (bottom > client_.minimumHeight())
        client_.setFixedHeight(bottom);
}

void widenToCaption(QWidget &control)
{
    const int needed = control.sizeHint().width();
    QRect geometry = control.geometry();
    if (needed <= geometry.width())
        return;
    // A right-aligned caption grows to the left, but never past its window's
    // edge: what is still missing it takes on the right.
    const auto *label = qobject_cast<const QLabel *>(&control);
    if (label && (label->alignment() & Qt::AlignRight))
        geometry.setLeft(std::max(0, geometry.right() + 1 - needed));
    geometry.setWidth(std::max(geometry.width(), needed));
    control.setGeometry(geometry);
}

} // namespace windowing

#include "layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QWidget>
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
    apply();
}

void TwipsLayout::place(QWidget &control, QRect twipsRect)
{
    controls_.emplace_back(&control, twipsRect);
    // Its caption may need a larger scale for every control.
    apply();
}

void TwipsLayout::setAdjuster(std::function<void(qreal)> adjust)
{
    adjust_ = std::move(adjust);
    if (adjust_)
        adjust_(scale_);
}

bool TwipsLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &client_ && event->type() == QEvent::FontChange)
        apply();
    return false;
}

void TwipsLayout::apply()
{
    scale_ = fontScale(client_.font(), captions(controls_));
    client_.setFixedSize(scaledTwipsRect(QRect(QPoint(), clientTwips_), scale_).size());
    for (const auto &[control, rect] : controls_)
        control->setGeometry(scaledTwipsRect(rect, scale_));
    if (adjust_)
        adjust_(scale_);
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

#include "layout.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QWidget>
#include <algorithm>

namespace windowing {

namespace {
constexpr qreal DialogPointSize = 8;
} // namespace

qreal fontScale(const QFont &font)
{
    QFont dialogFont = font;
    dialogFont.setPointSizeF(DialogPointSize);
    return std::max<qreal>(1, QFontMetricsF(font).height() / QFontMetricsF(dialogFont).height());
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
    control.setGeometry(scaledTwipsRect(twipsRect, scale_));
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
    scale_ = fontScale(client_.font());
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
    const auto *label = qobject_cast<const QLabel *>(&control);
    if (label && (label->alignment() & Qt::AlignRight))
        geometry.setLeft(geometry.right() + 1 - needed);
    else
        geometry.setWidth(needed);
    control.setGeometry(geometry);
}

} // namespace windowing

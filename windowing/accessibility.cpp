#include "accessibility.h"

#include <QAccessible>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace windowing {

namespace {
class KeyboardSelectionStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        // The menu bar has the focus only while the keyboard moves through it.
        const auto *menuItem = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element == CE_MenuBarItem && menuItem && (option->state & State_Selected) && widget &&
            widget->hasFocus()) {
            QStyleOptionMenuItem item = *menuItem;
            item.state |= State_Sunken;
            QProxyStyle::drawControl(element, &item, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

// Where accessibility updates went before the filter below.
QAccessible::UpdateHandler passedOn = nullptr;

void passOnUsableFocus(QAccessibleEvent *event)
{
    const auto *widget = qobject_cast<const QWidget *>(event->object());
    if (event->type() == QAccessible::Focus && widget &&
        !(widget->isEnabled() && widget->isVisible()))
        return;
    if (passedOn) {
        passedOn(event);
        return;
    }
    // The platform's screen reader bridge, which an update handler stands in
    // front of, gets the event with the handler out of the way.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(passOnUsableFocus);
}

} // namespace

void hearFocusOnlyOnUsableControls()
{
    [[maybe_unused]] static const bool installed =
        (passedOn = QAccessible::installUpdateHandler(passOnUsableFocus), true);
}

void showKeyboardSelection(QMenuBar &menuBar)
{
    auto *style = new KeyboardSelectionStyle;
    style->setParent(&menuBar);
    menuBar.setStyle(style);
}

} // namespace windowing

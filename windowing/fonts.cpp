#include "fonts.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontInfo>
#include <optional>

namespace windowing {

namespace {
// Applies the dialog font rule to every later font of the application.
class DialogFontRule : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qApp && event->type() == QEvent::ApplicationFontChange)
            useDialogFont();
        return false;
    }
};
} // namespace

void useDialogFont()
{
    constexpr qreal LargestOrdinaryPointSize = 10;
    static std::optional<QFont> applied; // what the rule made of the last font
    [[maybe_unused]] static const bool followed = [] {
        auto *rule = new DialogFontRule;
        rule->setParent(qApp);
        qApp->installEventFilter(rule);
        return true;
    }();
    QFont font = QApplication::font();
    if (font == applied)
        return;
    // In points whether the desktop gives it in points or in pixels.
    if (QFontInfo(font).pointSizeF() > LargestOrdinaryPointSize) {
        applied = font;
        return;
    }
    font.setFamilies(dialogFaces(font.family()));
    font.setPointSize(8);
    applied = font;
    QApplication::setFont(font);
}

} // namespace windowing

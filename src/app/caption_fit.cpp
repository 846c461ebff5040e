#include "caption_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace quorvane {

namespace {

// Room for a label's text: its width, cut short by a sibling that starts inside it on its row.
int LabelRoom(const QLabel* label) {
    const QRect own = label->geometry();
    int room = own.width();
    for (const QObject* object : label->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        if (!sibling || sibling == label || !sibling->isVisibleTo(label->window())) continue;
        const QRect other = sibling->geometry();
        if (other.intersects(own) && other.left() > own.left())
            room = std::min(room, other.left() - own.left());
    }
    return room;
}

int ButtonChrome(const QAbstractButton* button) {
    const QStyle* style = button->style();
    if (qobject_cast<const QCheckBox*>(button))
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button);
    return 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
}

}  // namespace

int CaptionOverflow(const QWidget* window, const QFont& font) {
    const QFontMetrics metrics(font);
    int overflow = 0;
    for (const QLabel* label : window->findChildren<QLabel*>())
        overflow = std::max(overflow, metrics.horizontalAdvance(label->text()) - LabelRoom(label));
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const int needed = metrics.horizontalAdvance(button->text()) + ButtonChrome(button);
        overflow = std::max(overflow, needed - button->width());
    }
    return overflow;
}

QFont FontFittingCaptions(const QWidget* window) {
    constexpr qreal kSmallestReadable = 6.5;
    QFont font = window->font();
    qreal size = font.pointSizeF() > 0 ? font.pointSizeF() : 9.0;
    font.setPointSizeF(size);
    while (size > kSmallestReadable && CaptionOverflow(window, font) > 0) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    return font;
}

}  // namespace quorvane

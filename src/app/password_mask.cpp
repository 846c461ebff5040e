#include "password_mask.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace quorvane {

namespace {

class AsteriskMaskStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void MaskPassword(QLineEdit* box) {
    if (box->echoMode() == QLineEdit::Password) return;
    auto* style = new AsteriskMaskStyle(box->style()->name());
    style->setParent(box);
    box->setStyle(style);
    box->setEchoMode(QLineEdit::Password);
}

}  // namespace quorvane

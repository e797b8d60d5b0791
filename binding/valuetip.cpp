#include "valuetip.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPalette>

namespace NS_Utilities {

QWidget* valueTipParent(const QWidget* owner)
{
    return owner && !owner->isWindow() ? owner->parentWidget() : nullptr;
}

void initValueTip(QLabel* tip, const QWidget* owner)
{
    QPalette pal = tip->palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 60));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
    tip->setPalette(pal);
    // A Qt 6 label does not erase with its background colour by itself.
    tip->setAutoFillBackground(true);
    const QRect g = owner ? owner->geometry() : QRect();
    tip->setGeometry(g.left(), g.bottom(), 0, 0);
    tip->setAlignment(Qt::AlignCenter);
    tip->hide();
}

void setValueTipText(QLabel* tip, const QString& text)
{
    const QFontMetrics fm(tip->font());
    tip->resize(fm.horizontalAdvance(text) + 2, fm.height() + 2);
    tip->setText(text);
}

} // namespace NS_Utilities

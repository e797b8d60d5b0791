#include "cfadertip.h"

#include "binding/valuetip.h"

CFaderTip::CFaderTip(QWidget* owner)
    : QLabel(NS_Utilities::valueTipParent(owner))
{
    NS_Utilities::initValueTip(this, owner);
}

CFaderTip::~CFaderTip() = default;

void CFaderTip::setTipText(const QString& text)
{
    NS_Utilities::setValueTipText(this, text);
}

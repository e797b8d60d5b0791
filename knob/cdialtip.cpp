#include "cdialtip.h"

#include "binding/valuetip.h"

CDialTip::CDialTip(QWidget* owner)
    : QLabel(NS_Utilities::valueTipParent(owner))
{
    NS_Utilities::initValueTip(this, owner);
}

CDialTip::~CDialTip() = default;

void CDialTip::setTipText(const QString& text)
{
    NS_Utilities::setValueTipText(this, text);
}

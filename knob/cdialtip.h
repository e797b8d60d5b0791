// CDialTip: the knob's value window (a QLabel), shown under the knob while the pointer is over
// it when the knob's numberToolTip property is on. It is a child of the knob's parent, so it
// can reach beyond the knob's rectangle.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QLabel>

class ORVELKIT_EXPORT CDialTip : public QLabel
{
    Q_OBJECT
public:
    // A hidden, zero-sized window at the owner's bottom-left, yellow with black text.
    explicit CDialTip(QWidget* owner);
    ~CDialTip() override;

    // Sizes the window to the text (width + 2, font height + 2) and shows the text in it.
    void setTipText(const QString& text);
};

// CFaderTip: the fader's value window (a QLabel); it behaves exactly like the knob's CDialTip
// and differs only in name.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QLabel>

class ORVELKIT_EXPORT CFaderTip : public QLabel
{
    Q_OBJECT
public:
    // A hidden, zero-sized window at the owner's bottom-left, yellow with black text.
    explicit CFaderTip(QWidget* owner);
    ~CFaderTip() override;

    // Sizes the window to the text (width + 2, font height + 2) and shows the text in it.
    void setTipText(const QString& text);
};

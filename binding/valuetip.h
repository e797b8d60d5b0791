// The small value window that a knob or a fader shows under itself while the pointer is over
// it (CDialTip, CFaderTip). Both classes are QLabels that behave alike; the behaviour lives
// here once.
#pragma once

#include "orvelkit_global.h"

#include <QPointer>

class QLabel;
class QString;
class QWidget;

namespace NS_Utilities {

// The parent a tip gets: the owner's parent widget within the same window (null for a window).
ORVELKIT_EXPORT QWidget* valueTipParent(const QWidget* owner);

// Sets a freshly constructed tip up for `owner`: yellow background (255, 255, 60) and black
// text, placed at the owner's left edge on the owner's last pixel row (in the parent's
// coordinates), zero-sized, centred text, hidden.
ORVELKIT_EXPORT void initValueTip(QLabel* tip, const QWidget* owner);

// Resizes the tip to the text's width plus 2 by the font height plus 2 (the tip's own font),
// then shows the text. Position and visibility stay as they are.
ORVELKIT_EXPORT void setValueTipText(QLabel* tip, const QString& text);

// Deletes the tip a control holds through a guard (the tip's parent may have deleted it
// already), clearing the guard first so that nothing reaches the tip while it goes.
template <class Tip>
void deleteValueTip(QPointer<Tip>& tip)
{
    Tip* doomed = tip.data();
    tip = nullptr;
    delete doomed;
}

} // namespace NS_Utilities

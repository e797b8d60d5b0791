// Class names of the slider family as the meta-object system sees them: the C++ class is
// CSlider_Orvel, moc (which defines Q_MOC_RUN) records "CSlider". The define must stay defined:
// the moc output includes the header and uses the short name. See binding/names.h.
#pragma once

#include "../binding/names.h"

namespace Qt3 {
class RangeControl;
}

// The range model under its Qt 3 name: the slider names it as its second base, so that a cast
// by the name "QRangeControl" (qt_metacast) yields the range part, as it did in Qt 3.
using QRangeControl = Qt3::RangeControl;

#ifndef Q_MOC_RUN
#  define CSlider CSlider_Orvel
#endif

#ifndef Q_MOC_RUN
#  define CTextSlider CTextSlider_Orvel
#endif

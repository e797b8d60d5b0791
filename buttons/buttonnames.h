// Class names of the button family as the meta-object system sees them: the C++ classes carry
// the _Orvel suffix, moc (which defines Q_MOC_RUN) records "COnOffButton", "CRadioButton" and
// "CPixmapSwitcher". The defines must stay defined: the moc output includes the headers and uses
// the short names. See binding/names.h.
#pragma once

#include "../binding/names.h"

#ifndef Q_MOC_RUN
#  define COnOffButton COnOffButton_Orvel
#  define CRadioButton CRadioButton_Orvel
#  define CPixmapSwitcher CPixmapSwitcher_Orvel
#endif

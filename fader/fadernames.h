// Class names of the fader family as the meta-object system sees them: the C++ class is
// CFader_Orvel, moc (which defines Q_MOC_RUN) records "CFader". The define must stay defined:
// the moc output includes the header and uses the short name. See binding/names.h.
#pragma once

#include "../sliders/slidernames.h"

#ifndef Q_MOC_RUN
#  define CFader CFader_Orvel
#endif

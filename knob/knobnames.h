// Class names of the knob family as the meta-object system sees them: the C++ class is
// CDial_Orvel, moc (which defines Q_MOC_RUN) records "CDial". The define must stay defined: the
// moc output includes the header and uses the short name. See binding/names.h.
#pragma once

#include "../binding/names.h"

#ifndef Q_MOC_RUN
#  define CDial CDial_Orvel
#endif

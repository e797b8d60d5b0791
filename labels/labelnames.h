// Class names of the label family as the meta-object system sees them: the C++ classes carry the
// _Orvel suffix, moc (which defines Q_MOC_RUN) records the short names ("CLabelDisplay",
// "CHotspotLabel", "EditorOpener", "CNameEditor"). The defines must stay defined: the moc output
// includes the headers and uses the short names. See binding/names.h.
#pragma once

#include "../binding/names.h"

#ifndef Q_MOC_RUN
#  define CLabelDisplay CLabelDisplay_Orvel
#  define CHotspotLabel CHotspotLabel_Orvel
#  define EditorOpener EditorOpener_Orvel
#  define CNameEditor CNameEditor_Orvel
#endif

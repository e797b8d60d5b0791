// Class names of the popup selector family as the meta-object system sees them: the C++ classes
// are CPopup_Orvel (the button), CPopupItem_Orvel (its grid window) and CPopupLabel_Orvel (one
// cell of the grid); moc (which defines Q_MOC_RUN) records "CPopup", "CPopupItem" and
// "CPopupLabel", so signal and slot signatures read selectionChanged(int,CPopup*) and
// customClose(CPopupLabel*,bool). The defines must stay defined: the moc output includes the
// headers and uses the short names. See binding/names.h.
#pragma once

#include "../binding/names.h"

#ifndef Q_MOC_RUN
#  define CPopup CPopup_Orvel
#  define CPopupItem CPopupItem_Orvel
#  define CPopupLabel CPopupLabel_Orvel
#endif

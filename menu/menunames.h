// Class names of the pull-down menu family as the meta-object system sees them: the C++ classes
// are CPullDownMenu_Orvel and CMenuObject_Orvel, moc (which defines Q_MOC_RUN) records
// "CPullDownMenu" and "CMenuObject". The defines must stay defined: the moc output includes the
// header and uses the short names. See binding/names.h.
#pragma once

#include "../binding/names.h"

#ifndef Q_MOC_RUN
#  define CPullDownMenu CPullDownMenu_Orvel
#  define CMenuObject CMenuObject_Orvel
#endif

// Class names of the status family as the meta-object system sees them: the C++ classes are
// StateDisplayWidget_Orvel and CTabWidget_Orvel, moc (which defines Q_MOC_RUN) records
// "StateDisplayWidget" and "CTabWidget". The defines must stay defined: the moc output includes
// the header and uses the short names. See binding/names.h.
#pragma once

#include "../binding/names.h"

#ifndef Q_MOC_RUN
#  define StateDisplayWidget StateDisplayWidget_Orvel
#  define CTabWidget CTabWidget_Orvel
#endif

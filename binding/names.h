// Class names of the binding layer as the meta-object system sees them.
//
// The C++ classes carry the _Orvel suffix; moc (which defines Q_MOC_RUN) sees the short names,
// so metaObject()->className() and string-based signatures use "CSimpleNotifier",
// "NS_Utilities::CNumEdit" and cast requests by the name "TMemProxy" yield the proxy part of a
// control declared as `class CKnob : public QDial, public TMemProxy`.
// Each control family keeps its own defines in one naming header like this one.
// The defines must stay defined: the moc output includes the header and uses the short names.
#pragma once

#ifndef Q_MOC_RUN
#  define TMemProxy TMemProxy_Orvel
#  define CSimpleNotifier CSimpleNotifier_Orvel
#  define CNumEdit CNumEdit_Orvel
#endif

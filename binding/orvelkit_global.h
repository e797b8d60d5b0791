// Export macro and the fixed-width type names used in the controls' signatures.
#pragma once

#include <QtGlobal>

#if defined(ORVELKIT_BUILD)
#  define ORVELKIT_EXPORT Q_DECL_EXPORT
#else
#  define ORVELKIT_EXPORT Q_DECL_IMPORT
#endif

// The controls' slot signatures name these types ("process(const Q_UINT8*,int,Q_UINT32)").
// They are typedefs, so string-based connections must spell them exactly like this.
typedef quint8 Q_UINT8;
typedef quint16 Q_UINT16;
typedef quint32 Q_UINT32;
typedef qint8 Q_INT8;
typedef qint16 Q_INT16;
typedef qint32 Q_INT32;

// The built-in display tables of the reference memory and their inverse for typed numbers.
//
// Table ids (docs/display-tables.md): >= 1 tables registered by the host or the map (string
// lists, pixmap lists); 0 decimal; -1 the parameter's own display (resolved by the memory);
// -2 signed; -3 octave / footage; -4 percent of 0..127; -5 MIDI note name; -6 decibels in tenths;
// -7 value divided by the global step scale; -8 pan around 64.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QString>

namespace NS_OrvelMemory {

enum TBuiltinTable : int {
    TableDecimal = 0,
    TableParameter = -1,
    TableSigned = -2,
    TableOctave = -3,
    TablePercent = -4,
    TableNote = -5,
    TableDecibel = -6,
    TableScaled = -7,
    TablePan = -8,
};

// True for the ids that formatBuiltin() understands (0 and -2..-8; not -1).
ORVELKIT_EXPORT bool isBuiltinTable(int tableId);

// Formats `value` through the built-in table `tableId`. `flag` selects the footage reading of the
// octave table (1); `stepScale` is the divisor of table -7 (values below 1 count as 1). Returns
// false (and leaves `text` alone) for ids that are not built-in tables.
ORVELKIT_EXPORT bool formatBuiltin(int tableId, int value, int flag, int stepScale, QString& text);

// The parameter value for a typed number shown through table `tableId`: the inverse of the table
// where it scales (-4, -6, -7, -8), else the number itself. Rounds half away from zero, maps NaN
// to 0 and clamps to the int range.
ORVELKIT_EXPORT int valueFromTypedNumber(int tableId, double number, int stepScale);

// Rounds half away from zero and clamps to the int range; NaN gives 0.
ORVELKIT_EXPORT int roundToInt(double number);

} // namespace NS_OrvelMemory

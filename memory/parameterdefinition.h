// The description of one parameter of the reference parameter memory.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QString>

#include <optional>

// How a control's slide position maps to the value of a parameter family (see
// docs/reference-memory.md, "Position curves").
enum class TParameterCurve_Orvel {
    None,    // the memory does not answer: the control uses its own linear mapping
    Linear,  // position proportional to the value
    Decibel, // the value fraction is an amplitude shown on a 60 dB scale
};

// Everything the memory knows about one parameter. Used to define parameters
// (TReferenceMemory_Orvel::addParameter) and to list them (parameters(), with `value` and
// `available` giving the current state).
struct ORVELKIT_EXPORT TParameterSpec_Orvel
{
    QString name;  // symbolic name for named addresses, optional ([A-Za-z_][A-Za-z0-9_.-]*)
    QString label; // human text, used in undo step texts; optional
    qint16 high = 0; // -512..511
    qint16 mid = 0;  // 0..2047
    qint16 low = 0;  // 0..2047
    int minimum = 0;
    int maximum = 127;
    int value = 0;        // the initial value
    int defaultValue = 0; // process operation 1
    std::optional<int> altDefault; // process operation 4; none: the default is used
    int stepScale = 0;    // divisor for the format of table -1; 0 = the memory's global step scale
    int displayTable = 0; // the table used by table -1: >= 1 a registered table, 0 decimal,
                          // -2..-8 a built-in table (see docs/display-tables.md)
    QString format;       // printf-style format for table -1 when displayTable is 0 (optional)
    TParameterCurve_Orvel curve = TParameterCurve_Orvel::None;
    bool available = true; // false: the parameter is not on the current instrument
};

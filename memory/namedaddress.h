// Parsing of named addresses (the text a control's `namedAddress` property holds).
//
// Syntax (docs/named-addresses.md):
//   address  := ( numeric | symbol ) [ offset ]
//   numeric  := number ':' number ':' number          high:mid:low
//   symbol   := [A-Za-z_][A-Za-z0-9_.-]*             a name registered with the memory
//   offset   := ( '+' | '-' ) unsigned               added to low for display texts only
//   number   := [ '+' | '-' ] unsigned
//   unsigned := decimal digits | '0x' / '0X' hex digits
// Whitespace around every part is ignored. Every number, and the offset with its sign, must fit
// a signed 16-bit integer.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QString>

namespace NS_OrvelMemory {

// One way of reading a named address: either a numeric address or a symbol, plus an offset.
struct ORVELKIT_EXPORT TNamedAddressReading
{
    bool numeric = false; // true: high/mid/low hold the address; false: `symbol` names it
    QString symbol;
    qint16 high = 0;
    qint16 mid = 0;
    qint16 low = 0;
    qint16 offset = 0;
};

// Reads `text` as a named address. A symbol that contains '-' followed by digits at its end is
// ambiguous ("lfo-2": the name "lfo-2", or "lfo" with offset -2); `alternative` (when given)
// then receives the second reading, and `*hasAlternative` is set. The first reading is always
// the one that takes the whole text as the name. Returns false for malformed text.
ORVELKIT_EXPORT bool parseNamedAddress(const QString& text, TNamedAddressReading& reading,
                                       TNamedAddressReading* alternative = nullptr,
                                       bool* hasAlternative = nullptr);

// True when `name` is a valid symbolic name ([A-Za-z_][A-Za-z0-9_.-]*).
ORVELKIT_EXPORT bool isValidSymbol(const QString& name);

// Reads a plain numeric address "high:mid:low" (no offset). Returns false when malformed.
ORVELKIT_EXPORT bool parseNumericAddress(const QString& text, qint16& high, qint16& mid,
                                         qint16& low);

} // namespace NS_OrvelMemory

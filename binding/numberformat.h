// Safe printf-style formatting of one number (display formats come from forms and maps).
#pragma once

#include "orvelkit_global.h"

#include <QString>

namespace NS_Utilities {

// Formats `value` with a printf-style format that holds at most one numeric conversion
// (%d %i %u %x %X %o %e %E %f %F %g %G with flags, width and precision; "%%" is a literal
// percent; a '%' that does not begin a well-formed conversion, as at the end of the format or
// before a space, is kept as a literal '%'). Integer conversions take the value truncated toward
// zero and clamped to the int range (NaN gives 0). A format with two conversions, a length
// modifier, '*' width or a width or precision above 99 is not used: the result is then `value`
// formatted as "%g". Never reads past the given value.
ORVELKIT_EXPORT QString formatNumber(const QString& format, double value);

} // namespace NS_Utilities

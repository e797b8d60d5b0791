// Position curves: how a slide position of a given length maps to a parameter value and back.
#pragma once

#include "parameterdefinition.h"

namespace NS_OrvelMemory {

// The position (0..length) that shows `value` of the range [minimum, maximum]. Values outside
// the range are clamped; length <= 0 or an empty range give position 0. Returns false for
// TParameterCurve_Orvel::None.
ORVELKIT_EXPORT bool positionForValue(TParameterCurve_Orvel curve, int minimum, int maximum,
                                      int length, int value, int& position);

// The value that position (clamped to 0..length) stands for. Position 0 is the minimum;
// length <= 0 or an empty range give the minimum. Returns false for TParameterCurve_Orvel::None.
ORVELKIT_EXPORT bool valueForPosition(TParameterCurve_Orvel curve, int minimum, int maximum,
                                      int length, int position, int& value);

} // namespace NS_OrvelMemory

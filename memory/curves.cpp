#include "curves.h"

#include <algorithm>
#include <cmath>

// All arithmetic is done in double on 64-bit differences: ranges such as
// -559038801..2125315823 exceed the int range, and a double holds every such difference exactly.
namespace NS_OrvelMemory {

namespace {

// The decibel taper spans 60 dB: an amplitude fraction x shows at 1 + 20*log10(x)/60, so x = 1
// is the end of the slide, x = 0.001 (-60 dB) and below its start.
constexpr double DecibelSpan = 60.0;

double fractionToPosition(TParameterCurve_Orvel curve, double x)
{
    if (curve == TParameterCurve_Orvel::Linear)
        return x;
    if (x <= 0.0)
        return 0.0;
    return std::max(0.0, 1.0 + 20.0 * std::log10(x) / DecibelSpan);
}

double positionToFraction(TParameterCurve_Orvel curve, double p)
{
    if (curve == TParameterCurve_Orvel::Linear)
        return p;
    if (p <= 0.0)
        return 0.0;
    return std::pow(10.0, (p - 1.0) * DecibelSpan / 20.0);
}

} // namespace

bool positionForValue(TParameterCurve_Orvel curve, int minimum, int maximum, int length,
                      int value, int& position)
{
    if (curve == TParameterCurve_Orvel::None)
        return false;
    const qint64 span = qint64(maximum) - qint64(minimum);
    if (length <= 0 || span <= 0) {
        position = 0;
        return true;
    }
    const qint64 clamped = std::clamp<qint64>(value, minimum, maximum);
    const double x = double(clamped - minimum) / double(span);
    const double p = std::clamp(fractionToPosition(curve, x), 0.0, 1.0);
    position = int(std::llround(p * double(length)));
    return true;
}

bool valueForPosition(TParameterCurve_Orvel curve, int minimum, int maximum, int length,
                      int position, int& value)
{
    if (curve == TParameterCurve_Orvel::None)
        return false;
    const qint64 span = qint64(maximum) - qint64(minimum);
    if (length <= 0 || span <= 0) {
        value = minimum;
        return true;
    }
    const double p = double(std::clamp(position, 0, length)) / double(length);
    const double x = std::clamp(positionToFraction(curve, p), 0.0, 1.0);
    const qint64 offset = std::llround(x * double(span));
    value = int(std::clamp<qint64>(qint64(minimum) + offset, minimum, maximum));
    return true;
}

} // namespace NS_OrvelMemory

#include "rangecontrol.h"

#include <climits>

namespace Qt3 {

namespace {

// |v| with the Qt 3 QABS result for INT_MIN (INT_MIN itself), computed without overflow.
int absStep(int v)
{
    return v < 0 ? int(0u - unsigned(v)) : v;
}

// Qt 3 steps: setValue(cur + delta) unless the sum leaves the int range, in which case nothing
// moves. Computed in 64 bits, so that a step of INT_MIN (which |INT_MIN| leaves negative) can be
// subtracted too.
template <class Control>
void stepBy(Control& control, int cur, qint64 delta)
{
    const qint64 s = qint64(cur) + delta;
    if (s >= INT_MIN && s <= INT_MAX)
        control.setValue(int(s));
}

} // namespace

RangeControl::RangeControl()
    : m_min(0), m_max(99), m_line(1), m_page(10), m_value(0), m_prev(-1)
{
}

RangeControl::RangeControl(int minValue, int maxValue, int lineStep, int pageStep, int value)
    : m_min(minValue),
      m_max(maxValue),
      m_line(absStep(lineStep)),
      m_page(absStep(pageStep)),
      m_value(0),
      m_prev(int(unsigned(minValue) - 1u))
{
    m_value = bound(value);
}

RangeControl::~RangeControl() = default;

void RangeControl::setValue(int value)
{
    directSetValue(value);
    if (m_prev != m_value)
        valueChange();
}

void RangeControl::directSetValue(int value)
{
    m_prev = m_value;
    m_value = bound(value);
}

void RangeControl::addPage()
{
    stepBy(*this, m_value, qint64(m_page));
}

void RangeControl::subtractPage()
{
    stepBy(*this, m_value, -qint64(m_page));
}

void RangeControl::addLine()
{
    stepBy(*this, m_value, qint64(m_line));
}

void RangeControl::subtractLine()
{
    stepBy(*this, m_value, -qint64(m_line));
}

void RangeControl::setMinValue(int minValue)
{
    int maxValue = m_max;
    if (maxValue < minValue)
        maxValue = minValue;
    setRange(minValue, maxValue);
}

void RangeControl::setMaxValue(int maxValue)
{
    int minValue = m_min;
    if (minValue > maxValue)
        minValue = maxValue;
    setRange(minValue, maxValue);
}

void RangeControl::setRange(int minValue, int maxValue)
{
    if (minValue > maxValue)
        maxValue = minValue;
    if (minValue == m_min && maxValue == m_max)
        return;
    m_min = minValue;
    m_max = maxValue;
    const int clamped = bound(m_value);
    rangeChange(); // value() is still the old value here
    if (clamped != m_value) {
        m_prev = m_value;
        m_value = clamped;
        valueChange();
    }
}

void RangeControl::setSteps(int lineStep, int pageStep)
{
    // The raw arguments are compared with the stored absolute steps.
    if (lineStep != m_line || pageStep != m_page) {
        m_line = absStep(lineStep);
        m_page = absStep(pageStep);
        stepChange();
    }
}

int RangeControl::bound(int value) const
{
    return value < m_min ? m_min : (value > m_max ? m_max : value);
}

int RangeControl::positionFromValue(int min, int max, int value, int span)
{
    if (span <= 0 || value < min || max <= min)
        return 0;
    if (value > max)
        return span;
    const unsigned range = unsigned(max) - unsigned(min);
    const unsigned p = unsigned(value) - unsigned(min);
    const unsigned s = unsigned(span);
    if (range > unsigned(INT_MAX) / 4096) {
        const unsigned scale = 4096 * 2;
        return int(((p / scale) * s) / (range / scale));
    }
    if (range > s)
        return int((2 * p * s + range) / (2 * range));
    const unsigned div = s / range;
    const unsigned mod = s % range;
    return int(p * div + (2 * p * mod + range) / (2 * range));
}

int RangeControl::valueFromPosition(int min, int max, int position, int span)
{
    if (span <= 0 || position <= 0)
        return min;
    if (position >= span)
        return max;
    const unsigned range = unsigned(max) - unsigned(min);
    const unsigned s = unsigned(span);
    const unsigned q = unsigned(position);
    if (s > range)
        return int(unsigned(min) + (2 * q * range + s) / (2 * s));
    const unsigned div = range / s;
    const unsigned mod = range % s;
    return int(unsigned(min) + q * div + (2 * q * mod + s) / (2 * s));
}

void RangeControl::valueChange()
{
}

void RangeControl::rangeChange()
{
}

void RangeControl::stepChange()
{
}

} // namespace Qt3

// Qt3::RangeControl: the integer range model of the Qt 3 range controls (QRangeControl), with
// its exact hook order and overflow rules, written without undefined behaviour.
//
// It is not a QObject and has no signals: a control derives from a widget and from this class
// and turns the three virtual hooks into its own signals and repaints.
//
//   - setValue() clamps with bound(); the value hook runs only when the stored value changed,
//     but prevValue() is overwritten on every call (setValue(value()) makes them equal).
//   - addLine()/addPage() and their subtract twins do nothing at all when value + step would
//     leave the int range: the value is neither moved nor clamped.
//   - setRange(min, max) with min > max makes min the only legal value; an unchanged range calls
//     no hook; otherwise rangeChange() runs while value() still holds the old (possibly
//     out-of-range) value, and valueChange() follows only if the value had to be clamped.
//   - setSteps() stores absolute values and calls stepChange() when either argument differs
//     from the stored step (so setSteps(-1, 10) on steps (1, 10) still calls it).
//   - positionFromValue()/valueFromPosition() map between a value and a pixel position in
//     [0, span]; differences are taken in unsigned arithmetic, so ranges wider than INT_MAX
//     (for example -559038801..2125315823) work.
#pragma once

#include "../orvelkit_global.h"

namespace Qt3 {

class ORVELKIT_EXPORT RangeControl
{
public:
    // Range 0..99, line step 1, page step 10, value 0, prevValue() -1.
    RangeControl();
    // Steps are stored as absolute values; min > max is kept as given (bound() then returns
    // minValue for every value below it); prevValue() starts one below the minimum.
    RangeControl(int minValue, int maxValue, int lineStep, int pageStep, int value);
    virtual ~RangeControl();

    int value() const { return m_value; }
    int minValue() const { return m_min; }
    int maxValue() const { return m_max; }
    int lineStep() const { return m_line; }
    int pageStep() const { return m_page; }

    void setValue(int value);
    void addPage();
    void subtractPage();
    void addLine();
    void subtractLine();

    void setMinValue(int minValue);
    void setMaxValue(int maxValue);
    void setRange(int minValue, int maxValue);
    void setSteps(int lineStep, int pageStep);

    // The value clamped to [minValue, maxValue] (the lower bound wins when min > max).
    int bound(int value) const;

    // The pixel position of `value` in [0, span] for the range [min, max]: 0 for span <= 0, an
    // empty range or a value below min; span for a value above max; otherwise rounded, with a
    // coarser bucketed formula for ranges above INT_MAX / 4096.
    static int positionFromValue(int min, int max, int value, int span);
    // The value at pixel `position` in [0, span]: min at or below 0, max at or beyond span.
    // Equal to QStyle::sliderValueFromPosition(min, max, position, span, false).
    static int valueFromPosition(int min, int max, int position, int span);

protected:
    int prevValue() const { return m_prev; }
    // Stores bound(value) and makes the old value prevValue(); calls no hook.
    void directSetValue(int value);

    int positionFromValue(int value, int span) const { return positionFromValue(m_min, m_max, value, span); }
    int valueFromPosition(int position, int span) const { return valueFromPosition(m_min, m_max, position, span); }

    virtual void valueChange();
    virtual void rangeChange();
    virtual void stepChange();

private:
    int m_min;
    int m_max;
    int m_line;
    int m_page;
    int m_value;
    int m_prev;
};

} // namespace Qt3

#include "dial.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

namespace Qt3 {

Dial::Dial(int minValue, int maxValue, int pageStep, int value, QWidget* parent)
    : Widget<QDial>(parent), RangeControl(minValue, maxValue, 1, pageStep, value)
{
    syncMirror();
}

Dial::~Dial() = default;

void Dial::setValue(int value)
{
    RangeControl::setValue(value);
}

void Dial::syncMirror()
{
    const QSignalBlocker blocker(this);
    // QAbstractSlider cannot hold min > max; the model then allows only min, which fits.
    QAbstractSlider::setRange(minValue(), std::max(minValue(), maxValue()));
    QAbstractSlider::setSingleStep(lineStep());
    QAbstractSlider::setPageStep(RangeControl::pageStep());
    QAbstractSlider::setValue(value());
}

void Dial::valueChange()
{
    // The range and steps are mirrored by their own hooks, which run before a value change.
    {
        const QSignalBlocker blocker(this);
        QAbstractSlider::setValue(value());
    }
    update();
    emit valueChanged(value());
}

void Dial::rangeChange()
{
    syncMirror();
    update();
}

void Dial::stepChange()
{
    syncMirror();
}

void Dial::sliderChange(SliderChange)
{
}

void Dial::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        subtractLine();
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        addLine();
        break;
    case Qt::Key_PageUp:
        subtractPage();
        break;
    case Qt::Key_PageDown:
        addPage();
        break;
    case Qt::Key_Home:
        setValue(minValue());
        break;
    case Qt::Key_End:
        setValue(maxValue());
        break;
    default:
        e->ignore();
        break;
    }
}

void Dial::wheelEvent(QWheelEvent* e)
{
    const QPoint delta = e->angleDelta();
    const qint64 v = qint64(value()) - (delta.y() != 0 ? delta.y() : delta.x()) / 120;
    setValue(int(std::clamp<qint64>(v, INT_MIN, INT_MAX)));
}

void Dial::mousePressEvent(QMouseEvent* e)
{
    e->ignore();
}

void Dial::mouseMoveEvent(QMouseEvent* e)
{
    e->ignore();
}

void Dial::mouseReleaseEvent(QMouseEvent* e)
{
    e->ignore();
}

} // namespace Qt3

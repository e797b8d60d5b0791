#include "cslider.h"

#include "binding/memproxy.h"
#include "binding/services.h"
#include "binding/utilities.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QResizeEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

struct CSlider_PD
{
    int pressStartValue = 0; // the handle value at the last press
};

float CSlider::s_wheelOffset = 0.0f;
CSlider* CSlider::s_wheelOwner = nullptr;

// ---------------------------------------------------------------------------------------------
// Construction

CSlider::CSlider(QWidget* parent, const char* name) : Qt3::Widget<QWidget>(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    m_horDir = false;
    m_orientation = Qt::Vertical;
    init();
}

CSlider::CSlider(Qt::Orientation orientation, QWidget* parent, const char* name)
    : Qt3::Widget<QWidget>(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    m_horDir = false;
    m_orientation = orientation;
    init();
}

CSlider::CSlider(int minValue, int maxValue, int pageStep, int value, Qt::Orientation orientation,
                 QWidget* parent, const char* name)
    : Qt3::Widget<QWidget>(parent), QRangeControl(minValue, maxValue, 1, pageStep, value)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    m_horDir = false;
    m_orientation = orientation;
    init();
    handleValue = value;
}

void CSlider::init()
{
    d = new CSlider_PD;
    repeatTimer = nullptr;
    handlePos = 0;
    handleValue = 0;
    grabOffset = 0;
    dragState = Idle;
    m_tracking = true;
    m_tickmarks = NoMarks;
    m_tickInterval = 0;
    setFocusPolicy(Qt::ClickFocus);
    initTicks();
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (m_orientation == Qt::Vertical)
        policy.transpose();
    setSizePolicy(policy);
    // Not a policy set from outside: a later orientation change may transpose it again.
    setAttribute(Qt::WA_WState_OwnSizePolicy, false);
}

CSlider::~CSlider()
{
    if (s_wheelOwner == this)
        s_wheelOwner = nullptr;
    safe_delete1(d);
}

bool CSlider::isMemoryBound() const
{
    return dynamic_cast<const TMemProxy_Orvel*>(this) != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Properties

void CSlider::setOrientation(Qt::Orientation orientation)
{
    if (orientation == m_orientation)
        return;
    if (!testAttribute(Qt::WA_WState_OwnSizePolicy)) {
        QSizePolicy policy = sizePolicy();
        policy.transpose();
        setSizePolicy(policy);
        setAttribute(Qt::WA_WState_OwnSizePolicy, false);
    }
    m_orientation = orientation;
    rangeChange();
    update();
}

void CSlider::setTracking(bool on)
{
    m_tracking = on;
}

void CSlider::setTickmarks(TickSetting setting)
{
    m_tickmarks = setting;
    initTicks();
    update();
}

void CSlider::setTickInterval(int interval)
{
    m_tickInterval = std::max(0, interval);
    update();
}

void CSlider::setValue(int value)
{
    QRangeControl::setValue(value);
}

void CSlider::addStep()
{
    addPage();
}

void CSlider::subtractStep()
{
    subtractPage();
}

// ---------------------------------------------------------------------------------------------
// Geometry from the style

void CSlider::initStyleOption(QStyleOptionSlider* option) const
{
    option->initFrom(this);
    // positionFromValue() mirrors horizontal sliders under right-to-left layouts itself; the
    // style must not mirror them a second time.
    option->direction = Qt::LeftToRight;
    option->subControls = QStyle::SC_None;
    option->activeSubControls = QStyle::SC_None;
    option->orientation = m_orientation;
    if (m_orientation == Qt::Horizontal)
        option->state |= QStyle::State_Horizontal;
    option->minimum = minValue();
    option->maximum = maxValue();
    option->sliderPosition = handleValue;
    option->sliderValue = value();
    option->singleStep = lineStep();
    option->pageStep = pageStep();
    option->upsideDown = false; // Qt 3 sliders: minimum at the left and at the top
    // The style gets the two tick bits the slider itself reads (Above, Below): a setting
    // outside them (a form may store any int) is no value of Qt's TickPosition.
    option->tickPosition = QSlider::TickPosition(int(m_tickmarks) & int(Both));
    option->tickInterval = m_tickInterval;
}

namespace {

// The option the handle is placed with: a pixel range equal to the span, so that the style puts
// the handle exactly at handlePos whatever the value range (the style maps a range equal to
// its span one to one).
QStyleOptionSlider handleOption(const QStyleOptionSlider& base, const QStyle* style, const QWidget* w,
                                int handlePos)
{
    QStyleOptionSlider option = base;
    const int span = std::max(0, style->pixelMetric(QStyle::PM_SliderSpaceAvailable, &option, w));
    option.minimum = 0;
    option.maximum = span;
    option.sliderPosition = option.sliderValue = std::clamp(handlePos, 0, span);
    return option;
}

} // namespace

QRect CSlider::sliderRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QStyleOptionSlider placed = handleOption(option, style(), this, handlePos);
    return style()->subControlRect(QStyle::CC_Slider, &placed, QStyle::SC_SliderHandle, this);
}

int CSlider::getSlideLength() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_SliderLength, &option, this);
}

int CSlider::getSlideThickness() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_SliderThickness, &option, this);
}

int CSlider::available() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_SliderSpaceAvailable, &option, this);
}

void CSlider::initTicks()
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    tickOffset = style()->pixelMetric(QStyle::PM_SliderTickmarkOffset, &option, this);
}

int CSlider::goodPart(const QPoint& pos) const
{
    return m_orientation == Qt::Horizontal ? pos.x() : pos.y();
}

QSize CSlider::sizeHint() const
{
    constPolish();
    int thickness = getSlideThickness();
    if (m_tickmarks & Above)
        thickness += 5;
    if (m_tickmarks & Below)
        thickness += 5;
    const QSize size = m_orientation == Qt::Horizontal ? QSize(84, thickness) : QSize(thickness, 84);
    QStyleOptionSlider option;
    initStyleOption(&option);
    // Qt 6 has no global strut: the style's size is the hint.
    return style()->sizeFromContents(QStyle::CT_Slider, &option, size, this);
}

QSize CSlider::minimumSizeHint() const
{
    QSize size = sizeHint();
    if (m_orientation == Qt::Horizontal)
        size.setWidth(getSlideLength());
    else
        size.setHeight(getSlideLength());
    return size;
}

// ---------------------------------------------------------------------------------------------
// Value and position

int CSlider::positionFromValue(int value) const
{
    const int a = available();
    const int p = QRangeControl::positionFromValue(value, a);
    if (m_orientation == Qt::Horizontal && isRightToLeft())
        return NS_Utilities::clampToInt(qint64(a) - p);
    return p;
}

int CSlider::valueFromPosition(int position) const
{
    const int v = QRangeControl::valueFromPosition(position, available());
    if (m_orientation == Qt::Horizontal && isRightToLeft())
        return NS_Utilities::clampToInt(qint64(maxValue()) + minValue() - v);
    return v;
}

void CSlider::reallyMoveSlider(int newPos)
{
    // Only the part of the old handle that the new one does not cover, and the new handle, are
    // repainted; Qt paints both areas in one pass.
    const QRegion oldRegion(sliderRect());
    handlePos = newPos;
    const QRegion newRegion(sliderRect());
    update(oldRegion.subtracted(newRegion));
    update(newRegion);
}

void CSlider::moveSlider(int pos)
{
    const int a = available();
    int newPos = pos > a ? a : pos;
    if (newPos < 0)
        newPos = 0;
    const int newVal = valueFromPosition(newPos);
    QStyleOptionSlider option;
    initStyleOption(&option);
    if (style()->styleHint(QStyle::SH_Slider_SnapToValue, &option, this))
        newPos = positionFromValue(newVal);
    if (newPos != handlePos)
        reallyMoveSlider(newPos);
    if (newVal != handleValue) {
        handleValue = newVal;
        const QPointer<CSlider> self(this);
        emit sliderMoved(handleValue);
        if (!self)
            return;
    }
    if (m_tracking && handleValue != value())
        setValue(handleValue);
}

void CSlider::rangeChange()
{
    const int p = positionFromValue(value());
    if (p != handlePos)
        reallyMoveSlider(p);
}

void CSlider::valueChange()
{
    if (handleValue != value()) {
        const int p = positionFromValue(value());
        handleValue = value();
        reallyMoveSlider(p);
    }
    emit valueChanged(value());
}

void CSlider::resizeEvent(QResizeEvent*)
{
    rangeChange();
    initTicks();
}

// ---------------------------------------------------------------------------------------------
// Painting

void CSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    if (m_tickmarks != NoMarks) {
        // Tick marks follow the values.
        QStyleOptionSlider ticks = option;
        ticks.subControls = QStyle::SC_SliderTickmarks;
        style()->drawComplexControl(QStyle::CC_Slider, &ticks, &p, this);
    }
    // The groove is drawn as if the handle stood at the start, so that it does not depend on
    // the handle (styles such as Fusion fill the groove up to the handle): a handle move then
    // needs only the old and the new handle areas repainted.
    QStyleOptionSlider groove = handleOption(option, style(), this, 0);
    groove.subControls = QStyle::SC_SliderGroove;
    style()->drawComplexControl(QStyle::CC_Slider, &groove, &p, this);
    QStyleOptionSlider handle = handleOption(option, style(), this, handlePos);
    handle.subControls = QStyle::SC_SliderHandle;
    if (dragState == Dragging) {
        handle.activeSubControls = QStyle::SC_SliderHandle;
        handle.state |= QStyle::State_Sunken;
    }
    style()->drawComplexControl(QStyle::CC_Slider, &handle, &p, this);
}

// ---------------------------------------------------------------------------------------------
// Pointer

void CSlider::mousePressEvent(QMouseEvent* e)
{
    const int len = getSlideLength();
    const bool bound = isMemoryBound();
    const QPointer<CSlider> self(this);
    resetState();
    if (!self)
        return;
    d->pressStartValue = handleValue;
    const QRect r = sliderRect();
    if (e->button() == Qt::RightButton)
        return;

    emit alternativeDisplayBegin();
    if (!self)
        return;
    valueChange();
    if (!self)
        return;

    const QPoint pos = e->position().toPoint();
    if (r.contains(pos)) {
        dragState = Dragging;
        grabOffset = goodPart(pos) - handlePos;
        emit sliderPressed();
        if (!self)
            return;
    } else if (e->button() == Qt::MiddleButton) {
        moveSlider(goodPart(pos) - len / 2);
        if (!self)
            return;
        dragState = Dragging;
        grabOffset = len / 2;
    } else if (!bound) {
        const int at = goodPart(pos);
        const bool horizontal = m_orientation == Qt::Horizontal;
        const bool before = at < (horizontal ? r.left() : r.top());
        const bool after = at > (horizontal ? r.right() : r.bottom());
        if (before || after) {
            // Right-to-left horizontal sliders grow to the left.
            const bool up = (horizontal && isRightToLeft()) ? before : after;
            if (up) {
                addStep();
                if (!self)
                    return;
                dragState = PagingUp;
            } else {
                subtractStep();
                if (!self)
                    return;
                dragState = PagingDown;
            }
            if (!repeatTimer)
                repeatTimer = new QTimer(this);
            connect(repeatTimer, &QTimer::timeout, this, &CSlider::repeatTimeout);
            repeatTimer->setSingleShot(true);
            repeatTimer->start(300);
        }
    }
    update(sliderRect());
}

void CSlider::repeatTimeout()
{
    if (!repeatTimer)
        return;
    repeatTimer->disconnect();
    const bool down = dragState == PagingDown;
    if (down)
        connect(repeatTimer, &QTimer::timeout, this, &CSlider::subtractStep);
    else if (dragState == PagingUp)
        connect(repeatTimer, &QTimer::timeout, this, &CSlider::addStep);
    else
        return;
    repeatTimer->setSingleShot(false);
    repeatTimer->start(100);
    // The threshold itself pages too: once at the press, at 300 ms, then every 100 ms.
    if (down)
        subtractStep();
    else
        addStep();
}

void CSlider::mouseMoveEvent(QMouseEvent* e)
{
    if (dragState != Dragging)
        return;
    const QPoint pos = e->position().toPoint();
    if (!isMemoryBound()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const int m = style()->pixelMetric(QStyle::PM_MaximumDragDistance, &option, this);
        if (m >= 0) {
            const QRect r = rect();
            const QRect widened = m_orientation == Qt::Horizontal
                ? QRect(r.x() - m, r.y() - 2 * m / 3, r.width() + 2 * m, r.height() + 3 * m)
                : QRect(r.x() - 2 * m / 3, r.y() - m, r.width() + 3 * m, r.height() + 2 * m);
            if (!widened.contains(pos)) {
                // Too far away: the handle goes back to where the press found it.
                moveSlider(positionFromValue(d->pressStartValue));
                return;
            }
        }
    }
    moveSlider(NS_Utilities::clampToInt(qint64(goodPart(pos)) - grabOffset));
}

void CSlider::mouseReleaseEvent(QMouseEvent*)
{
    const QPointer<CSlider> self(this);
    resetState();
    if (!self)
        return;
    emit alternativeDisplayEnd();
    if (!self)
        return;
    update(sliderRect());
}

void CSlider::resetState()
{
    if (repeatTimer) {
        repeatTimer->stop();
        repeatTimer->disconnect();
    }
    switch (dragState) {
    case Dragging: {
        const QPointer<CSlider> self(this);
        setValue(valueFromPosition(handlePos));
        if (!self)
            return;
        emit sliderReleased();
        if (!self)
            return;
        break;
    }
    case Idle:
    case PagingUp:
    case PagingDown:
        break;
    default:
        qWarning("CSlider: (%s) in wrong state",
                 objectName().isEmpty() ? "unnamed" : qPrintable(objectName()));
        break;
    }
    dragState = Idle;
}

// ---------------------------------------------------------------------------------------------
// Wheel and keys

void CSlider::wheelEvent(QWheelEvent* e)
{
    if (!rect().contains(e->position().toPoint())) {
        e->ignore();
        return;
    }
    // One accumulator for all sliders: it starts empty whenever another slider is wheeled.
    if (s_wheelOwner != this) {
        s_wheelOwner = this;
        s_wheelOffset = 0.0f;
    }
    const int step = std::max(lineStep(), pageStep());
    const QPoint angle = e->angleDelta();
    const qint64 delta = angle.y() != 0 ? angle.y() : angle.x();
    const qint64 dir = m_horDir ? delta : -delta;
    s_wheelOffset += float((dir * step) / 120); // integer division first, as a whole step count
    if (s_wheelOffset > -1.0f && s_wheelOffset < 1.0f) {
        e->ignore();
        return;
    }
    const double whole = std::trunc(double(s_wheelOffset));
    const qint64 steps = qint64(std::clamp(whole, -9.0e18, 9.0e18));
    const int v = applyFlipedTransformation(value(), minValue(), maxValue());
    const QPointer<CSlider> self(this);
    setValue(applyFlipedTransformation(NS_Utilities::clampToInt(qint64(v) + steps), minValue(), maxValue()));
    s_wheelOffset -= float(whole); // the fraction carries over to the next event
    if (!self)
        return;
    e->accept();
    if (QWidget* root = rootObjectOfClass<IEditorExtensions>(this))
        root->setFocus();
}

void CSlider::keyPressEvent(QKeyEvent* e)
{
    const DragState saved = dragState;
    dragState = Dragging; // key steps run as a drag would
    QStyleOptionSlider option;
    initStyleOption(&option);
    const bool sloppy = style()->styleHint(QStyle::SH_Slider_SloppyKeyEvents, &option, this);
    const bool horizontal = m_orientation == Qt::Horizontal;
    const QPointer<CSlider> self(this);
    switch (e->key()) {
    case Qt::Key_Left:
        if (sloppy || horizontal)
            subtractLine();
        break;
    case Qt::Key_Right:
        if (sloppy || horizontal)
            addLine();
        break;
    case Qt::Key_Up:
        if (sloppy || !horizontal)
            addLine();
        break;
    case Qt::Key_Down:
        if (sloppy || !horizontal)
            subtractLine();
        break;
    case Qt::Key_PageUp:
        addPage();
        break;
    case Qt::Key_PageDown:
        subtractPage();
        break;
    case Qt::Key_Home:
        setValue(m_horDir ? minValue() : maxValue());
        break;
    case Qt::Key_End:
        setValue(m_horDir ? maxValue() : minValue());
        break;
    default:
        e->ignore();
        break;
    }
    if (self)
        dragState = saved;
}

void CSlider::focusInEvent(QFocusEvent* e)
{
    Qt3::Widget<QWidget>::focusInEvent(e);
}

void CSlider::focusOutEvent(QFocusEvent* e)
{
    Qt3::Widget<QWidget>::focusOutEvent(e);
}

#include "cradiobutton.h"

#include "refreshsilence.h"

#include "binding/strip.h"
#include "binding/utilities.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTimer>

CRadioButton::CRadioButton(QWidget* parent, const char*) : Qt3::Button<QRadioButton>(parent)
{
    connect(this, SIGNAL(stateChanged(int)), this, SLOT(handleStateChanged(int)));
    setFocusPolicy(Qt::NoFocus);
    TMemProxy_Orvel::setNumDefaultKind(0);
}

CRadioButton::~CRadioButton()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
}

void CRadioButton::emitStateChanged(int state)
{
    emit stateChanged(state);
}

// ---------------------------------------------------------------------------------------------
// Binding

void CRadioButton::connectMemAPI()
{
    if (!memAPIReady() || !api)
        return;
    ++silent;
    api->connectProxy(this, packedAddress(), 0);
    --silent;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(CRadioButton)

void CRadioButton::process(const Q_UINT8* data, int operation, Q_UINT32)
{
    if (!memAPIReady() || !api)
        return;
    if (deferToGuiThread())
        return;
    setWidgetShowState(this);
    const int current = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    // 1 default, 2 paste, 3 copy (and go on); the alternative default is not followed.
    const int value = valueForOperation(data, operation, current, false);
    RefreshSilence guard(silent, operation);
    const QPointer<CRadioButton> self(this);
    emit stateChanged(value == m_onValue ? 1 : 0);
    if (!self)
        guard.release();
}

void CRadioButton::handleStateChanged(int state)
{
    if (state == Qt3::On) {
        if (m_written) {
            m_written = false; // written ahead by switchOnByUser
            return;
        }
        if (memAPIReady() && api && !silent)
            writeUserEdit(m_onValue);
        return;
    }
    if (!memAPIReady() || !api)
        return;
    if (api->currentValue(addrHigh, addrMid, addrLow, 0, 0) == m_onValue) {
        const QPointer<CRadioButton> self(this);
        setState(Qt3::On);
        if (!self)
            return;
        setFocusPolicy(Qt::StrongFocus);
    } else {
        setFocusPolicy(Qt::NoFocus);
    }
}

void CRadioButton::switchOnByUser(bool viaClick)
{
    const QPointer<CRadioButton> self(this);
    if (memAPIReady() && api && !silent) {
        // Qt's exclusive group switches the old button off before this one reports on; the old
        // button then asks the memory, which must already hold this button's value.
        writeUserEdit(m_onValue);
        if (!self)
            return;
        m_written = true;
    }
    // A memory that notifies at once may have switched the button on already.
    if (!isChecked()) {
        if (viaClick)
            Qt3::Button<QRadioButton>::nextCheckState();
        else
            setChecked(true);
    }
    if (self)
        m_written = false;
}

void CRadioButton::nextCheckState()
{
    if (isCheckable() && !isChecked())
        switchOnByUser(true);
    else
        Qt3::Button<QRadioButton>::nextCheckState();
}

// ---------------------------------------------------------------------------------------------
// Properties

void CRadioButton::setOffState(const QPixmap& pixmap)
{
    m_offState = pixmap;
    // A null image would collapse the button to nothing: the size then stays as it is.
    if (!pixmap.isNull())
        setFixedSize(NS_Utilities::StripCells::toLogical(pixmap.size(), pixmap.devicePixelRatio()));
}

void CRadioButton::setTrackingState(const QPixmap& pixmap)
{
    m_trackingState = pixmap;
}

void CRadioButton::setOnState(const QPixmap& pixmap)
{
    m_onState = pixmap;
}

void CRadioButton::setOnValue(int value)
{
    m_onValue = value;
}

void CRadioButton::setClickDelay(int ms)
{
    m_clickDelay = ms;
}

void CRadioButton::setCombinedImage(const QPixmap& strip)
{
    m_combinedImage = strip;
}

void CRadioButton::setnSubImages(int count)
{
    m_nSubImages = count;
}

// ---------------------------------------------------------------------------------------------
// Pointer and focus

void CRadioButton::mousePressEvent(QMouseEvent* e)
{
    if (m_tracking) {
        e->ignore();
        return;
    }
    m_tracking = true;
    Qt3::Button<QRadioButton>::mousePressEvent(e);
}

void CRadioButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_trackingState.isNull()) {
        if (!m_clickTimer) {
            m_clickTimer = new QTimer(this);
            m_clickTimer->setSingleShot(true);
        }
        connect(m_clickTimer, &QTimer::timeout, this, &CRadioButton::clickDelayDone, Qt::UniqueConnection);
        m_clickTimer->start(m_clickDelay);
    } else {
        m_tracking = false;
    }
    if (hitButton(e->position().toPoint())) {
        const QPointer<CRadioButton> self(this);
        setFocusPolicy(Qt::StrongFocus);
        setFocus(Qt::OtherFocusReason); // an off button that gains the focus switches on
        if (!self)
            return;
    }
    Qt3::Button<QRadioButton>::mouseReleaseEvent(e);
}

void CRadioButton::clickDelayDone()
{
    m_tracking = false;
    update();
}

bool CRadioButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}

void CRadioButton::focusInEvent(QFocusEvent* e)
{
    if (e->reason() != Qt::MouseFocusReason && !isOn()) {
        const QPointer<CRadioButton> self(this);
        switchOnByUser(false);
        if (!self)
            return;
    }
    Qt3::Button<QRadioButton>::focusInEvent(e);
}

void CRadioButton::focusOutEvent(QFocusEvent* e)
{
    m_tracking = false;
    // Only a repaint: the focus-in handling of the base, as the look of the focus changes.
    Qt3::Button<QRadioButton>::focusInEvent(e);
    update();
}

void CRadioButton::windowActivationChange(bool)
{
    // The look does not depend on the window's activation.
}

// ---------------------------------------------------------------------------------------------
// Drawing

void CRadioButton::drawButton(QPainter* p)
{
    const QPixmap& strip = m_combinedImage;
    if (strip.width() > 0 && m_nSubImages > 2) {
        const int row = m_tracking ? 2 : (isOn() ? 0 : 1);
        const int h = strip.height() / m_nSubImages;
        if (h > 0) {
            const QRect source(0, row * h, strip.width(), h);
            if (!isEnabled()) {
                QPixmap cell = strip.copy(source);
                cell.setDevicePixelRatio(strip.devicePixelRatio());
                QImage grey = NS_Utilities::applyGreyTransformation(cell);
                grey.setDevicePixelRatio(cell.devicePixelRatio());
                p->drawImage(QPoint(0, 0), grey);
            } else {
                // Straight from the strip: a copy of the cell on every paint cost an allocation
                // and a pixel copy. The target is the cell's logical size.
                const qreal ratio = strip.devicePixelRatio() > 0 ? strip.devicePixelRatio() : 1.0;
                p->drawPixmap(QRectF(0, 0, source.width() / ratio, source.height() / ratio), strip, QRectF(source));
            }
        }
    } else if (m_tracking && !m_trackingState.isNull()) {
        p->drawPixmap(QPoint(0, 0), m_trackingState);
    } else {
        const QPixmap& image = isOn() ? m_onState : m_offState;
        if (image.isNull()) {
            Qt3::Button<QRadioButton>::drawButton(p); // the style's radio button
            return;
        }
        p->drawPixmap(QPoint(0, 0), image);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        option.backgroundColor = palette().color(foregroundRole());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, p, this);
    }
}

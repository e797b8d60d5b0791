#include "conoffbutton.h"

#include "refreshsilence.h"

#include "binding/records.h"
#include "binding/strip.h"
#include "binding/utilities.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Copies `cell` of the strip onto `target` at `offset` (device pixels), replacing the pixels
// and their alpha there: the block copy that carries the mask along.
void copyCell(QPixmap& target, const QPixmap& strip, const QRect& cell, const QPoint& offset)
{
    if (target.isNull() || cell.isEmpty())
        return;
    const qreal ratio = target.devicePixelRatio();
    if (offset.isNull() && target.size() == cell.size() && QRect(QPoint(), strip.size()).contains(cell)) {
        // The usual case, a cell as large as the button: the cell's pixels themselves, copied
        // without a painter. (A pixmap a QPainter has drawn on keeps its raster paint engine,
        // a few KB for each of a button's images.)
        QImage image = strip.toImage().copy(cell).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        target = QPixmap::fromImage(std::move(image));
        return;
    }
    target.setDevicePixelRatio(1.0);
    QPixmap source = strip.copy(cell);
    source.setDevicePixelRatio(1.0);
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawPixmap(offset, source);
    p.end();
    target.setDevicePixelRatio(ratio);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The private record

COnOffButton::COnOffButton_PD_Orvel::COnOffButton_PD_Orvel()
    : invertedLogic(0), disableAutoHide(0), hasDisableImage(0), useTrackingImage(1), imagesSwapped(0),
      hasOffState(0)
{
}

COnOffButton::COnOffButton_PD_Orvel* COnOffButton::COnOffButton_PD_Orvel::clone() const
{
    auto* copy = new COnOffButton_PD_Orvel;
    copy->onStateTrigger = onStateTrigger;
    copy->offStateTrigger = offStateTrigger;
    copy->boolClipValue = boolClipValue;
    copy->combinedImage = combinedImage;
    for (int i = 0; i < 4; ++i)
        copy->images[i] = images[i];
    copy->focusColor = focusColor;
    copy->invertedLogic = invertedLogic;
    copy->disableAutoHide = disableAutoHide;
    copy->hasDisableImage = hasDisableImage;
    copy->useTrackingImage = useTrackingImage;
    copy->imagesSwapped = imagesSwapped;
    copy->hasOffState = hasOffState;
    copy->nSubImages = nSubImages;
    copy->nImageCategories = nImageCategories;
    return copy;
}

// ---------------------------------------------------------------------------------------------
// Construction and binding

COnOffButton::COnOffButton(QWidget* parent, const char* name)
    : Qt3::Button<QPushButton>(parent), pd(nullptr), pdFromCache(0), tracking(0), forceRedraw(0), currentImage(0)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    pd = new COnOffButton_PD_Orvel;
    if (name)
        pd->key = QString::fromLatin1(name);
    setToggleButton(true);
    TMemProxy_Orvel::setNumDefaultKind(0);
    connect(this, SIGNAL(stateChanged(int)), this, SLOT(handleStateChanged(int)));
}

COnOffButton::~COnOffButton()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
    if (!pdFromCache) {
        COnOffButton_PD_Orvel* doomed = pd;
        pd = nullptr;
        delete doomed;
    }
}

void COnOffButton::emitStateChanged(int state)
{
    emit stateChanged(state);
}

void COnOffButton::connectMemAPI()
{
    if (api && addressValid && memAPIReady())
        api->connectProxy(this, packedAddress(), 0);
}

void COnOffButton::disconnectMemAPI()
{
    if (api && addressValid && memAPIReady())
        api->disconnectProxy(this, packedAddress());
    addressValid = 0;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(COnOffButton)

bool COnOffButton::disabledUI() const
{
    return TMemProxy_Orvel::disabledUI();
}

void COnOffButton::setDisabledUI(bool on)
{
    TMemProxy_Orvel::setDisabledUI(on);
    updateErasePixmap(nullptr);
}

bool COnOffButton::disableAutoHide() const
{
    return pd->disableAutoHide;
}

void COnOffButton::setDisableAutoHide(bool on)
{
    pd->disableAutoHide = on;
}

int COnOffButton::onValueOf() const
{
    // boolClipValue - 1, wrapping instead of overflowing at the bottom of the int range.
    return pd->boolClipValue != 0 ? int(quint32(pd->boolClipValue) - 1u) : 1;
}

TMemProxyBasic* COnOffButton::addressProxy()
{
    if (CSimpleNotifier_Orvel* notifier = selectionObject.data())
        return notifier;
    return this;
}

// ---------------------------------------------------------------------------------------------
// Value to state and state to value

void COnOffButton::process(const Q_UINT8* data, int operation, Q_UINT32 extra)
{
    if (!NS_Utilities::mainThreadRunning()) {
        if (api) {
            MAPI_postObserverEvent(api, this);
        } else if (operation == -1) {
            // No memory would call back: hand the value itself to the GUI thread.
            QMetaObject::invokeMethod(
                this, [this, extra] { process(nullptr, -1, extra); }, Qt::QueuedConnection);
        }
        return;
    }
    CSimpleNotifier_Orvel* notifier = selectionObject.data();
    if (operation != -1 && !notifier && (!memAPIReady() || !api))
        return;
    setWidgetShowState(this);

    int value = 0;
    bool force = false;
    if (operation == -1) {
        value = int(extra);
    } else {
        value = notifier ? notifier->notifiedValue() : api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
        force = extra != 0;
    }

    if (operation > 3)
        return;
    TMemProxyBasic* address = addressProxy();
    if (operation == 1) {
        // Without a memory to ask, a notifier's reset keeps its value.
        if (api)
            value = api->defaultValue(address->addrHigh, address->addrMid, address->addrLow, 0, nullptr);
    } else if (operation == 2) {
        if (data && api) {
            TParamInfoReader_Orvel record(data);
            if (api->acceptsRecord(address->addrHigh, address->addrMid, record.lowAddress(), 0))
                value = record.value();
        }
    } else if (operation == 3) {
        TParamInfoWriter_Orvel(address, value, data, -1);
        return;
    }

    const int onValue = onValueOf();
    bool on = value == onValue;
    if (pd->invertedLogic)
        on = !on;
    handleProcessChange(operation, on, force);
}

void COnOffButton::handleProcessChange(int operation, bool on, bool force)
{
    if (operation > 2)
        return;
    // A memory change (and a value handed in directly) is shown, never written back; a reset
    // or a paste that changes the state is stored by handleStateChanged.
    RefreshSilence guard(silent, operation);
    bool rebuild = force || !hasErasePixmap();
    if ((state() != Qt3::Off) != on) {
        forceRedraw = 1;
        const QPointer<COnOffButton> self(this);
        setOn(on);
        if (!self) {
            guard.release();
            return;
        }
    }
    if (rebuild)
        updateErasePixmap(nullptr);
}

void COnOffButton::handleStateChanged(int state)
{
    if (!NS_Utilities::mainThreadRunning())
        return;
    const int onValue = onValueOf();
    int value = state == Qt3::On ? onValue : 0;
    if (pd->invertedLogic)
        value = value == 0 ? onValue : 0;
    // Without a memory nothing is written, but the look still follows the state.
    if (api && !silent) {
        const bool keepOn = state != Qt3::On && value == 0 && pd->boolClipValue != 0 && !pd->hasOffState;
        if (!keepOn) {
            if (memAPIReady()) {
                const QPointer<COnOffButton> self(this);
                writeUserEdit(value);
                if (!self)
                    return;
            } else if (CSimpleNotifier_Orvel* notifier = selectionObject.data()) {
                notifier->setNotifiedValue(value);
            }
        }
    }
    forceRedraw = 1;
    updateErasePixmap(nullptr);
    update();
}

void COnOffButton::setNonBoolValue(int value)
{
    process(nullptr, -1, Q_UINT32(value));
}

void COnOffButton::setSelectionObject(CSimpleNotifier_Orvel* notifier)
{
    selectionObject = notifier;
}

bool COnOffButton::hitButton(const QPoint& pos) const
{
    if (!QPushButton::hitButton(pos))
        return false;
    if (pd->boolClipValue == 0 || pd->hasOffState || !api)
        return true;
    int current = 0;
    if (CSimpleNotifier_Orvel* notifier = selectionObject.data())
        current = notifier->notifiedValue();
    else if (memAPIReady())
        current = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    else
        return true; // an unresolved address has no value to compare
    // A selected button of a value row ignores clicks.
    return current != onValueOf();
}

// ---------------------------------------------------------------------------------------------
// Pointer, keys and focus

bool COnOffButton::pushTriggers()
{
    const Qt3::ToggleState now = state();
    return (now == Qt3::Off && onStateTrigger() == buttonPush) || (now != Qt3::Off && offStateTrigger() == buttonPush);
}

void COnOffButton::mousePressEvent(QMouseEvent* e)
{
    forceRedraw = 1;
    if (disabledUI() || tracking || e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    tracking = 1;
    if (pushTriggers()) {
        // The toggle happens at the press: a press and a release of the base button at once.
        const QPointer<COnOffButton> self(this);
        clickDelayDone();
        QPushButton::mousePressEvent(e);
        if (!self)
            return;
        forceRedraw = 1;
        QPushButton::mouseReleaseEvent(e);
    } else {
        QPushButton::mousePressEvent(e);
    }
}

void COnOffButton::mouseReleaseEvent(QMouseEvent* e)
{
    forceRedraw = 1;
    if (!disabledUI() && !pd->images[2].isNull()) {
        if (pushTriggers())
            clickDelayDone();
        else
            QTimer::singleShot(100, this, &COnOffButton::clickDelayDone);
    } else {
        tracking = 0;
    }
    QPushButton::mouseReleaseEvent(e);
}

void COnOffButton::clickDelayDone()
{
    tracking = 0;
    updateErasePixmap(nullptr);
    update();
}

void COnOffButton::setClicked(bool on)
{
    forceRedraw = 1;
    tracking = on;
}

void COnOffButton::keyPressEvent(QKeyEvent* e)
{
    forceRedraw = 1;
    const int key = e->key();
    if (pd->focusColor.isValid()
        && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right)) {
        toggle();
        return;
    }
    QPushButton::keyPressEvent(e);
}

void COnOffButton::focusInEvent(QFocusEvent* e)
{
    // The push button's focus-out handling: a repaint, and never the dialog's default button.
    QPushButton::focusOutEvent(e);
    update();
}

void COnOffButton::focusOutEvent(QFocusEvent* e)
{
    QPushButton::focusOutEvent(e);
    update();
}

void COnOffButton::enabledChange(bool oldEnabled)
{
    Qt3::Button<QPushButton>::enabledChange(oldEnabled);
    updateErasePixmap(nullptr);
    update();
}

void COnOffButton::disconnectAutomaticObserver()
{
    disconnect(this, nullptr, this, SLOT(handleStateChanged(int)));
}

// ---------------------------------------------------------------------------------------------
// Properties

bool COnOffButton::invertedLogic() const { return pd->invertedLogic; }
void COnOffButton::setInvertedLogic(bool on) { pd->invertedLogic = on; }
int COnOffButton::boolClipValue() const { return pd->boolClipValue; }
void COnOffButton::setBoolClipValue(int value) { pd->boolClipValue = value; }
bool COnOffButton::hasOffState() const { return pd->hasOffState; }
void COnOffButton::setHasOffState(bool on) { pd->hasOffState = on; }
bool COnOffButton::hasDisableImage() const { return pd->hasDisableImage; }
bool COnOffButton::useTrackingImage() const { return pd->useTrackingImage; }
QPixmap COnOffButton::combinedImage() const { return pd->combinedImage; }
int COnOffButton::nSubImages() const { return pd->nSubImages; }
int COnOffButton::nImageCategories() const { return pd->nImageCategories; }
QColor COnOffButton::focusColor() const { return pd->focusColor; }
bool COnOffButton::imagesSwapped() const { return pd->imagesSwapped; }
void COnOffButton::setimagesSwapped(bool on) { pd->imagesSwapped = on; }
QPixmap COnOffButton::pixmap() const { return m_pixmap; }
bool COnOffButton::blinkingMode() const { return false; }

COnOffButton::TOnOffStateTrigger COnOffButton::onStateTrigger() const
{
    return pd->onStateTrigger;
}

COnOffButton::TOnOffStateTrigger COnOffButton::offStateTrigger() const
{
    return pd->offStateTrigger;
}

void COnOffButton::setOnStateTrigger(const TOnOffStateTrigger trigger)
{
    pd->onStateTrigger = trigger;
}

void COnOffButton::setOffStateTrigger(const TOnOffStateTrigger trigger)
{
    pd->offStateTrigger = trigger;
}

void COnOffButton::setPixmap(const QPixmap& pixmap)
{
    m_pixmap = pixmap;
    update();
}

void COnOffButton::setHasDisableImage(bool on)
{
    pd->hasDisableImage = on;
    forceRedraw = 1;
}

void COnOffButton::setUseTrackingImage(bool on)
{
    pd->useTrackingImage = on;
    forceRedraw = 1;
}

void COnOffButton::setnSubImages(int count)
{
    pd->nSubImages = quint8(unsigned(count)); // eight bits: larger counts keep their low bits
    forceRedraw = 1;
}

void COnOffButton::setnImageCategories(int count)
{
    pd->nImageCategories = quint8(unsigned(count));
    forceRedraw = 1;
}

void COnOffButton::setCombinedImage(const QPixmap& strip)
{
    forceRedraw = 1;
    pd->combinedImage = strip;
    NS_Utilities::geometry_change(this);
}

void COnOffButton::setFocusColor(const QColor& color)
{
    pd->focusColor = color;
    setFocusPolicy(Qt::StrongFocus);
}

void COnOffButton::setCurrentImage(int id)
{
    if (id < 0 || id >= int(pd->nImageCategories))
        return;
    currentImage = qint16(id);
    reloadImage();
    updateErasePixmap(nullptr);
    update();
}

// ---------------------------------------------------------------------------------------------
// Strip, faces and painting

void COnOffButton::reloadImage()
{
    COnOffButton_PD_Orvel& r = *pd;
    const QPixmap& strip = r.combinedImage;
    if (r.useCount > 1) {
        // A shared record holds its images already; the button takes their size.
        if (!r.images[0].isNull())
            setFixedSize(NS_Utilities::StripCells::toLogical(r.images[0].size(), r.images[0].devicePixelRatio()));
        return;
    }
    if (r.nSubImages == 0 || r.nImageCategories == 0 || strip.width() <= 0)
        return;
    const int n = r.nSubImages;
    const int w = strip.width() / r.nImageCategories;
    const int h = strip.height() / n;
    if (w <= 0 || h <= 0)
        return; // a strip smaller than its grid has no cells
    const qreal ratio = strip.devicePixelRatio();

    // The base picture in the strip's device pixels: a picture of another ratio is scaled
    // (nearest pixel) so that both keep their logical sizes on the canvas.
    QPixmap base = m_pixmap;
    if (!base.isNull() && base.devicePixelRatio() != ratio && base.devicePixelRatio() > 0) {
        const QSize device = (QSizeF(base.size()) * (ratio / base.devicePixelRatio())).toSize();
        base = device.isEmpty() ? QPixmap() : base.scaled(device, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }

    QSize size(w, h);
    QPixmap canvas;
    if (!base.isNull()) {
        size = QSize(std::max(w, base.width()), std::max(h, base.height()));
        canvas = QPixmap(size);
        canvas.fill(Qt::transparent);
        QPainter p(&canvas);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        base.setDevicePixelRatio(1.0);
        p.drawPixmap(0, 0, base);
        p.end();
    } else {
        canvas = QPixmap(size);
        canvas.fill(Qt::transparent);
    }
    canvas.setDevicePixelRatio(ratio);
    setFixedSize(NS_Utilities::StripCells::toLogical(size, ratio));

    for (int i = 0; i < 3; ++i)
        r.images[i] = canvas;
    const QPoint offset((size.width() - w) / 2, (size.height() - h) / 2);
    const int x = currentImage * w;
    copyCell(r.images[0], strip, QRect(x, 0, w, h), offset);
    if (n > 1)
        copyCell(r.images[1], strip, QRect(x, h, w, h), offset);
    if (n > 2)
        copyCell(r.images[2], strip, QRect(x, 2 * h, w, h), offset);
    if (n == 1)
        r.images[1] = r.images[0];
    if (n <= 2)
        r.images[2] = r.imagesSwapped ? r.images[1] : r.images[0];
    r.images[3] = r.images[0];
    if (r.hasDisableImage || n == 4)
        copyCell(r.images[3], strip, QRect(x, (n - 1) * h, w, h), offset);
    if (r.nImageCategories <= 1)
        r.combinedImage = QPixmap(); // a single-column strip is cut once only
}

QPixmap COnOffButton::stateImage() const
{
    const bool swapped = pd->imagesSwapped;
    if (state() == Qt3::On)
        return pd->images[swapped ? 1 : 0];
    return pd->images[swapped ? 0 : 1];
}

QPixmap COnOffButton::staticPixmap()
{
    const bool swapped = pd->imagesSwapped;
    if (!tracking && blinkingMode()) {
        bool flag = false;
        if (api)
            api->stateFlag(flag, 0);
        return pd->images[flag == !swapped ? 0 : 1];
    }
    if (!isEnabled() && !pd->images[3].isNull())
        return pd->images[3];
    if (tracking && pd->useTrackingImage)
        return pd->images[2];
    return stateImage();
}

void COnOffButton::updateErasePixmap(QPixmap*)
{
    // The new face holds the look drawButton would draw: a forced redraw pending from the event
    // that led here would draw it a second time over the face, blending its half-transparent
    // pixels twice.
    forceRedraw = 0;
    const bool hilite = pd->focusColor.isValid() && hasFocus();
    if (!hilite && (pd->hasDisableImage || isEnabled())) {
        setErasePixmap(staticPixmap());
        return;
    }
    setErasePixmap(Qt3::paintFacePixmap(this, [this](QPainter& p) { repaintScreenPrimitive(p); }));
}

void COnOffButton::updateErasePixmapSlot()
{
    updateErasePixmap(nullptr);
}

void COnOffButton::repaintScreenPrimitive(QPainter& p)
{
    if (pd->focusColor.isValid() && hasFocus()) {
        p.drawPixmap(QPoint(0, 0), composedLook(staticPixmap(), false));
    } else if (!pd->hasDisableImage && !isEnabled()) {
        p.drawPixmap(QPoint(0, 0), composedLook(stateImage(), true));
    } else {
        p.drawPixmap(QPoint(0, 0), staticPixmap());
    }
}

QPixmap COnOffButton::composedLook(const QPixmap& source, bool grey)
{
    if (source.isNull())
        return QPixmap();
    const QColor colour = grey ? QColor() : pd->focusColor;
    if (m_look.pixmap.isNull() || m_look.sourceKey != source.cacheKey() || m_look.grey != grey
        || m_look.colour != colour) {
        QImage image = grey ? NS_Utilities::applyGreyTransformation(source)
                            : NS_Utilities::applyFocusHilite(colour, source);
        image.setDevicePixelRatio(source.devicePixelRatio());
        m_look.pixmap = QPixmap::fromImage(std::move(image));
        m_look.sourceKey = source.cacheKey();
        m_look.grey = grey;
        m_look.colour = colour;
    }
    return m_look.pixmap;
}

void COnOffButton::drawButton(QPainter* p)
{
    // The face shows the state; a press in progress is drawn over it on every repaint (Qt 6
    // repaints more often than once per change, and the face never holds the pressed look
    // while the press lasts).
    if (!forceRedraw && !tracking && !pd->focusColor.isValid() && isToggleButton())
        return;
    repaintScreenPrimitive(*p);
    forceRedraw = 0;
}

// ---------------------------------------------------------------------------------------------
// Polish and sharing

void COnOffButton::polish()
{
    Qt3::Button<QPushButton>::polish();
    setBackgroundOrigin(Qt3::WidgetOrigin);
    // A name given after construction (forms, uic-generated code) is the key as well.
    if (pd->useCount == 0 && pd->key.isEmpty() && !pdFromCache)
        pd->key = objectName();
    if (pd->useCount == 0 && !pd->key.isEmpty()) {
        TCacheServer* server = pd->nImageCategories == 1 ? TCacheServer::FindCacheServer(parentWidget(), nullptr) : nullptr;
        if (server) {
            const QString key = pd->key;
            pdFromCache = 1;
            m_server = server;
            pd = static_cast<COnOffButton_PD_Orvel*>(server->insert(key, pd));
            // A button whose parent (not the button) moves out of the server's window hears
            // nothing of it; when that server goes, the button takes a copy of the record first.
            server->addUser(this, [this, server] {
                if (pdFromCache && m_server == server) {
                    pd = pd->clone();
                    pdFromCache = 0;
                    m_server = nullptr;
                }
            });
            reloadImage();
            updateErasePixmap(nullptr);
            return;
        }
        pd->key = QString();
    }
    reloadImage();
    updateErasePixmap(nullptr);
}

void COnOffButton::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

bool COnOffButton::event(QEvent* e)
{
    if (e->type() == QEvent::ParentChange)
        followServer();
    return Qt3::Button<QPushButton>::event(e);
}

void COnOffButton::followServer()
{
    if (!pdFromCache)
        return;
    if (TCacheServer::FindCacheServer(parentWidget(), nullptr) == m_server)
        return;
    // The record belongs to a server this button no longer lives under and may go with it.
    pd = pd->clone();
    pdFromCache = 0;
    m_server = nullptr;
}

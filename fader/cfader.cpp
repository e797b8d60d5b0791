#include "cfader.h"

#include "cfadertip.h"

#include "binding/compat/erasedirect.h"
#include "binding/services.h"
#include "binding/strip.h"
#include "binding/utilities.h"
#include "binding/valuetip.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

struct CFader_PD
{
    CFader_PD() : nSubImages(1), flipValues(0), useDisabledImage(0), numberToolTip(0) {}

    unsigned nSubImages : 5;
    unsigned flipValues : 1;
    unsigned useDisabledImage : 1;
    unsigned numberToolTip : 1;
    int tableId = 5;
    QPixmap thumbImage;
    QPixmap pixmap;
    QColor focusColor;
    // The tip is a child of the fader's parent; the guard covers that parent deleting it first.
    QPointer<CFaderTip> tip;

    // What the installed face shows: the background it was rendered with and where it shows the
    // thumb (see updateErasePixmap).
    qint64 faceBackgroundKey = 0;
    QRect faceThumb;

    // The focus look of the thumb, kept until the thumb or the colour changes.
    QPixmap focusLook;
    qint64 focusLookKey = 0;
    QColor focusLookColour;
};

// ---------------------------------------------------------------------------------------------
// Construction and binding

CFader::CFader(QWidget* parent, const char*)
    : CSlider(0, 1023, 10, 0, Qt::Vertical, parent), pd(new CFader_PD)
{
    setFocusPolicy(Qt::WheelFocus);
}

CFader::~CFader()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
    NS_Utilities::deleteValueTip(pd->tip);
    safe_delete1(pd);
}

void CFader::connectMemAPI()
{
    if (!memAPIReady() || !api || !addressValid)
        return;
    ++silent;
    api->connectProxy(this, packedAddress(), 0);
    --silent;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(CFader)

void CFader::process(const Q_UINT8* data, int operation, Q_UINT32)
{
    if (!addressValid || !api)
        return;
    if (deferToGuiThread())
        return;
    setWidgetShowState(this);
    applyMemoryRange([this](int min, int max) { setRange(min, max); });
    int v = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    v = valueForOperation(data, operation, v, true);
    TMemSilentHelper guard(silent, operation, this);
    // An unchanged value emits nothing; a changed one goes on through valueChange().
    setValue(v);
}

void CFader::valueChange()
{
    const QPointer<CFader> self(this);
    // valueChanged(int) goes out before the write-back, and a receiver may delete the fader
    // there. The edit is taken first so that it still reaches the memory then (with no proxy in
    // its undo context: the fader is gone).
    IMemAPI* const memory = api && memAPIReady() && !silent ? api : nullptr;
    const int edited = value();
    const qint16 high = addrHigh, mid = addrMid, low = addrLow;
    TUndoContext context = memory ? undoContext(0) : TUndoContext();
    CSlider::valueChange();
    if (!self) {
        if (memory) {
            context.proxy = nullptr;
            memory->setValue(high, mid, low, edited, context, 1);
        }
        return;
    }
    if (api && memAPIReady()) {
        if (!silent)
            writeUserEdit(value());
        if (!self)
            return;
        if (signalsBlocked())
            QTimer::singleShot(50, this, &CFader::emit_textualValueChange);
        else
            emit_textualValueChange();
        if (!self)
            return;
    }
    updateErasePixmap(nullptr);
}

void CFader::emit_textualValueChange()
{
    if (signalsBlocked())
        return;
    QString text;
    if (api && memAPIReady())
        api->formatValue(qint16(addrLow + addrLowOffset), tableId(), text, nullptr, value(), 0, 0, 0);
    else
        text = QString::number(value());
    if (pd->tip)
        pd->tip->setTipText(text);
    emit textualValueChange(text);
}

void CFader::acceptNum(double value)
{
    if (!api || !memAPIReady())
        return;
    // Out-of-range doubles saturate instead of overflowing the float conversion.
    const float number = std::isnan(value) ? float(value) : float(std::clamp(value, -double(FLT_MAX), double(FLT_MAX)));
    const int v = api->valueFromNumber(tableId(), number, 0);
    if (isUndoEnable())
        api->beginUndoStep(this);
    setValue(v);
}

// ---------------------------------------------------------------------------------------------
// Value and position mapping

bool CFader::mappedByMemory() const
{
    return api && addressValid && memAPIReady();
}

int CFader::applyFlipedTransformation(int value, int minValue, int maxValue) const
{
    if (!pd->flipValues)
        return value;
    qint64 r;
    if (maxValue >= 1)
        r = minValue >= 0 ? qint64(maxValue) - value : -qint64(value);
    else
        r = -std::llabs(qint64(maxValue) - minValue) - value;
    return NS_Utilities::clampToInt(r);
}

int CFader::positionFromValue(int value) const
{
    const int a = available();
    if (mappedByMemory()) {
        int p = a;
        if (api->positionForValue(p, addrHigh, addrMid, value) == 0) {
            // A memory curve that answers outside the slide is held at its ends.
            p = std::clamp(p, 0, std::max(a, 0));
            return applyFlipedTransformation(p, 0, a);
        }
    }
    const int p = QRangeControl::positionFromValue(applyFlipedTransformation(value, minValue(), maxValue()), a);
    if (orientation() == Qt::Horizontal && isRightToLeft())
        return NS_Utilities::clampToInt(qint64(a) - p);
    return p;
}

int CFader::valueFromPosition(int position) const
{
    const int a = available();
    if (mappedByMemory()) {
        int r = a;
        if (api->valueForPosition(r, addrHigh, addrMid, applyFlipedTransformation(position, 0, a)) == 0)
            return r;
    }
    int v = QRangeControl::valueFromPosition(position, a);
    if (orientation() == Qt::Horizontal && isRightToLeft())
        v = NS_Utilities::clampToInt(qint64(maxValue()) + minValue() - v);
    return applyFlipedTransformation(v, minValue(), maxValue());
}

// ---------------------------------------------------------------------------------------------
// Geometry

QRect CFader::sliderRect() const
{
    const NS_Utilities::StripCells cells(pd->thumbImage, 1, int(pd->nSubImages));
    if (!cells.isValid())
        return CSlider::sliderRect(); // no thumb, no rows, or rows of no height
    QRect r(QPoint(0, 0), cells.cellLogicalSize());
    if (orientation() == Qt::Horizontal)
        r.translate(handlePos, 0);
    else
        r.translate(0, handlePos);
    return r;
}

int CFader::getSlideLength() const
{
    const QRect r = sliderRect();
    return orientation() == Qt::Horizontal ? r.width() : r.height();
}

int CFader::getSlideThickness() const
{
    const QRect r = sliderRect();
    return orientation() == Qt::Horizontal ? r.height() : r.width();
}

int CFader::available() const
{
    const int extent = orientation() == Qt::Horizontal ? width() : height();
    return extent - getSlideLength();
}

QSize CFader::sizeHint() const
{
    constPolish();
    QSize s = sliderRect().size();
    if (orientation() == Qt::Horizontal)
        s.setWidth(s.width() * 4);
    else
        s.setHeight(s.height() * 4);
    return s;
}

// ---------------------------------------------------------------------------------------------
// Properties

int CFader::tableId() const
{
    return pd->tableId;
}

void CFader::setTableId(int value)
{
    pd->tableId = value;
}

int CFader::nSubImages() const
{
    return int(pd->nSubImages);
}

void CFader::setnSubImages(int value)
{
    pd->nSubImages = unsigned(value) & 31u;
}

QPixmap CFader::thumbImage() const
{
    return pd->thumbImage;
}

void CFader::setThumbImage(const QPixmap& image)
{
    pd->thumbImage = image;
}

bool CFader::flipValues() const
{
    return pd->flipValues;
}

void CFader::setFlipValues(bool on)
{
    pd->flipValues = on;
}

QColor CFader::focusColor() const
{
    return pd->focusColor;
}

void CFader::setFocusColor(const QColor& color)
{
    pd->focusColor = color;
}

bool CFader::numberToolTip() const
{
    return pd->numberToolTip;
}

void CFader::setNumberToolTip(bool value)
{
    pd->numberToolTip = value;
    if (!value) {
        NS_Utilities::deleteValueTip(pd->tip);
        return;
    }
    if (!pd->tip) {
        pd->tip = new CFaderTip(this);
        emit_textualValueChange();
    }
}

QPixmap CFader::pixmap() const
{
    return pd->pixmap;
}

void CFader::setPixmap(const QPixmap& background)
{
    pd->pixmap = background;
    update();
}

bool CFader::usesDisabledImage() const
{
    return pd->useDisabledImage;
}

void CFader::useDisabledImage(bool on)
{
    if (bool(pd->useDisabledImage) == on)
        return;
    pd->useDisabledImage = on;
    update();
}

// ---------------------------------------------------------------------------------------------
// Painting

void CFader::polish()
{
    setBackgroundOrigin(Qt3::WidgetOrigin);
    updateErasePixmap(nullptr);
    emit_textualValueChange();
}

void CFader::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

void CFader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    repaintScreenPrimitive(p);
}

void CFader::repaintScreenPrimitive(QPainter& p)
{
    if (!pd->pixmap.isNull()) {
        p.drawPixmap(QPoint(0, 0), pd->pixmap);
    } else {
        const QPixmap parentFace = Qt3::erasePixmapOf(parentWidget());
        if (!parentFace.isNull())
            p.drawPixmap(QPoint(-x(), -y()), parentFace);
        else
            p.eraseRect(0, 0, width(), height());
    }
    const QPoint at = orientation() == Qt::Horizontal ? QPoint(handlePos, 0) : QPoint(0, handlePos);
    const QPixmap& thumb = pd->thumbImage;
    if (pd->focusColor.isValid() && hasFocus()) {
        if (thumb.isNull())
            return;
        if (pd->focusLook.isNull() || pd->focusLookKey != thumb.cacheKey() || pd->focusLookColour != pd->focusColor) {
            QImage look = NS_Utilities::applyFocusHilite(pd->focusColor, thumb);
            look.setDevicePixelRatio(thumb.devicePixelRatio());
            pd->focusLook = QPixmap::fromImage(std::move(look));
            pd->focusLookKey = thumb.cacheKey();
            pd->focusLookColour = pd->focusColor;
        }
        p.drawPixmap(at, pd->focusLook);
        return;
    }
    const int rows = int(pd->nSubImages);
    const int row = (!isEnabled() || pd->useDisabledImage) ? rows - 1 : 0;
    NS_Utilities::drawPartialPixmap(p, QPoint(0, row), thumb, QSize(1, rows), &at);
}

void CFader::updateErasePixmap(QPixmap* pm)
{
    if (pm) {
        pd->faceBackgroundKey = 0;
        Qt3::setErasePixmapDirect(this, *pm);
        return;
    }
    // Everything the thumb may cover: its row, or the whole strip for the focus look.
    const QPoint at = orientation() == Qt::Horizontal ? QPoint(handlePos, 0) : QPoint(0, handlePos);
    const QRect thumbNow = sliderRect().united(QRect(at, NS_Utilities::StripCells::toLogical(
                                                              pd->thumbImage.size(), pd->thumbImage.devicePixelRatio())));
    QPixmap face = erasePixmap();
    const qreal dpr = devicePixelRatioF();
    // Over an unchanged background only the old and the new thumb areas differ from the face
    // already installed: those are rendered again, the rest is kept. The result is the same as
    // a full render. Without a background of its own (the parent's face or the palette shows
    // through, which may have changed) the face is rendered whole.
    const bool partial = !pd->pixmap.isNull() && pd->faceBackgroundKey == pd->pixmap.cacheKey()
                         && !face.isNull() && face.devicePixelRatio() == dpr && face.size() == size() * dpr;
    if (partial) {
        Qt3::setErasePixmapDirect(this, QPixmap()); // the face's only user now: painting it copies nothing
    } else {
        face = Qt3::createFacePixmap(this, size());
    }
    if (!face.isNull()) {
        QPainter p(&face);
        if (partial) {
            const QRegion changed = QRegion(pd->faceThumb) + thumbNow;
            p.setClipRegion(changed);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(changed.boundingRect(), Qt::transparent);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        p.setFont(font());
        p.setPen(palette().color(foregroundRole()));
        p.setBackground(palette().brush(backgroundRole()));
        repaintScreenPrimitive(p);
    }
    pd->faceBackgroundKey = pd->pixmap.isNull() ? 0 : pd->pixmap.cacheKey();
    pd->faceThumb = thumbNow;
    Qt3::setErasePixmapDirect(this, face);
}

// ---------------------------------------------------------------------------------------------
// Events

void CFader::mouseDoubleClickEvent(QMouseEvent* e)
{
    e->accept();
}

void CFader::focusInEvent(QFocusEvent* e)
{
    if (pd->focusColor.isValid())
        updateErasePixmap(nullptr);
    CSlider::focusOutEvent(e); // repaints, as on focus out
}

void CFader::focusOutEvent(QFocusEvent* e)
{
    if (pd->focusColor.isValid())
        updateErasePixmap(nullptr);
    CSlider::focusOutEvent(e);
}

void CFader::enterEvent(QEnterEvent* e)
{
    CSlider::enterEvent(e);
    if (pd->tip) {
        pd->tip->show();
        pd->tip->raise();
    }
}

void CFader::leaveEvent(QEvent* e)
{
    CSlider::leaveEvent(e);
    if (pd->tip)
        pd->tip->hide();
}

void CFader::windowActivationChange(bool)
{
    // The fader looks the same in active and inactive windows.
}

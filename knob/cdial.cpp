#include "cdial.h"

#include "cdialtip.h"

#include "binding/appserver.h"
#include "binding/services.h"
#include "binding/strip.h"
#include "binding/utilities.h"
#include "binding/valuetip.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QPointer>
#include <QWheelEvent>
#include <QtNumeric>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <climits>
#include <cmath>

struct CDial_PD
{
    CDial_PD()
        : altAddressMode(0), altModeChanged(0), fxValueTransform(0), pressMoveActive(0),
          disableAutoHide(0), nImageCategories(1), dragging(0), inverted(0), transparent(0),
          numberToolTip(0)
    {
    }

    int currentImage = -1;
    int tableId = 0;
    unsigned altAddressMode : 1;
    unsigned altModeChanged : 1;
    unsigned fxValueTransform : 1;
    unsigned pressMoveActive : 1;
    unsigned disableAutoHide : 1;
    unsigned nImageCategories : 3;
    unsigned dragging : 1;
    unsigned inverted : 1;
    unsigned transparent : 1;
    unsigned numberToolTip : 1;
    int nSubImages = 1;
    int disabledImageIndex = -1;

    // Drag state, in global pixels and radians (angles clockwise from 12 o'clock).
    double centerX = 0, centerY = 0;
    double angleMin = 0, angleMax = 0;
    double currentAngle = 0;
    double pressX = 0, pressY = 0;
    double indicatorX = 0, indicatorY = 0;
    double lastX = 0, lastY = 0;
    bool absoluteTrace = false;

    // The grey or focus look last built, kept until its cell, kind or colour changes, so that a
    // repaint of a disabled or focused knob costs one pixmap draw like any other.
    struct Look
    {
        QPixmap pixmap;
        qint64 stripKey = 0;
        QSize grid;
        int row = -1;
        bool grey = false;
        QColor colour;
    } look;

    // The tip is a child of the knob's parent; the guard covers that parent deleting it first.
    QPointer<CDialTip> tip;
    QPixmap combinedImage;
    QColor focusColor;
    std::atomic<long> pendingEmits{0};
};

bool CDial::s_VerticalMode = false;

namespace {

const double kPi = std::acos(-1.0);

// Truncation toward zero that stays defined: NaN gives 0, values beyond the type saturate.
qint64 truncate64(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= 9.2e18)
        return LLONG_MAX;
    if (x <= -9.2e18)
        return LLONG_MIN;
    return qint64(x);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and binding

CDial::CDial(QWidget* parent, const char* name)
    : Qt3::Dial(-559038801, 2125315823, 10, -559038801, parent), d(new CDial_PD)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setFocusPolicy(Qt::WheelFocus);
    setWrapping(false);
}

CDial::~CDial()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
    NS_Utilities::deleteValueTip(d->tip);
    safe_delete1(d);
}

void CDial::connectMemAPI()
{
    if (!memAPIReady() || !api)
        return;
    ++silent;
    api->connectProxy(this, packedAddress(), 0);
    process(nullptr, 0, 0);
    --silent;
}

void CDial::disconnectMemAPI()
{
    if (addressValid && memAPIReady() && api)
        api->disconnectProxy(this, packedAddress());
    addressValid = 0;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(CDial)

bool CDial::disableAutoHide() const
{
    return d->disableAutoHide;
}

void CDial::setDisableAutoHide(bool tf)
{
    d->disableAutoHide = tf;
}

void CDial::process(const Q_UINT8* data, int operation, Q_UINT32 extra)
{
    if (!memAPIReady() || !api)
        return;
    if (!NS_Utilities::mainThreadRunning()) {
        // Off the GUI thread only the counter is touched; the memory calls again on the GUI
        // thread, where a counted notice still produces its emission.
        if (extra == 1 && operation == 0)
            InterlockedExchangeAdd(&d->pendingEmits, 1);
        MAPI_postObserverEvent(api, this);
        return;
    }
    setWidgetShowState(this);
    // Receivers of the signals below may delete the knob: stop touching it once it is gone.
    const QPointer<CDial> self(this);
    applyMemoryRange([this](int min, int max) { setRange(min, max); });
    if (!self || !api)
        return;
    int v = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    v = valueForOperation(data, operation, v, true);

    TMemSilentHelper guard(silent, operation, this);
    if (v != value()) {
        setValue(v);
    } else if (d->altModeChanged || d->fxValueTransform) {
        d->altModeChanged = 0;
        valueChange();
    }
    if (!self)
        return;
    if (extra != 1 && InterlockedExchangeAdd(&d->pendingEmits, 0) <= 0)
        return;
    emitValueChanges(false);
    if (!self)
        return;
    // Leave only the notices that arrived while this refresh ran.
    const long seen = InterlockedExchangeAdd(&d->pendingEmits, 0);
    InterlockedExchangeAdd(&d->pendingEmits, -seen);
}

int CDial::changeMemApiValue()
{
    if (!api)
        return value();
    writeUserEdit(value());
    return api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
}

void CDial::emitDeferred(QObject* target)
{
    if (CDial* knob = qobject_cast<CDial*>(target))
        knob->emitValueChanges(false);
}

void CDial::emitValueChanges(bool writeBack)
{
    if (!memAPIReady() || !api)
        return;
    const int v = (silent || !writeBack) ? value() : changeMemApiValue();
    if (signalsBlocked()) {
        QCoreApplication::postEvent(CAppServer::MS(), new TMarshallEvent_Orvel(this, &CDial::emitDeferred));
        return;
    }
    // A slot may delete the knob or detach it from the memory; stop then.
    const QPointer<CDial> self(this);
    emit memoryAPIValueChange(v);
    if (!self || !api)
        return;

    // Tables of 0 and above count from the minimum; the difference wraps modulo 2^32 instead
    // of overflowing for ranges wider than INT_MAX.
    int shown = v;
    if (d->tableId >= 0 && minValue() < 0)
        shown = int(quint32(v) - quint32(minValue()));
    QString text;
    QPixmap pixmap;
    if (d->altAddressMode) {
        text = value() == minValue() ? QStringLiteral("OFF") : QStringLiteral("ON");
    } else {
        const int flag = (d->tableId == -3 && maxValue() == 5) ? 1 : 0;
        api->formatValue(qint16(addrLow + addrLowOffset), d->tableId, text, &pixmap, shown, flag,
                         addrHigh, addrMid);
    }
    if (!pixmap.isNull()) {
        emit pixmapValueChange(pixmap);
    } else {
        emit textualValueChange(text);
        if (self && d->tip)
            d->tip->setTipText(text);
    }
    if (!self)
        return;
    emit altAddressMode(value() == minValue());
    if (self)
        update();
}

void CDial::triggerEmitValueChanged(bool writeBack)
{
    if (NS_Utilities::mainThreadRunning())
        emitValueChanges(writeBack);
}

void CDial::valueChange()
{
    if (!NS_Utilities::mainThreadRunning())
        return;
    const QPointer<CDial> self(this);
    triggerEmitValueChanged(true);
    if (self)
        Qt3::Dial::valueChange();
}

void CDial::setValue(int value)
{
    Qt3::Dial::setValue(value);
}

void CDial::handle_changeAltNamedValue(int)
{
    emitValueChanges(false);
    update();
}

void CDial::changeAltAddressMode(bool on)
{
    if (bool(d->altAddressMode) == on)
        return;
    d->altModeChanged = 1;
    d->altAddressMode = on;
}

void CDial::setfxValueTransform(bool on)
{
    d->fxValueTransform = on;
}

void CDial::showEvent(QShowEvent* e)
{
    const QPointer<CDial> self(this);
    ++silent;
    emitValueChanges(false);
    if (!self)
        return;
    --silent;
    Qt3::Dial::showEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Properties

QPixmap CDial::combinedImage() const
{
    return d->combinedImage;
}

int CDial::tableId() const
{
    return d->tableId;
}

void CDial::setTableId(int value)
{
    d->tableId = value;
}

int CDial::nSubImages() const
{
    return d->nSubImages;
}

int CDial::nImageCategories() const
{
    return int(d->nImageCategories);
}

QColor CDial::focusColor() const
{
    return d->focusColor;
}

void CDial::setFocusColor(const QColor& color)
{
    d->focusColor = color;
}

bool CDial::numberToolTip() const
{
    return d->numberToolTip;
}

int CDial::disabledImageIndex() const
{
    return d->disabledImageIndex;
}

void CDial::setdisabledImageIndex(int index)
{
    d->disabledImageIndex = index;
}

bool CDial::transparent() const
{
    return d->transparent;
}

bool CDial::inverted() const
{
    return d->inverted;
}

void CDial::setInverted(bool on)
{
    d->inverted = on;
}

void CDial::setCombinedImage(const QPixmap& strip)
{
    d->combinedImage = strip;
    NS_Utilities::geometry_change(this);
    updateMask();
}

void CDial::setnSubImages(int value)
{
    d->nSubImages = value;
    NS_Utilities::geometry_change(this);
    updateMask();
}

void CDial::setnImageCategories(int value)
{
    // Three bits: larger counts keep only their low bits (8 becomes 0, 9 becomes 1).
    d->nImageCategories = unsigned(value) & 7u;
    NS_Utilities::geometry_change(this);
}

void CDial::setTransparent(bool on)
{
    d->transparent = on;
    updateMask();
}

int CDial::currentImage() const
{
    return d->currentImage;
}

void CDial::setCurrentImage(int id)
{
    if (id < 0 || id >= int(d->nImageCategories))
        return;
    d->currentImage = id;
    update();
}

// ---------------------------------------------------------------------------------------------
// Tooltip and typed entry

void CDial::setNumberToolTip(bool value)
{
    d->numberToolTip = value;
    if (!value) {
        NS_Utilities::deleteValueTip(d->tip);
        return;
    }
    if (!d->tip)
        d->tip = new CDialTip(this);
    emitValueChanges(false);
}

void CDial::enterEvent(QEnterEvent* e)
{
    Qt3::Dial::enterEvent(e);
    if (d->tip) {
        d->tip->show();
        d->tip->raise();
    }
}

void CDial::leaveEvent(QEvent* e)
{
    Qt3::Dial::leaveEvent(e);
    if (d->tip)
        d->tip->hide();
}

void CDial::acceptNum(double value)
{
    if (!api || !memAPIReady())
        return;
    // Out-of-range doubles saturate instead of overflowing the float conversion.
    const float number = std::isnan(value) ? float(value) : float(std::clamp(value, -double(FLT_MAX), double(FLT_MAX)));
    const int v = api->valueFromNumber(d->tableId, number, 0);
    if (isUndoEnable())
        api->beginUndoStep(this);
    setValue(v);
}

// ---------------------------------------------------------------------------------------------
// Image strip and painting

int CDial::currentIndex() const
{
    // The row arithmetic is done in 64 bits: nSubImages may be anything a form sets, down to
    // INT_MIN (a count without rows gives a row the painter does not draw).
    const qint64 n = qint64(d->nSubImages) - (d->disabledImageIndex >= 0 ? 1 : 0);
    const qint64 first = d->disabledImageIndex == 0 ? 1 : 0;
    // Single precision; the differences are taken in 64 bits so that ranges wider than INT_MAX
    // do not overflow. An empty range gives 0 / 0: the first value row.
    const float q = float(qint64(value()) - minValue())
                    / (float(qint64(maxValue()) - minValue()) / float(n));
    qint64 i = 0;
    if (q >= float(n - 1))
        i = n - 1;
    else if (q > 0.0f)
        i = qint64(q);
    i = std::max(std::min(i, n - 1), qint64(0));
    return NS_Utilities::clampToInt(d->inverted ? first + (n - 1 - i) : first + i);
}

int CDial::getAttKnobIndex(int v) const
{
    const float mn = float(minValue());
    float r;
    if (v < -300)
        r = (float(v) - mn) / ((-300.0f - mn) * 0.0625f);
    else if (v == -300)
        return 15;
    else if (v < 0)
        r = (float(v) - mn - 660.0f) / 30.0f + 15.0f;
    else if (v == 0)
        return 24;
    else if (v >= maxValue())
        return 30;
    else {
        const int step = maxValue() / 6;
        if (step == 0)
            return 30; // a maximum below 6 has no steps between 0 and the top
        r = float(v) / float(step) + 24.0f;
    }
    // Ranges the scale was not made for (an empty span below -300) give the first row.
    if (!std::isfinite(r))
        return 0;
    return NS_Utilities::clampToInt(truncate64(double(r)));
}

QSize CDial::sizeHint() const
{
    const QPixmap& strip = d->combinedImage;
    if (strip.width() > 0 && strip.height() > 0)
        return NS_Utilities::StripCells::toLogical(strip.size(), strip.devicePixelRatio());
    return QSize(40, 30);
}

void CDial::polish()
{
    setBackgroundOrigin(Qt3::WidgetOrigin);
    const QPixmap& strip = d->combinedImage;
    if (d->nSubImages > 0 && d->nImageCategories > 0 && !strip.isNull()) {
        const QSize cell(strip.width() / int(d->nImageCategories), strip.height() / d->nSubImages);
        setFixedSize(NS_Utilities::StripCells::toLogical(cell, strip.devicePixelRatio()));
        if (d->nImageCategories == 1)
            d->currentImage = 0;
    }
}

void CDial::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

void CDial::paintEvent(QPaintEvent* e)
{
    paintFaceFor(e);
    repaintScreen(&e->rect());
}

void CDial::repaintScreen(const QRect*)
{
    QPainter p(this);
    repaintScreenPrimitive(p);
}

void CDial::repaintScreenPrimitive(QPainter& p)
{
    const QPixmap& strip = d->combinedImage;
    const QSize grid(int(d->nImageCategories), d->nSubImages);
    if (!isEnabled() && d->disabledImageIndex >= 0) {
        NS_Utilities::drawPartialPixmap(p, QPoint(d->currentImage, d->disabledImageIndex), strip, grid, nullptr);
        return;
    }
    const int r = currentIndex();
    if (r < 0 || r >= d->nSubImages || strip.isNull())
        return;
    const bool focusLook = d->focusColor.isValid() && hasFocus();
    if (!isEnabled() || focusLook) {
        // The grey and focus looks are made from the first column's cell.
        CDial_PD::Look& look = d->look;
        const bool grey = !isEnabled();
        const QColor colour = grey ? QColor() : d->focusColor;
        if (look.pixmap.isNull() || look.stripKey != strip.cacheKey() || look.grid != grid || look.row != r
            || look.grey != grey || look.colour != colour) {
            const QRect source = NS_Utilities::StripCells(strip, grid).sourceRect(0, r);
            if (source.isNull())
                return;
            QPixmap cell = strip.copy(source);
            cell.setDevicePixelRatio(strip.devicePixelRatio());
            QImage image = grey ? NS_Utilities::applyGreyTransformation(cell)
                                : NS_Utilities::applyFocusHilite(colour, cell);
            image.setDevicePixelRatio(strip.devicePixelRatio());
            look.pixmap = QPixmap::fromImage(std::move(image));
            look.stripKey = strip.cacheKey();
            look.grid = grid;
            look.row = r;
            look.grey = grey;
            look.colour = colour;
        }
        p.drawPixmap(QPoint(0, 0), look.pixmap);
        return;
    }
    NS_Utilities::drawPartialPixmap(p, QPoint(d->currentImage, r), strip, grid, nullptr);
}

void CDial::updateMask()
{
    const QPixmap& strip = d->combinedImage;
    if (!d->transparent) {
        clearMask();
        return;
    }
    const NS_Utilities::StripCells cells(strip, int(d->nImageCategories), d->nSubImages);
    const QRect source = cells.sourceRect(0, 0);
    if (source.isNull()) {
        // No usable cell: a mask would hide the whole knob.
        clearMask();
        return;
    }
    QBitmap mask = strip.copy(source).createHeuristicMask(true);
    if (strip.devicePixelRatio() != 1.0)
        mask = QBitmap::fromImage(mask.toImage().scaled(cells.cellLogicalSize()));
    setMask(mask);
}

void CDial::updateErasePixmap(QPixmap*)
{
    if (!isPolishHookDone())
        return;
    const int r = currentIndex();
    QString prefix;
    TCacheServer::FindCacheServer(parentWidget(), &prefix);
    const bool caching = !prefix.isEmpty();
    const QString key = caching ? prefix + QStringLiteral("orvelkit-CDial-%1").arg(r) : QString();
    QPixmap face;
    if (!caching || !QPixmapCache::find(key, &face)) {
        face = Qt3::paintFacePixmap(this, [this](QPainter& p) { repaintScreenPrimitive(p); });
        if (caching && d->nSubImages > 0 && d->nImageCategories >= 1)
            QPixmapCache::insert(key, face);
    }
    setErasePixmap(face);
}

void CDial::enabledChange(bool)
{
    update();
}

void CDial::windowActivationChange(bool)
{
    // The knob looks the same in active and inactive windows.
}

// ---------------------------------------------------------------------------------------------
// Pointer, wheel and keys

void CDial::setVerticalMode(bool on)
{
    s_VerticalMode = on;
}

bool CDial::verticalMode()
{
    return s_VerticalMode;
}

double CDial::Degree(double radians)
{
    return radians * 180.0 / kPi;
}

double CDial::Radian(double degrees)
{
    return kPi * degrees / 180.0;
}

double CDial::CnvAngle(double angle) const
{
    return kPi / 2.0 - angle;
}

bool CDial::CalcAngle(double x, double y, double& out) const
{
    if (x == d->centerX && y == d->centerY)
        return false;
    out = kPi / 2.0 - std::atan2(-(y - d->centerY), x - d->centerX);
    return true;
}

double CDial::CalcVectorAngle(double x1, double y1, double x2, double y2) const
{
    const double a = std::fabs(std::atan2(y2, x2) - std::atan2(y1, x1));
    return a >= kPi ? 2.0 * kPi - a : a;
}

bool CDial::CalcIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                             double x4, double y4, double& x, double& y)
{
    const double dx = x2 - x1;
    const double p1 = ((x3 - x1) * (y1 - y2) + (y3 - y1) * dx) * ((y1 - y2) * (x4 - x1) + (y4 - y1) * dx);
    const double s = (y1 - y3) * (x4 - x3) + (x1 - x3) * (y3 - y4);
    const double e = (x4 - x3) * (y2 - y3) + (y3 - y4) * (x2 - x3);
    // Parallel segments (s equal to e) have no single crossing point.
    if (p1 > 1e-6 || s * e > 1e-6 || s == e)
        return false;
    const double t = s / (s - e);
    x = x1 + dx * t;
    y = y1 + t * (y2 - y1);
    return true;
}

double CDial::GetAngle() const
{
    return Degree(d->currentAngle);
}

double CDial::mousePressMoveStart(QMouseEvent* e, double startDeg, double endDeg, bool absolute)
{
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    d->centerX = origin.x() + width() / 2;
    d->centerY = origin.y() + height() / 2;
    // An empty range has no angle for its value; the knob then starts at the lower stop.
    const qint64 range = qint64(maxValue()) - minValue();
    const double t = range != 0
        ? double(qint64(value()) - minValue()) * (endDeg - startDeg) / double(range) - 135.0
        : -135.0;
    d->currentAngle = Radian(t);
    const QPointF global = e->globalPosition();
    d->pressX = d->lastX = global.x();
    d->pressY = d->lastY = global.y();
    d->indicatorX = d->centerX + std::sin(d->currentAngle);
    d->indicatorY = d->centerY - std::cos(d->currentAngle);
    d->angleMin = Radian(startDeg);
    d->angleMax = Radian(endDeg);
    d->absoluteTrace = absolute;
    return t;
}

double CDial::mousePressMoveTrace(QMouseEvent* e)
{
    const QPointF p = e->globalPosition();
    const double mx = d->centerX, my = d->centerY;
    const double lx = d->lastX, ly = d->lastY;
    const double kx = d->indicatorX, ky = d->indicatorY;
    // Which side of the line centre-last point and of the line centre-indicator the pointer
    // is on; c1 < 0 means it turned clockwise.
    const double c1 = (mx - lx) * (p.y() - ly) - (my - ly) * (p.x() - lx);
    const double c2 = (mx - kx) * (p.y() - ky) - (my - ky) * (p.x() - kx);
    const double step = d->absoluteTrace ? CalcVectorAngle(kx - mx, ky - my, p.x() - mx, p.y() - my)
                                         : CalcVectorAngle(lx - mx, ly - my, p.x() - mx, p.y() - my);
    if (c1 * c2 < 0) {
        // The pointer is on the far side of the indicator (past a stop): the knob stays; the
        // trace restarts where the pointer crossed the line opposite the stop.
        const double dir = (c1 < 0 ? d->angleMax : d->angleMin) + kPi;
        const double ex = mx + 999.9 * std::sin(dir);
        const double ey = my - 999.9 * std::cos(dir);
        double ix = 0, iy = 0;
        if (CalcIntersection(mx, my, ex, ey, lx, ly, p.x(), p.y(), ix, iy)) {
            d->lastX = ix;
            d->lastY = iy;
        } else {
            d->lastX = p.x();
            d->lastY = p.y();
        }
        return Degree(d->currentAngle);
    }
    d->lastX = p.x();
    d->lastY = p.y();
    if (step > 2.356194490192345)
        return Degree(d->currentAngle); // a jump of more than 135 degrees is not a turn
    if (c1 < 0)
        d->currentAngle += std::min(step, d->angleMax - d->currentAngle);
    else
        d->currentAngle += std::max(-step, d->angleMin - d->currentAngle);
    d->indicatorX = mx + std::sin(d->currentAngle);
    d->indicatorY = my - std::cos(d->currentAngle);
    return Degree(d->currentAngle);
}

void CDial::setValueFromAngle(double a)
{
    // The mapping always spans 270 degrees from -135, whatever the stops.
    const double range = double(qint64(maxValue()) - minValue());
    const qint64 offset = truncate64((a + 135.0) * range / 270.0 + 0.5);
    setValue(NS_Utilities::clampToInt(qint64(minValue()) + std::clamp<qint64>(offset, -(qint64(1) << 40), qint64(1) << 40)));
}

void CDial::mousePressEvent(QMouseEvent* e)
{
    if (d->pressMoveActive || e->button() != Qt::LeftButton
        || (e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)))
        return;
    d->pressMoveActive = 1;
    mousePressMoveStart(e, -135.0, 135.0, false);
    emit dialPressed();
}

void CDial::mouseMoveEvent(QMouseEvent* e)
{
    if (d->pressMoveActive) {
        d->pressMoveActive = 0;
        const QPointer<CDial> self(this);
        mousePressEventInternal(e);
        if (!self)
            return;
    }
    mouseMoveEventInternal(e);
}

void CDial::mouseReleaseEvent(QMouseEvent* e)
{
    if (d->pressMoveActive) {
        d->pressMoveActive = 0;
        emit dialReleased();
        return;
    }
    mouseReleaseEventInternal(e);
}

void CDial::mousePressEventInternal(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton))
        return;
    d->dragging = 1;
    if (s_VerticalMode) {
        d->pressX = e->position().x();
        d->pressY = e->position().y();
        setValue(value());
    } else {
        setValueFromAngle(mousePressMoveTrace(e));
    }
    emit dialPressed();
}

void CDial::mouseMoveEventInternal(QMouseEvent* e)
{
    if (!d->dragging || !(e->buttons() & Qt::LeftButton))
        return;
    if (s_VerticalMode) {
        // Up and right both increase; above 128 steps the range is spread over 128 pixels.
        const QPointF pos = e->position();
        qint64 delta = truncate64(d->pressY - pos.y());
        delta = truncate64(double(delta) + (pos.x() - d->pressX));
        const qint64 range = qint64(maxValue()) - minValue();
        if (range > 128)
            delta = std::clamp<qint64>(delta, -(qint64(1) << 30), qint64(1) << 30) * range / 128;
        setValue(NS_Utilities::clampToInt(qint64(value()) + delta));
        d->pressX = pos.x();
        d->pressY = pos.y();
    } else {
        setValueFromAngle(mousePressMoveTrace(e));
    }
    emit dialMoved(value());
}

void CDial::mouseReleaseEventInternal(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton && !(e->buttons() & Qt::LeftButton))
        return;
    d->dragging = 0;
    emit dialReleased();
}

void CDial::wheelEvent(QWheelEvent* e)
{
    if (!rect().contains(e->position().toPoint()))
        return;
    NS_Utilities::wheelStep(this, e->angleDelta());
}

void CDial::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        subtractLine();
        break;
    case Qt::Key_Up:
    case Qt::Key_Right:
        addLine();
        break;
    case Qt::Key_PageUp:
        addPage();
        break;
    case Qt::Key_PageDown:
        subtractPage();
        break;
    default:
        Qt3::Dial::keyPressEvent(e);
        break;
    }
}

void CDial::focusInEvent(QFocusEvent* e)
{
    Qt3::Dial::focusInEvent(e);
}

void CDial::focusOutEvent(QFocusEvent* e)
{
    Qt3::Dial::focusOutEvent(e);
}

void CDial::addLine()
{
    if (d->tableId == -7)
        stepOnScaleTable(lineStep());
    else
        Qt3::Dial::addLine();
}

void CDial::subtractLine()
{
    if (d->tableId == -7)
        stepOnScaleTable(-qint64(lineStep()));
    else
        Qt3::Dial::subtractLine();
}

void CDial::addPage()
{
    if (d->tableId == -7)
        stepOnScaleTable(pageStep());
    else
        Qt3::Dial::addPage();
}

void CDial::subtractPage()
{
    if (d->tableId == -7)
        stepOnScaleTable(-qint64(pageStep()));
    else
        Qt3::Dial::subtractPage();
}

void CDial::stepOnScaleTable(qint64 n)
{
    if (!api)
        return;
    // The value is a multiple of the memory's step scale: round it to tenths of the scale,
    // step, and scale back (integer divisions truncate toward zero).
    const double s = api->stepScale(0);
    const qint64 down = truncate64(s * 10.0);
    const qint64 up = truncate64(s * 1000.0);
    if (down == 0)
        return; // a step scale below 0.1 has no steps
    const qint64 q = (qint64(value()) * 10000) / down;
    qint64 u = (q + 50) / 100;
    qint64 scaled = 0;
    if (qAddOverflow(u, n, &u) || qMulOverflow(u, up, &scaled))
        return;
    setValue(NS_Utilities::clampToInt(scaled / 10000));
}

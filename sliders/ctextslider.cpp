#include "ctextslider.h"

#include "binding/compat/erasedirect.h"
#include "binding/compat/winfocusrect.h"
#include "binding/numberformat.h"
#include "binding/numedit.h"
#include "binding/services.h"
#include "binding/utilities.h"

#include <QCursor>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

// Interaction state.
struct CTextSliderPrivate
{
    enum Arrow { NoArrow, UpArrow, DownArrow };

    bool clickStepping = false;
    bool tracking = true;
    bool pressed = false;
    int baseValue = 0;
    int baseOffset = 0;  // half the height minus the pointer y at the press
    int baseX = 0;       // the pointer x at the press (kept, not used)
    int pixelsPerStep = 2;
    int pressModifiers = Qt3::NoButton; // Qt3::ButtonState read at the press
    // The screen shows repaintScreenPrimitive drawn live (after a focus or range change) rather
    // than the face, until the face is rebuilt.
    bool directPaint = false;
    Arrow arrow = NoArrow; // the click-stepping arrow last set as the cursor
};

// Settings.
struct CTextSlider_PD
{
    QString valueLabel;
    QString formatLabel = QStringLiteral("%0.1f");
    QString matchLabel;
    int rangeDiv = 10;
    int tableId = 5;
    int matchValue = 0;
    bool useTableId = false;
    bool editable = false;
    QString editFormat;
    bool enableFocusRect = false;
    bool greyOnDisable = false;
    // A child of the control; guarded because a host may delete it.
    QPointer<NS_Utilities::CNumEdit_Orvel> numEdit;
    int lastPointerY = 0;
};

namespace {

// The 16 x 16 arrows of click stepping: 'o' black, 'O' white, '+' transparent; the rows not
// listed are transparent.
const char* const kUpArrowRows[] = {"+++++++oo+++++++", "++++++oOOo++++++", "+++++oOOOOo+++++",
                                    "++++oOOOOOOo++++", "+++oooooooooo+++"};
const char* const kDownArrowRows[] = {"+++oooooooooo+++", "++++oOOOOOOo++++", "+++++oOOOOo+++++",
                                      "++++++oOOo++++++", "+++++++oo+++++++"};

QImage arrowImage(const char* const rows[5], int firstRow)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int r = 0; r < 5; ++r)
        for (int x = 0; x < 16; ++x) {
            const char c = rows[r][x];
            if (c != '+')
                image.setPixel(x, firstRow + r, c == 'o' ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    return image;
}

// Truncation toward zero into the int range (the caller has ruled NaN out).
int truncateToInt(double x)
{
    if (x >= double(INT_MAX))
        return INT_MAX;
    if (x <= double(INT_MIN))
        return INT_MIN;
    return int(x);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and binding

CTextSlider::CTextSlider(QWidget* parent, const char*, Qt::WindowFlags f)
    : Qt3::Widget<QWidget>(parent, f)
{
    init();
}

CTextSlider::CTextSlider(int minValue, int maxValue, int pageStep, int value, QWidget* parent,
                         const char* name)
    : Qt3::Widget<QWidget>(parent), QRangeControl(minValue, maxValue, 1, pageStep, value)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    init();
}

void CTextSlider::init()
{
    d = new CTextSliderPrivate;
    pd = new CTextSlider_PD;
    initWidget();
}

CTextSlider::~CTextSlider()
{
    // Off-thread process() calls must be over before anything else goes.
    detachMemAPI();
    // The entry goes first, so that nothing it emits while closing reaches a half-gone control.
    delete pd->numEdit.data();
    safe_delete1(d);
    safe_delete1(pd);
}

void CTextSlider::initWidget()
{
    lookupFunc = nullptr;
    setFocusPolicy(Qt::WheelFocus);
}

void CTextSlider::connectMemAPI()
{
    if (!memAPIReady() || !api)
        return;
    ++silent;
    api->connectProxy(this, packedAddress(), 0);
    --silent;
}

ORVELKIT_FORWARD_PROXY_SETTINGS(CTextSlider)

void CTextSlider::process(const Q_UINT8* data, int operation, Q_UINT32)
{
    if (!memAPIReady() || !api)
        return;
    if (deferToGuiThread())
        return;
    setWidgetShowState(this);
    applyMemoryRange([this](int min, int max) { setRange(min, max); });
    if (!api)
        return;
    int v = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    v = valueForOperation(data, operation, v, false);
    // A slot connected to valueChanged may delete the control: the guard then leaves the counter.
    TMemSilentHelper guard(silent, operation, this);
    setValue(v);
}

void CTextSlider::valueChange()
{
    const QPointer<CTextSlider> self(this);
    int v = value();
    if (api && !silent && memAPIReady()) {
        writeUserEdit(v);
        if (!self)
            return;
        // The memory may have clamped or quantised the value: report what it holds.
        if (api)
            v = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    }
    refreshFace();
    if (!self)
        return;
    emit valueChanged(v);
}

void CTextSlider::rangeChange()
{
    repaintScreen(nullptr);
}

void CTextSlider::forceUpdate()
{
    if (!api)
        return;
    const QPointer<CTextSlider> self(this);
    process(nullptr, 0, 0);
    if (!self)
        return;
    refreshFace();
}

void CTextSlider::acceptNum(double number)
{
    if (!api || !memAPIReady() || std::isnan(number))
        return;
    int v;
    if (pd->useTableId) {
        // Out-of-range doubles saturate instead of overflowing the float conversion.
        const float f = float(std::clamp(number, -double(FLT_MAX), double(FLT_MAX)));
        v = api->valueFromNumber(pd->tableId, f, 0);
    } else {
        const float factor = pd->rangeDiv > 0 ? float(pd->rangeDiv) : float(api->stepScale(0) / 1000.0);
        const double product = double(factor) * number;
        if (std::isnan(product))
            return; // a zero factor times an infinite number
        v = truncateToInt(product);
    }
    const QPointer<CTextSlider> self(this);
    setFocus();
    if (!self)
        return;
    setValue(v);
    if (!self)
        return;
    updateErasePixmap(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Text

void CTextSlider::setLookupFunc(LookupFunc func)
{
    lookupFunc = func;
}

bool CTextSlider::valueLookup(QString& text, int value)
{
    if (lookupFunc)
        return lookupFunc(text, value);
    text = QStringLiteral(" ");
    return true;
}

void CTextSlider::stringForValue(int value, QString& text)
{
    if (lookupFunc) {
        QString looked;
        if (valueLookup(looked, value))
            text = looked;
        return;
    }
    if (!api || !memAPIReady())
        return;
    const bool matched = !pd->matchLabel.isEmpty() && value == pd->matchValue;
    if (pd->useTableId) {
        QString tableText;
        const int status = api->formatValue(qint16(addrLow + addrLowOffset), pd->tableId, tableText,
                                            nullptr, value, 0, addrHigh, addrMid);
        if (matched)
            text = pd->matchLabel;
        else if (status == 0)
            // Shown through its 8-bit form: characters beyond Latin-1 read '?', and the text
            // ends at an embedded NUL.
            text = QString::fromLatin1(tableText.toLatin1().constData());
        return;
    }
    if (matched) {
        text = pd->matchLabel;
        return;
    }
    const int divisor = pd->rangeDiv > 0 ? pd->rangeDiv : api->stepScale(0);
    if (divisor == 0)
        return; // no scale to show the value on
    const float shown = float(value) / float(divisor);
    text = NS_Utilities::formatNumber(pd->formatLabel + pd->valueLabel, double(shown));
}

void CTextSlider::setValueText(QString text)
{
    valueText = std::move(text);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void CTextSlider::refreshFace()
{
    stringForValue(value(), valueText);
    updateErasePixmap(nullptr);
    update();
}

void CTextSlider::repaintScreenPrimitive(QPainter& p)
{
    p.eraseRect(rect());
    if (!isEnabled() && pd->greyOnDisable)
        p.setPen(QColor(128, 128, 128));
    p.drawText(rect(), Qt::AlignCenter, valueText);
    if (hasFocus() && pd->enableFocusRect)
        Qt3::drawWinFocusRect(p, rect(), palette().color(backgroundRole()));
}

void CTextSlider::updateErasePixmap(QPixmap* pm)
{
    d->directPaint = false;
    if (pm) {
        Qt3::setErasePixmapDirect(this, *pm);
        return;
    }
    QPixmap face;
    if (!size().isEmpty()) {
        const qreal dpr = devicePixelRatioF();
        face = QPixmap((QSizeF(size()) * dpr).toSize());
        face.setDevicePixelRatio(dpr);
        const QBrush background = palette().brush(backgroundRole());
        // An opaque background covers the whole face; a translucent one lets the parent show
        // through, so the face starts transparent.
        if (!background.isOpaque())
            face.fill(Qt::transparent);
        QPainter p(&face);
        p.setFont(font());
        p.setPen(palette().color(foregroundRole()));
        p.setBackground(background);
        repaintScreenPrimitive(p);
    }
    Qt3::setErasePixmapDirect(this, face);
}

void CTextSlider::repaintScreen(const QRect*)
{
    // Qt paints only from paint events: the live drawing happens in paintEvent.
    d->directPaint = true;
    update();
}

void CTextSlider::paintEvent(QPaintEvent* e)
{
    Qt3::Widget<QWidget>::paintEvent(e); // the erase with the face
    if (d->directPaint) {
        QPainter p(this);
        repaintScreenPrimitive(p);
    }
}

void CTextSlider::polish()
{
    setBackgroundOrigin(Qt3::WidgetOrigin);
    stringForValue(value(), valueText);
    updateErasePixmap(nullptr);
}

void CTextSlider::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

void CTextSlider::enabledChange(bool)
{
    updateErasePixmap(nullptr);
    update();
}

void CTextSlider::windowActivationChange(bool)
{
    // The control looks the same in active and inactive windows.
}

void CTextSlider::resizeEvent(QResizeEvent* e)
{
    Qt3::Widget<QWidget>::resizeEvent(e);
    // A face of another size would be tiled: Qt may polish a control before its layout gives it
    // its final size, so the face follows the size (the text is not rebuilt).
    if (hasErasePixmap() && erasePixmap().deviceIndependentSize().toSize() != size())
        updateErasePixmap(nullptr);
}

void CTextSlider::focusInEvent(QFocusEvent* e)
{
    Qt3::Widget<QWidget>::focusInEvent(e);
    repaintScreen(nullptr);
}

void CTextSlider::focusOutEvent(QFocusEvent* e)
{
    Qt3::Widget<QWidget>::focusOutEvent(e);
    repaintScreen(nullptr);
}

QSize CTextSlider::minimumSizeHint() const
{
    return QSize(33, 14);
}

QSize CTextSlider::sizeHint() const
{
    return minimumSizeHint();
}

// ---------------------------------------------------------------------------------------------
// Pointer, wheel and keys

QCursor CTextSlider::upArrowCursor()
{
    static const QImage image = arrowImage(kUpArrowRows, 3);
    return QCursor(QPixmap::fromImage(image), 8, 8);
}

QCursor CTextSlider::downArrowCursor()
{
    static const QImage image = arrowImage(kDownArrowRows, 8);
    return QCursor(QPixmap::fromImage(image), 8, 8);
}

void CTextSlider::setValueBase(int value, int x, int y)
{
    d->baseValue = value;
    d->baseX = x;
    d->baseOffset = height() / 2 - y;
}

int CTextSlider::valueFromPoint(const QPoint& p) const
{
    const int perStep = std::max(d->pixelsPerStep, 1);
    qint64 steps = (qint64(height() / 2) - p.y() - d->baseOffset) / perStep;
    if (!(d->pressModifiers & Qt3::ShiftButton)) {
        const qint64 range = qint64(maxValue()) - minValue();
        if (range > 999)
            steps *= 100;
        else if (range > 126)
            steps *= 10;
    }
    return bound(NS_Utilities::clampToInt(qint64(d->baseValue) + steps));
}

void CTextSlider::mousePressEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (!d->pressed) {
        d->pressModifiers = NS_Utilities::modifierState();
        d->pressed = true;
        setValueBase(value(), pos.x(), pos.y());
        const QPointer<CTextSlider> self(this);
        setValue(valueFromPoint(pos));
        if (!self)
            return;
        emit dialPressed();
        if (!self)
            return;
    }
    pd->lastPointerY = pos.y();
}

void CTextSlider::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    const auto showArrow = [this](CTextSliderPrivate::Arrow arrow) {
        if (d->arrow == arrow)
            return;
        d->arrow = arrow;
        setCursor(arrow == CTextSliderPrivate::UpArrow ? upArrowCursor() : downArrowCursor());
    };
    if (!d->pressed) {
        if (d->clickStepping)
            showArrow(pos.y() <= height() / 2 ? CTextSliderPrivate::UpArrow : CTextSliderPrivate::DownArrow);
        return;
    }
    if (!d->tracking || !(e->buttons() & Qt::LeftButton))
        return;
    if (d->clickStepping) {
        if (pd->lastPointerY != 0)
            showArrow(pd->lastPointerY < pos.y() ? CTextSliderPrivate::DownArrow : CTextSliderPrivate::UpArrow);
        pd->lastPointerY = pos.y();
    }
    const QPointer<CTextSlider> self(this);
    setValue(valueFromPoint(pos));
    if (!self)
        return;
    emit dialMoved(value());
}

void CTextSlider::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (d->pressed) {
        d->pressed = false;
        const QPointer<CTextSlider> self(this);
        setValue(valueFromPoint(pos));
        if (!self)
            return;
        emit dialReleased();
        if (!self)
            return;
        // A click that did not move steps by one line: down in the lower half, else up.
        if (d->clickStepping && d->baseOffset == height() / 2 - pos.y()) {
            if (d->baseOffset < 0)
                subtractLine();
            else
                addLine();
            if (!self)
                return;
        }
    }
    pd->lastPointerY = 0;
}

void CTextSlider::mouseDoubleClickEvent(QMouseEvent* e)
{
    e->accept();
    if (!pd->editable)
        return;
    if (!pd->numEdit) {
        pd->numEdit = new NS_Utilities::CNumEdit_Orvel(this);
        connect(pd->numEdit.data(), &NS_Utilities::CNumEdit_Orvel::numberProposed, this, &CTextSlider::acceptNum);
    }
    const QByteArray format = pd->editFormat.isEmpty() ? QByteArrayLiteral("%.1f") : pd->editFormat.toLatin1();
    pd->numEdit->doEdit(valueText, format.constData());
}

void CTextSlider::wheelEvent(QWheelEvent* e)
{
    e->accept();
    NS_Utilities::wheelStep(this, e->angleDelta());
}

void CTextSlider::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Home:
        setValue(minValue());
        break;
    case Qt::Key_End:
        setValue(maxValue());
        break;
    case Qt::Key_Up:
        addLine();
        break;
    case Qt::Key_Down:
        subtractLine();
        break;
    case Qt::Key_PageUp:
        addPage();
        break;
    case Qt::Key_PageDown:
        subtractPage();
        break;
    default:
        e->ignore(); // to the parent
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Range slots and properties

void CTextSlider::setValue(int value)
{
    QRangeControl::setValue(value);
}

void CTextSlider::addLine()
{
    QRangeControl::addLine();
}

void CTextSlider::subtractLine()
{
    QRangeControl::subtractLine();
}

void CTextSlider::addPage()
{
    QRangeControl::addPage();
}

void CTextSlider::subtractPage()
{
    QRangeControl::subtractPage();
}

bool CTextSlider::tracking() const
{
    return d->tracking;
}

void CTextSlider::setTracking(bool on)
{
    d->tracking = on;
}

bool CTextSlider::clickStepping() const
{
    return d->clickStepping;
}

void CTextSlider::setClickStepping(bool on)
{
    d->clickStepping = on;
    if (on) {
        setMouseTracking(true);
    } else if (d->arrow != CTextSliderPrivate::NoArrow) {
        d->arrow = CTextSliderPrivate::NoArrow;
        unsetCursor();
    }
}

QString CTextSlider::valueLabel() const
{
    return pd->valueLabel;
}

void CTextSlider::setValueLabel(const QString& label)
{
    if (label != pd->valueLabel)
        pd->valueLabel = label;
}

int CTextSlider::rangeDiv() const
{
    return pd->rangeDiv;
}

void CTextSlider::setRangeDiv(int div)
{
    if (div != pd->rangeDiv)
        pd->rangeDiv = div;
}

QString CTextSlider::formatLabel() const
{
    return pd->formatLabel;
}

void CTextSlider::setFormatLabel(const QString& format)
{
    if (format != pd->formatLabel)
        pd->formatLabel = format;
}

int CTextSlider::tableId() const
{
    return pd->tableId;
}

void CTextSlider::setTableId(int id)
{
    pd->tableId = id;
}

bool CTextSlider::useTableId() const
{
    return pd->useTableId;
}

void CTextSlider::setUseTableId(bool on)
{
    pd->useTableId = on;
}

bool CTextSlider::editable() const
{
    return pd->editable;
}

void CTextSlider::setEditable(bool on)
{
    pd->editable = on;
}

QString CTextSlider::editFormat() const
{
    return pd->editFormat;
}

void CTextSlider::setEditFormat(const QString& format)
{
    if (format != pd->editFormat)
        pd->editFormat = format;
}

int CTextSlider::matchValue() const
{
    return pd->matchValue;
}

void CTextSlider::setMatchValue(int value)
{
    pd->matchValue = value;
}

QString CTextSlider::matchLabel() const
{
    return pd->matchLabel;
}

void CTextSlider::setMatchLabel(const QString& label)
{
    if (label != pd->matchLabel)
        pd->matchLabel = label;
}

bool CTextSlider::focusRectEnabled() const
{
    return pd->enableFocusRect;
}

void CTextSlider::setEnableFocusRect(bool on)
{
    pd->enableFocusRect = on;
}

bool CTextSlider::isGreyOnDisable() const
{
    return pd->greyOnDisable;
}

void CTextSlider::setGreyOnDisable(bool on)
{
    pd->greyOnDisable = on;
}

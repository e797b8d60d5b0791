#include "clabeldisplay.h"

#include "binding/compat/color.h"
#include "binding/compat/labelcontents.h"
#include "binding/numedit.h"
#include "binding/utilities.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <climits>

namespace {

// The alternative display falls back this long after its end.
constexpr int altDisplayFallbackMs = 700;

// The colour of a disabled label without a strip.
const QColor disabledBackground(52, 54, 63);
// The text colour of a disabled label with greyOnDisable.
const QColor disabledText(128, 128, 128);

// `c` tinted to the hue and saturation of the focus colour (H, S): hue H, saturation
// S + (255 - S) * c's saturation / 255, c's own value.
QColor tinted(const QColor& c, int h, int s)
{
    int cs = 0;
    int cv = 0;
    Qt3::hsv(c, nullptr, &cs, &cv);
    return Qt3::fromHsv(h, s + (255 - s) * cs / 255, cv);
}

} // namespace

CLabelDisplay::CLabelDisplay(QWidget* parent, const char* name) : Qt3::Widget<QLabel>(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setAlignment(alignment() | Qt::AlignHCenter);
    setFocusPolicy(Qt::ClickFocus);
    setTextFormat(Qt::PlainText);
}

// The numeric entry is a child and goes with the widget; the fall-back timers are bound to the
// label and die with it.
CLabelDisplay::~CLabelDisplay() = default;

QString CLabelDisplay::displayText(int which) const
{
    return which == 0 || which == 1 ? m_displayTexts[which] : QString();
}

// ---- settings: stored only; the next text, focus, enable or font change shows them ----

void CLabelDisplay::setFocusColor(const QColor& color)
{
    m_focusColor = color;
    setFocusPolicy(Qt::StrongFocus);
}

void CLabelDisplay::setnSubImages(int count)
{
    m_nSubImages = count;
}

void CLabelDisplay::setcombinedImage(const QPixmap& strip)
{
    m_combinedImage = strip;
}

void CLabelDisplay::setInverseColorOnFocus(bool on)
{
    m_inverseColorOnFocus = on;
}

void CLabelDisplay::setEditable(bool on)
{
    m_editable = on;
}

void CLabelDisplay::setEditFormat(const QString& format)
{
    m_editFormat = format;
}

void CLabelDisplay::setGreyOnDisable(bool on)
{
    m_greyOnDisable = on;
}

// ---- texts ----

void CLabelDisplay::setText(const QString& text)
{
    QString& shown = selectedText();
    if (m_textShown == 1 && shown == text)
        return;
    m_textShown = 1;
    shown = text;
    setLabelText(shown);
    updateErasePixmap(nullptr);
}

void CLabelDisplay::setLabelText(const QString& text)
{
    // The face carries the text (drawContents is off), so QLabel's own text is only what
    // text() and accessibility read. A focusable QLabel turns its text into a rich-text
    // control (a QTextDocument: about 18 KB per label) that this label never paints. QLabel
    // decides that on setText, on its first polish and on font, style or margin changes:
    // those run as an unfocusable label, which keeps the text plain.
    asUnfocusableLabel([&] { QLabel::setText(text); });
}

void CLabelDisplay::changeEvent(QEvent* e)
{
    asUnfocusableLabel([&] { Qt3::Widget<QLabel>::changeEvent(e); });
}

bool CLabelDisplay::event(QEvent* e)
{
    if (e->type() == QEvent::Polish)
        return asUnfocusableLabel([&] { return Qt3::Widget<QLabel>::event(e); });
    return Qt3::Widget<QLabel>::event(e);
}

void CLabelDisplay::setTextNoUnit(const QString& text)
{
    setText(text.size() < 2 ? text : text.left(text.size() - 2));
}

void CLabelDisplay::altDisplayBegin()
{
    if (!NS_Utilities::mainThreadRunning() || m_altDepth == INT_MAX)
        return;
    ++m_altDepth;
    setText(selectedText());
}

void CLabelDisplay::altDisplayEnd()
{
    if (!NS_Utilities::mainThreadRunning() || m_altDepth <= 0)
        return;
    QTimer::singleShot(altDisplayFallbackMs, this, &CLabelDisplay::handle_altDisplayEnd);
}

void CLabelDisplay::handle_altDisplayEnd()
{
    // Two ends within 700 ms of one begin schedule two fall-backs; the second finds the normal
    // display already back and does nothing (the depth never goes below 0).
    if (m_altDepth <= 0)
        return;
    --m_altDepth;
    QString& stored = selectedText();
    const QString copy = stored;
    stored = QString(); // so that the setText below is never skipped as unchanged
    setText(copy);
}

// ---- face ----

void CLabelDisplay::updateErasePixmap(QPixmap* pm)
{
    if (pm) {
        setErasePixmap(*pm);
        return;
    }
    const QPixmap face = Qt3::paintFacePixmap(this, [this](QPainter& p) { repaintScreenPrimitive(p); });
    if (face.isNull())
        clearErasePixmap(); // a label of no size has no face to show
    else
        setErasePixmap(face);
}

void CLabelDisplay::repaintScreenPrimitive(QPainter& p)
{
    const int w = width();
    const int h = height();

    if (m_focusColor.isValid() && hasFocus()) {
        QColor b = p.background().color();
        QColor f = palette().color(foregroundRole());
        if (m_inverseColorOnFocus) {
            f = b;
            b = m_focusColor;
        } else {
            int fh = 0;
            int fs = 0;
            Qt3::hsv(m_focusColor, &fh, &fs, nullptr);
            b = tinted(b, fh, fs);
            f = tinted(f, fh, fs);
        }
        const QPixmap shown = pixmap();
        if (!shown.isNull())
            p.drawImage(QPoint(0, 0), NS_Utilities::applyFocusHilite(m_focusColor, shown));
        else
            p.fillRect(0, 0, w, h, b);
        Qt3::drawLabelContents(p, *this, f);
        return;
    }

    // A count below 1 draws the strip as one image.
    const int rows = m_nSubImages < 1 ? 1 : m_nSubImages;
    const bool enabled = isEnabled();
    if (!m_combinedImage.isNull() && (rows > 1 || enabled)) {
        const QPoint cell(0, enabled ? 0 : rows - 1);
        NS_Utilities::drawPartialPixmap(p, cell, m_combinedImage, QSize(1, rows), nullptr);
    } else {
        p.fillRect(0, 0, w, h, enabled ? palette().color(backgroundRole()) : disabledBackground);
    }

    if (enabled)
        Qt3::drawLabelContents(p, *this, palette().color(foregroundRole()));
    else if (m_greyOnDisable)
        Qt3::drawLabelContents(p, *this, disabledText);
}

void CLabelDisplay::drawContents(QPainter*)
{
}

void CLabelDisplay::paintEvent(QPaintEvent* e)
{
    // The Qt 3 label paint: erase with the face, the frame, then drawContents (which is off).
    QPainter p(this);
    paintErasePixmap(p, e->rect());
    drawFrame(&p);
    drawContents(&p);
}

void CLabelDisplay::resizeEvent(QResizeEvent* e)
{
    Qt3::Widget<QLabel>::resizeEvent(e);
    // A face of another size would be tiled or cut: render it again once the label has one.
    if (hasErasePixmap() && erasePixmap().deviceIndependentSize().toSize() != size())
        updateErasePixmap(nullptr);
}

// ---- events ----

void CLabelDisplay::focusInEvent(QFocusEvent* e)
{
    if (m_focusColor.isValid())
        updateErasePixmap(nullptr);
    Qt3::Widget<QLabel>::focusInEvent(e);
}

void CLabelDisplay::focusOutEvent(QFocusEvent* e)
{
    if (m_focusColor.isValid())
        updateErasePixmap(nullptr);
    Qt3::Widget<QLabel>::focusOutEvent(e);
}

void CLabelDisplay::enabledChange(bool oldEnabled)
{
    updateErasePixmap(nullptr);
    Qt3::Widget<QLabel>::enabledChange(oldEnabled);
}

void CLabelDisplay::windowActivationChange(bool)
{
}

void CLabelDisplay::fontChange(const QFont&)
{
    updateErasePixmap(nullptr);
    update();
}

void CLabelDisplay::polish()
{
    Qt3::Widget<QLabel>::polish();
    setBackgroundOrigin(Qt3::WidgetOrigin);
}

void CLabelDisplay::devicePixelRatioChange()
{
    // The face was rendered at the old ratio.
    if (hasErasePixmap())
        updateErasePixmap(nullptr);
}

void CLabelDisplay::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (!m_editable) {
        Qt3::Widget<QLabel>::mouseDoubleClickEvent(e);
        return;
    }
    if (!m_numEdit) {
        m_numEdit = new NS_Utilities::CNumEdit(this);
        connect(m_numEdit, &NS_Utilities::CNumEdit::numberProposed, this, &CLabelDisplay::acceptNum);
    }
    const QByteArray format = m_editFormat.isEmpty() ? QByteArray("%.1f") : m_editFormat.toLatin1();
    m_numEdit->doEdit(text(), format.constData());
}

void CLabelDisplay::acceptNum(double value)
{
    setFocus();
    emit valueChanged(value);
}

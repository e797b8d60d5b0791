#include "numedit.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLocale>
#include <QPalette>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace NS_Utilities {

namespace {

constexpr int kMinimumWidth = 80;
// printf precisions beyond this change nothing a double can hold.
constexpr int kMaximumPrecision = 340;

const char* const kDefaultFormat = "%.1f";

QColor refusedBase()
{
    return QColor(255, 190, 190);
}

// The leading number of a displayed value: sign, digits with an optional decimal separator
// ('.', ',' or the locale's), optional exponent.
QRegularExpressionMatch matchLeadingNumber(const QString& text)
{
    const QString localePoint = QRegularExpression::escape(QLocale().decimalPoint());
    const QString point = QStringLiteral("(?:[.,]|%1)").arg(localePoint);
    const QRegularExpression rx(QStringLiteral("^[+-]?(?:\\d+(?:%1\\d*)?|%1\\d+)(?:[eE][+-]?\\d+)?").arg(point));
    return rx.match(text);
}

} // namespace

CNumEdit::CNumEdit(QWidget* parent, const char* name)
    : QLineEdit(parent), m_format(QString::fromLatin1(kDefaultFormat))
{
    if (name)
        setObjectName(QString::fromUtf8(name));
    // A window of its own (not clipped by a small control), owned by the control.
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    connect(this, &QLineEdit::textEdited, this, [this] { setRefused(false); });
}

CNumEdit::~CNumEdit()
{
    // The widget is hidden by the base destructors; that is not a cancellation.
    m_editing = false;
}

void CNumEdit::doEdit(const QString& text, const char* format)
{
    m_format = (format && *format) ? QString::fromLatin1(format) : QString::fromLatin1(kDefaultFormat);
    m_unit = unitOf(text);
    setRefused(false);
    setText(text);
    selectAll();
    placeOverParent();
    m_editing = true;
    show(); // a popup window comes up on top of its owner's window
    activateWindow();
    setFocus(Qt::PopupFocusReason);
}

void CNumEdit::placeOverParent()
{
    ensurePolished();
    QWidget* owner = parentWidget();
    const int textWidth = fontMetrics().horizontalAdvance(text()) + 16;
    int w = std::max({kMinimumWidth, textWidth, owner ? owner->width() : 0});
    int h = std::max(sizeHint().height(), minimumSizeHint().height());

    QPoint centre;
    QScreen* screen = nullptr;
    if (owner) {
        centre = owner->mapToGlobal(owner->rect().center());
        screen = QGuiApplication::screenAt(centre);
        if (!screen)
            screen = owner->screen();
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    if (!owner)
        centre = available.isValid() ? available.center() : QPoint(w / 2, h / 2);

    QRect frame(0, 0, w, h);
    frame.moveCenter(centre);
    if (available.isValid()) {
        w = std::min(w, available.width());
        h = std::min(h, available.height());
        frame.setSize(QSize(w, h));
        frame.moveLeft(std::clamp(frame.left(), available.left(), available.right() - w + 1));
        frame.moveTop(std::clamp(frame.top(), available.top(), available.bottom() - h + 1));
    }
    setGeometry(frame);
}

void CNumEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        accept();
        return;
    case Qt::Key_Escape:
        event->accept();
        cancel();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void CNumEdit::mousePressEvent(QMouseEvent* event)
{
    // A popup closes on a press outside it; QWidget does that in its mousePressEvent, which
    // QLineEdit replaces with text selection. The press reaches the popup because it grabs the
    // mouse while open.
    if (!rect().contains(event->position().toPoint())) {
        event->accept();
        close(); // arrives as a hide event: a cancellation
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void CNumEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A popup opened on top of this one (the line edit's context menu) takes the focus with
    // PopupFocusReason and gives it back; closing this popup arrives as a hide event.
    if (m_editing && event->reason() != Qt::PopupFocusReason)
        cancel();
}

void CNumEdit::hideEvent(QHideEvent* event)
{
    QLineEdit::hideEvent(event);
    if (m_editing) {
        // Closed from outside: a click outside the popup, close(), the window system.
        m_editing = false;
        emit editCanceled();
    }
}

void CNumEdit::accept()
{
    if (!m_editing)
        return;
    double value = 0;
    if (!parseNumber(text(), m_unit, &value)) {
        setRefused(true);
        selectAll();
        return;
    }
    value = roundForFormat(value, m_format);
    m_editing = false;
    QPointer<CNumEdit> self(this);
    hide();
    if (self)
        emit numberProposed(value);
}

void CNumEdit::cancel()
{
    if (!m_editing)
        return;
    m_editing = false;
    QPointer<CNumEdit> self(this);
    hide();
    if (self)
        emit editCanceled();
}

void CNumEdit::setRefused(bool refused)
{
    if (refused == m_refused)
        return;
    m_refused = refused;
    setProperty("refused", refused);
    if (refused) {
        QPalette pal = palette();
        pal.setColor(QPalette::Base, refusedBase());
        setPalette(pal);
    } else {
        // Back to the inherited palette.
        setPalette(QPalette());
    }
}

QString CNumEdit::unitOf(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch m = matchLeadingNumber(trimmed);
    if (!m.hasMatch())
        return QString();
    return trimmed.mid(m.capturedLength()).trimmed();
}

bool CNumEdit::parseNumber(const QString& input, const QString& unit, double* value)
{
    QString s = input.trimmed();
    if (!unit.isEmpty() && s.endsWith(unit, Qt::CaseInsensitive)) {
        s.chop(unit.size());
        s = s.trimmed();
    }
    if (s.isEmpty())
        return false;

    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = c.toDouble(s, &ok);
    if (!ok) {
        QLocale local;
        local.setNumberOptions(QLocale::RejectGroupSeparator);
        v = local.toDouble(s, &ok);
    }
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

double CNumEdit::roundForFormat(double value, const QString& format)
{
    // The first conversion of the format ("%%" is a literal percent sign).
    int i = 0;
    for (;;) {
        i = format.indexOf(QLatin1Char('%'), i);
        if (i < 0 || i + 1 >= format.size())
            return value;
        if (format.at(i + 1) == QLatin1Char('%')) {
            i += 2;
            continue;
        }
        break;
    }
    int j = i + 1;
    const int n = format.size();
    auto at = [&](int k) { return k < n ? format.at(k) : QChar(); };
    while (j < n && QStringLiteral("-+ #0'").contains(format.at(j)))
        ++j;
    if (at(j) == QLatin1Char('*'))
        ++j;
    else
        while (at(j).isDigit())
            ++j;
    int precision = -1;
    if (at(j) == QLatin1Char('.')) {
        ++j;
        if (at(j) == QLatin1Char('*'))
            return value; // the precision comes from an argument we do not have
        precision = 0;
        while (at(j).isDigit()) {
            precision = std::min(precision * 10 + at(j).digitValue(), kMaximumPrecision);
            ++j;
        }
    }
    while (j < n && QStringLiteral("hlLqjzt").contains(format.at(j)))
        ++j;
    switch (at(j).toLatin1()) {
    case 'f':
    case 'F':
        return QString::number(value, 'f', precision < 0 ? 6 : precision).toDouble();
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        return std::round(value); // half away from zero
    default:
        return value; // e/E/g/G/a/A keep the number; anything else is not a number format
    }
}

} // namespace NS_Utilities

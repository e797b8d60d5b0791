#include "cpopuplabel.h"

#include "cpopupitem.h"

#include "binding/compat/color.h"

#include <QPainter>

CPopupLabel::CPopupLabel(QWidget* parent, const char* name) : Qt3::Widget<QPushButton>(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setBackgroundRole(QPalette::Window);
    // The grid window handles the keys (arrows, Space, Return); a focused cell would take them.
    setFocusPolicy(Qt::NoFocus);
}

CPopupLabel::~CPopupLabel() = default;

void CPopupLabel::polish()
{
    Qt3::Widget<QPushButton>::polish();
    normalPalette = palette();
    currentPalette = &normalPalette;
    const QColor highlight = normalPalette.color(QPalette::Active, QPalette::Highlight);
    const QColor highlightedText = normalPalette.color(QPalette::Active, QPalette::HighlightedText);
    const QColor brightText = normalPalette.color(QPalette::Active, QPalette::BrightText);
    const QColor darkHighlight = Qt3::dark(highlight, 200);

    hoverPalette = normalPalette;
    hoverPalette.setColor(QPalette::Active, QPalette::Button, highlight);
    hoverPalette.setColor(QPalette::Active, QPalette::ButtonText, highlightedText);

    selectedPalette = normalPalette;
    selectedPalette.setColor(QPalette::Active, QPalette::Button, darkHighlight);
    selectedPalette.setColor(QPalette::Active, QPalette::ButtonText, brightText);
}

void CPopupLabel::apply(QPalette* p)
{
    currentPalette = p;
    setPalette(*p);
}

void CPopupLabel::setNormalPalette()
{
    apply(&normalPalette);
}

void CPopupLabel::setSelectedPalette()
{
    apply(&selectedPalette);
}

void CPopupLabel::setHoverPalette()
{
    pushedPalette = currentPalette;
    apply(&hoverPalette);
}

void CPopupLabel::pushPalette(QPalette& p)
{
    pushedPalette = currentPalette;
    apply(&p);
}

void CPopupLabel::popPalette()
{
    if (pushedPalette)
        apply(pushedPalette);
}

QSize CPopupLabel::sizeHint() const
{
    return maximumSize();
}

void CPopupLabel::enterEvent(QEnterEvent* e)
{
    Q_UNUSED(e);
    if (auto* window = qobject_cast<CPopupItem*>(parentWidget()))
        window->setHighlightedItem(this);
}

void CPopupLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    drawButton(&p);
}

void CPopupLabel::drawButton(QPainter* p)
{
    const QPalette& pal = palette();
    p->fillRect(rect(), QBrush(pal.color(QPalette::Active, QPalette::Button), Qt::SolidPattern));
    p->setPen(pal.color(QPalette::Active, QPalette::ButtonText));
    p->drawText(rect(), Qt::AlignVCenter, text());
}

void CPopupLabel::customPressed()
{
    if (auto* window = qobject_cast<CPopupItem*>(parent()))
        window->customClose(this, true);
}

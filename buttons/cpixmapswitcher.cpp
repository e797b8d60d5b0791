#include "cpixmapswitcher.h"

#include "binding/services.h"
#include "binding/strip.h"
#include "binding/utilities.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <climits>

CPixmapSwitcher::CPixmapSwitcher(QWidget* parent, const char* name) : Qt3::Widget<QLabel>(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setScaledContents(false);
}

CPixmapSwitcher::~CPixmapSwitcher() = default;

void CPixmapSwitcher::setCombinedImage(const QPixmap& strip)
{
    m_combinedImage = strip;
    NS_Utilities::geometry_change(this);
}

void CPixmapSwitcher::setnSubImages(int count)
{
    if (count == m_nSubImages)
        return;
    m_nSubImages = count;
    updateDimensions();
}

void CPixmapSwitcher::setnImageCategories(int count)
{
    if (count == m_nImageCategories)
        return;
    m_nImageCategories = count;
    updateDimensions();
}

void CPixmapSwitcher::setUsesPalleteBitmap(bool on)
{
    m_usesPalleteBitmap = on;
    updateDimensions();
}

void CPixmapSwitcher::setTabArea(const QRect& area)
{
    m_tabArea = area;
}

void CPixmapSwitcher::setTabbed(bool on)
{
    m_tabbed = on;
}

void CPixmapSwitcher::updateDimensions()
{
    const QPixmap& strip = m_combinedImage;
    // Counts below 1 have no cells: the size stays as it is.
    if (strip.width() <= 0 || m_nSubImages < 1 || m_nImageCategories < 1)
        return;
    const QSize cell(strip.width() / m_nImageCategories, strip.height() / m_nSubImages);
    setFixedSize(NS_Utilities::StripCells::toLogical(cell, strip.devicePixelRatio()));
}

void CPixmapSwitcher::polish()
{
    Qt3::Widget<QLabel>::polish();
    setBackgroundOrigin(Qt3::WidgetOrigin);
    updateDimensions();
}

void CPixmapSwitcher::devicePixelRatioChange()
{
    // The palette row was rendered at the old ratio.
    if (m_usesPalleteBitmap && m_currentImage >= 0 && m_currentImage < m_nSubImages)
        applyPaletteRow();
}

int CPixmapSwitcher::setCurrentImage(int id)
{
    // Negative ids from outside are ignored like ids past the last row.
    if (id < 0 || id >= m_nSubImages || id == m_currentImage)
        return -1;
    m_currentImage = id;
    if (m_usesPalleteBitmap) {
        applyPaletteRow();
    } else {
        update();
    }
    emit indexChanged(m_currentImage);
    return -1;
}

void CPixmapSwitcher::applyPaletteRow()
{
    const QPixmap& strip = m_combinedImage;
    const int h = strip.height() / m_nSubImages;
    // The row is rendered at the widget's ratio: a texture brush is tiled in the device's
    // pixels, so a row of another ratio would show at the wrong scale. A row of no logical
    // size (a tiny strip of a high ratio) shows nothing new.
    const qreal ratio = strip.devicePixelRatio() > 0 ? strip.devicePixelRatio() : 1.0;
    QPixmap row;
    if (strip.width() > 0 && h > 0)
        row = Qt3::createFacePixmap(this, QSizeF(strip.width() / ratio, h / ratio).toSize());
    if (!row.isNull()) {
        QPainter p(&row);
        NS_Utilities::drawPartialPixmap(p, QPoint(0, m_currentImage), strip, QSize(1, m_nSubImages), nullptr);
        p.end();
        QPalette pal = palette();
        pal.setBrush(backgroundRole(), QBrush(row));
        setPalette(pal);
        setAutoFillBackground(true);
    }
}

void CPixmapSwitcher::toggleImage()
{
    int next = m_currentImage + 1;
    if (next >= m_nSubImages)
        next = 0;
    setCurrentImage(next);
}

void CPixmapSwitcher::toggleVisible()
{
    if (testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden))
        show();
    else
        hide();
}

void CPixmapSwitcher::paintEvent(QPaintEvent* e)
{
    if (m_usesPalleteBitmap) {
        Qt3::Widget<QLabel>::paintEvent(e); // the label's frame and contents
        return;
    }
    const QPixmap& strip = m_combinedImage;
    if (strip.width() <= 0 || m_nSubImages < 1)
        return;
    const int h = strip.height() / m_nSubImages;
    if (h <= 0)
        return;
    // The full strip width, whatever nImageCategories.
    const qreal ratio = strip.devicePixelRatio() > 0 ? strip.devicePixelRatio() : 1.0;
    const QRect source(0, h * m_currentImage, strip.width(), h);
    QPainter p(this);
    p.drawPixmap(QRectF(0, 0, strip.width() / ratio, h / ratio), strip, QRectF(source));
}

void CPixmapSwitcher::mousePressEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (m_tabbed && m_tabArea.contains(pos, true) && m_nSubImages != 0) {
        const float t = std::max(0.1f, float(m_tabArea.width()) / float(m_nSubImages));
        const float at = float(pos.x() - m_tabArea.left()) / t;
        // Truncated toward zero. A count below 0 makes t 0.1 and the quotient may pass the int
        // range: such an id is past every row anyway.
        setCurrentImage(at < 1.0e9f ? int(at) : INT_MAX);
    }
    Qt3::Widget<QLabel>::mousePressEvent(e);
}

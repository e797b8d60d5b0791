// CPixmapSwitcher_Orvel ("CPixmapSwitcher" to the meta-object system): a label that shows one
// row of an image strip.
//
// Rows change through setCurrentImage(), toggleImage() or, in tabbed mode, a click into
// `tabArea` (divided into nSubImages tabs side by side); every accepted change is announced by
// indexChanged(int). The row is painted straight from the strip, or (usesPalleteBitmap) made the
// palette background so that the label's contents and children are drawn over it. Not bound to
// a parameter. See docs/buttons.md.
#pragma once

#include "buttonnames.h"

#include "../binding/compat/widget.h"

#include <QLabel>
#include <QPixmap>
#include <QRect>

class ORVELKIT_EXPORT CPixmapSwitcher : public Qt3::Widget<QLabel>
{
    Q_OBJECT
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setCombinedImage)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(int nImageCategories READ nImageCategories WRITE setnImageCategories)
    Q_PROPERTY(bool usesPalleteBitmap READ usesPalleteBitmap WRITE setUsesPalleteBitmap)
    Q_PROPERTY(bool tabbed READ tabbed WRITE setTabbed)
    Q_PROPERTY(QRect tabArea READ tabArea WRITE setTabArea)

public:
    explicit CPixmapSwitcher(QWidget* parent = nullptr, const char* name = nullptr);
    ~CPixmapSwitcher() override;

    QPixmap combinedImage() const { return m_combinedImage; }
    int nSubImages() const { return m_nSubImages; }
    int nImageCategories() const { return m_nImageCategories; }
    bool usesPalleteBitmap() const { return m_usesPalleteBitmap; }
    bool tabbed() const { return m_tabbed; }
    QRect tabArea() const { return m_tabArea; }
    // The spellings uic uses for the lower-case setters when a form does not mark them stdset="0".
    void setNSubImages(int count) { setnSubImages(count); }
    void setNImageCategories(int count) { setnImageCategories(count); }

    // The row shown.
    int getCurrentImageID() const { return m_currentImage; }
    void adjustParams() { updateDimensions(); }

public slots:
    void setCombinedImage(const QPixmap& strip);
    void setnSubImages(int count);
    void setnImageCategories(int count);
    void setUsesPalleteBitmap(bool on);
    void setTabArea(const QRect& area);
    void setTabbed(bool on);
    // Shows row `id`; ignored (no signal) for an id outside 0..nSubImages-1 or the row already
    // shown. Returns -1.
    int setCurrentImage(int id);
    // The next row, wrapping to row 0 after the last.
    void toggleImage();
    // Shows an explicitly hidden switcher, hides any other.
    void toggleVisible();
    // Fixes the size to one cell: strip width / nImageCategories by strip height / nSubImages.
    void updateDimensions();

signals:
    void indexChanged(int index);

protected:
    void polish() override;
    void devicePixelRatioChange() override;
    void mousePressEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    // The palette-bitmap mode: the current row as the background brush.
    void applyPaletteRow();

    QPixmap m_combinedImage;
    int m_currentImage = 0;
    int m_nSubImages = 1;
    int m_nImageCategories = 1;
    bool m_usesPalleteBitmap = false;
    bool m_tabbed = false;
    QRect m_tabArea;
};

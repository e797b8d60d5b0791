// CPopupLabel_Orvel ("CPopupLabel" to the meta-object system): one cell of the popup grid.
//
// A flat push button that shows one entry of a popup selector's list. It switches between three
// palettes that differ only in their active colour group: normal (as polished), hover (the
// highlighted cell: Highlight face, HighlightedText text) and selected (the selected entry:
// Highlight darkened to half its value, BrightText text). The grid window (CPopupItem_Orvel)
// drives the palettes; the cell reports a press to the window (customPressed) and tells it
// when the mouse enters (setHighlightedItem). See docs/popup.md.
#pragma once

#include "popupnames.h"

#include "../binding/compat/widget.h"

#include <QPalette>
#include <QPushButton>

class ORVELKIT_EXPORT CPopupLabel : public Qt3::Widget<QPushButton>
{
    Q_OBJECT

public:
    explicit CPopupLabel(QWidget* parent = nullptr, const char* name = nullptr);
    ~CPopupLabel() override;

    // Apply the normal or the selected palette and make it the current one.
    void setNormalPalette();
    void setSelectedPalette();
    // Remember the current palette as the one to return to, then apply the hover palette.
    void setHoverPalette();
    // Remember the current palette as the one to return to, then apply `p` (which must outlive
    // the cell's use of it: pass one of the cell's own palettes).
    void pushPalette(QPalette& p);
    // Return to the remembered palette; nothing when there is none.
    void popPalette();

    // The three palettes and the two palette pointers (null until polished / pushed).
    const QPalette& normal() const { return normalPalette; }
    const QPalette& hover() const { return hoverPalette; }
    const QPalette& selected() const { return selectedPalette; }
    const QPalette* current() const { return currentPalette; }
    const QPalette* pushed() const { return pushedPalette; }

    // The fixed size the window gave the cell (its maximum size).
    QSize sizeHint() const override;

public slots:
    // Asks the parent grid window to pick this cell and close.
    void customPressed();

signals:
    // Declared for hosts that connect to it; the cell itself never emits it.
    void customClose(CPopupLabel* label);

protected:
    // Builds the three palettes from the polished palette.
    void polish() override;
    void enterEvent(QEnterEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    // Flat look: the face in the active Button colour, the text left-aligned and vertically
    // centred in the active ButtonText colour. No bevel, frame or pressed look.
    virtual void drawButton(QPainter* p);

private:
    void apply(QPalette* p);

    QPalette normalPalette;
    QPalette hoverPalette;
    QPalette selectedPalette;
    QPalette* pushedPalette = nullptr;
    QPalette* currentPalette = nullptr;
};

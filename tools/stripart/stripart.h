// OrvelStripArt: image strips for the demo editor, the tests and the Designer widget box, drawn
// with QPainter (antialiased) instead of shipped as hand-made artwork.
//
// Every strip is drawn at a device-pixel ratio: the image holds ratio x the logical size in
// pixels and carries setDevicePixelRatio(ratio), so that saved as name@2x.png and loaded again it
// gives the same logical cells as the 1x strip (docs/hidpi-strips.md). Cells are laid out in
// device pixels: each cell is round(logical cell size x ratio) pixels, the strip exactly
// columns x rows of them, so a control's integer cell arithmetic cuts the cells drawn here.
//
// Bad arguments (no frames, sizes of zero or less, a ratio that is not finite or outside 1..4,
// strips above 32768 device pixels on a side) give a null QImage; nothing here asserts.
#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <Qt>

namespace OrvelStripArt {

// The largest ratio and the largest strip side (device pixels) the generators accept.
constexpr qreal MaxRatio = 4.0;
constexpr int MaxSide = 32768;

// ---- rotary knob ----

// How a knob strip looks. The value arc runs clockwise from 7 o'clock to 5 o'clock (300
// degrees); a bipolar knob fills it from 12 o'clock towards the value instead, for parameters
// centred on zero (pitch, detune, pan).
struct KnobLook
{
    QColor body = QColor(0x3b, 0x3f, 0x47);    // the cap's base colour (shaded towards the edge)
    QColor track = QColor(0x1d, 0x1f, 0x24);   // the unlit part of the value arc
    QColor accent = QColor(0xff, 0x9b, 0x30);  // the lit part of the value arc
    QColor pointer = QColor(0xf2, 0xf2, 0xf2); // the pointer line on the cap
    bool bipolar = false;
    // More looks, one column each after the first: the same knob with another accent colour
    // (for nImageCategories > 1 and setCurrentImage).
    QList<QColor> extraAccents;
};

// A knob strip: 1 + look.extraAccents.size() columns by `frames` rows of cellSize x cellSize
// (logical) cells. Row k shows the position k / (frames - 1) (a single frame shows the minimum).
// The corners of every cell are transparent.
QImage knobStrip(int frames, int cellSize, qreal ratio, const KnobLook& look = {});

// The angle in degrees of the pointer at `position` (0..1, clamped), counted the way QPainter
// counts (0 at 3 o'clock, counter-clockwise): 240 at the minimum (7 o'clock), -60 at the maximum.
qreal knobAngle(qreal position);

// ---- fader ----

struct FaderLook
{
    QColor panel = Qt::transparent;             // behind the slot and the ticks
    QColor slot = QColor(0x12, 0x13, 0x16);
    QColor tick = QColor(0x8a, 0x90, 0x9a);
    QColor cap = QColor(0xd8, 0xdb, 0xe0);      // thumb body
    QColor grip = QColor(0xff, 0x9b, 0x30);     // the line across the thumb
    int ticks = 11;                             // tick marks, ends included (0 or 1: none)
};

// The fader's background: a slot along `orientation` with tick marks on both sides. The ticks
// span the travel of a thumb of `thumbLength` (logical pixels along the orientation): from half
// a thumb after the start to half a thumb before the end, where the thumb's centre goes.
QImage faderBackground(QSize size, Qt::Orientation orientation, int thumbLength, qreal ratio,
                       const FaderLook& look = {});

// The thumb strip: cells of `cell` (logical) stacked vertically, row 0 the normal thumb and
// row 1 the disabled one (the fader draws its last row while disabled). A vertical fader's
// thumb is wide and flat, a horizontal fader's tall and narrow: pass the cell accordingly.
QImage faderThumbStrip(QSize cell, Qt::Orientation orientation, qreal ratio,
                       const FaderLook& look = {});

// ---- on/off button ----

struct ButtonLook
{
    QColor face = QColor(0x30, 0x33, 0x3a);
    QColor lit = QColor(0xff, 0x9b, 0x30);      // the on state's lamp and caption
    QColor caption = QColor(0xb8, 0xbd, 0xc6);  // the off state's caption
    QString text;                               // drawn on every cell when not empty
};

// Rows of an on/off button strip, one column, cells of `cell` (logical).
enum ButtonRow { ButtonOn = 0, ButtonOff = 1, ButtonTracking = 2, ButtonDisabled = 3 };
constexpr int ButtonRows = 4;

// The button strip: row 0 on, row 1 off, row 2 tracking (held down), row 3 disabled, the order
// an on/off button cuts a 4-row strip in.
QImage buttonStrip(QSize cell, qreal ratio, const ButtonLook& look = {});

// ---- state lamp ----

// A round lamp strip, one column of cellSize x cellSize cells: row 0 off, then, with `withDim`,
// a dimmed row, then the lit row. Two rows suit a lamp comparing against a value (row 1 when
// equal); three rows a lamp showing values 0..2 directly. Corners are transparent.
QImage lampStrip(int cellSize, qreal ratio, const QColor& colour, bool withDim = false);

// ---- pull-down field ----

// A pull-down menu's face in image mode: one column, one row per label; row k shows label k in a
// dark field with an arrow at the right, in `ink`. No labels give a null image.
QImage menuStrip(QSize cell, const QStringList& labels, qreal ratio,
                 const QColor& ink = QColor(0xff, 0xb4, 0x5c));

// ---- value display ----

// A recessed readout field for value labels and text sliders: one column, row 0 the lit field,
// row 1 the disabled one (flatter and darker), the order a value label takes a 2-row strip in.
QImage displayStrip(QSize cell, qreal ratio);

// ---- page tabs ----

struct TabLook
{
    QColor back = QColor(0x1f, 0x21, 0x26);     // behind the tabs
    QColor face = QColor(0x2a, 0x2d, 0x34);     // the chosen tab
    QColor idle = QColor(0x24, 0x26, 0x2c);     // the other tabs
    QColor lit = QColor(0xff, 0x9b, 0x30);      // the chosen tab's caption and edge
    QColor caption = QColor(0x98, 0xa0, 0xab);  // the other tabs' captions
};

// A page-tab header for an image switcher: one column, one row per label; every row shows all
// the labels as tabs of `tab` (logical) side by side, row k with tab k chosen. A switcher in
// tabbed mode whose tab area is the whole row picks row k for a click into tab k. No labels give
// a null image.
QImage tabStrip(QSize tab, const QStringList& labels, qreal ratio, const TabLook& look = {});

// ---- Designer widget box ----

// The control kinds icon() knows.
QStringList iconKinds();
// A size x size icon (ratio 1) for a control kind, drawn from the same art as the strips.
// An unknown kind gets the "generic" icon; a size of zero or less, or above 1024, a null image.
QImage icon(const QString& kind, int size = 32);

// ---- writing ----

// The image as 8-bit indexed colour with at most `maxColours` (2..256) palette entries that
// keep alpha, for small PNG files. An image with no more colours than that keeps every pixel
// exactly; otherwise the palette comes from a median cut over the image's colours (transparent
// pixels stay exactly transparent). The result depends only on the picture, so the same picture always
// gives the same file. The device-pixel ratio is kept; a null image is returned as it is.
QImage toIndexed(const QImage& image, int maxColours = 256);

// Writes `image` as an indexed PNG (toIndexed). Returns false and sets *error on failure.
bool savePng(const QImage& image, const QString& fileName, QString* error = nullptr);

} // namespace OrvelStripArt

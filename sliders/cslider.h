// CSlider_Orvel ("CSlider" to the meta-object system): the abstract base of the linear sliders.
//
// A widget with a Qt 3 range model (minimum, maximum, line step, page step, value) and a handle
// that moves along a groove. It handles the pointer (handle drag, middle-button jump, paging with
// repeat), the keyboard and the wheel, keeps the handle position and the value in step, and
// emits the slider signals. Geometry and drawing come from the widget style, so a subclass that
// only supplies applyFlipedTransformation() and tableId() is a plain style-drawn slider; the
// fader (fader/cfader.h) replaces the geometry and the drawing and binds to the memory.
// See docs/fader.md.
#pragma once

#include "slidernames.h"

#include "../binding/compat/rangecontrol.h"
#include "../binding/compat/widget.h"

#include <QRect>
#include <QSize>

class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QStyleOptionSlider;
class QTimer;
class QWheelEvent;
struct CSlider_PD;

class ORVELKIT_EXPORT CSlider : public Qt3::Widget<QWidget>, public QRangeControl
{
    Q_OBJECT
    Q_PROPERTY(int minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int lineStep READ lineStep WRITE setLineStep)
    Q_PROPERTY(int pageStep READ pageStep WRITE setPageStep)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(bool tracking READ tracking WRITE setTracking)
    Q_PROPERTY(Qt::Orientation orientation READ orientation WRITE setOrientation)
    Q_PROPERTY(TickSetting tickmarks READ tickmarks WRITE setTickmarks)
    Q_PROPERTY(int tickInterval READ tickInterval WRITE setTickInterval)
    Q_PROPERTY(bool horDir READ horDir WRITE setHorDir)

public:
    // Where tick marks are drawn: bit 1 the upper or left side, bit 2 the lower or right side.
    enum TickSetting : int { NoMarks = 0, Above = 1, Left = 1, Below = 2, Right = 2, Both = 3 };
    Q_ENUM(TickSetting)

    // Range 0..99, line step 1, page step 10, value 0, vertical.
    explicit CSlider(QWidget* parent = nullptr, const char* name = nullptr);
    // Range 0..99, line step 1, page step 10, value 0.
    CSlider(Qt::Orientation orientation, QWidget* parent, const char* name = nullptr);
    // Range minValue..maxValue, line step 1; the handle shows `value` once the range is first
    // applied (rangeChange()).
    CSlider(int minValue, int maxValue, int pageStep, int value, Qt::Orientation orientation,
            QWidget* parent, const char* name = nullptr);
    ~CSlider() override;

    // ---- range and designer properties ----
    void setMinValue(int v) { QRangeControl::setMinValue(v); }
    void setMaxValue(int v) { QRangeControl::setMaxValue(v); }
    void setLineStep(int v) { setSteps(v, pageStep()); }
    void setPageStep(int v) { setSteps(lineStep(), v); }
    bool tracking() const { return m_tracking; }
    Qt::Orientation orientation() const { return m_orientation; }
    TickSetting tickmarks() const { return m_tickmarks; }
    int tickInterval() const { return m_tickInterval; }
    bool horDir() const { return m_horDir; }
    void setHorDir(bool on) { m_horDir = on; }

    // ---- virtual operations, in this order ----
    virtual void setOrientation(Qt::Orientation orientation);
    virtual void setTracking(bool on);
    // The handle rectangle in widget coordinates (base: the style's handle at handlePos).
    virtual QRect sliderRect() const;
    virtual void setTickmarks(TickSetting setting);
    virtual void setTickInterval(int interval);

public slots:
    // The one way values are applied (keys, wheel, drag, property writes, slots).
    virtual void setValue(int value);

public:
    // Maps a value into the direction in which wheel steps count; its own inverse.
    virtual int applyFlipedTransformation(int value, int minValue, int maxValue) const = 0;
    // Handle length along the groove, groove thickness, and the span the handle start can move
    // over (base: the style's metrics).
    virtual int getSlideLength() const;
    virtual int getSlideThickness() const;
    virtual int available() const;
    // The display table a subclass formats its text with (not used by this class).
    virtual int tableId() const = 0;

    enum DragState : int { Idle = 0, Dragging = 1, PagingUp = 2, PagingDown = 3 };

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    void addStep();
    void subtractStep();
    void addLine() { QRangeControl::addLine(); }
    void subtractLine() { QRangeControl::subtractLine(); }

signals:
    void valueChanged(int value);
    void sliderPressed();
    void sliderMoved(int value);
    void sliderReleased();
    void alternativeDisplayBegin();
    void alternativeDisplayEnd();

protected:
    void valueChange() override;
    void rangeChange() override;
    virtual int positionFromValue(int value) const;
    virtual int valueFromPosition(int position) const;

    // The pointer coordinate along the groove.
    int goodPart(const QPoint& pos) const;
    // Moves the handle to `pos` (clamped), snaps it to the value where the style asks for it,
    // emits sliderMoved for a new handle value and, with tracking, sets the value.
    void moveSlider(int pos);
    // Puts the handle at `newPos` and repaints the uncovered part of the old handle and the new
    // handle only.
    void reallyMoveSlider(int newPos);
    // Ends a drag (committing the handle's value) or paging; back to Idle.
    void resetState();
    void initTicks();
    // A style option for this slider: rect, palette, state, orientation, steps. Positions are
    // already mirrored for right-to-left layouts, so the option always reads left-to-right.
    void initStyleOption(QStyleOptionSlider* option) const;
    // True when this object is also a memory proxy (a bound subclass such as the fader).
    bool isMemoryBound() const;

    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

    // The members a subclass works with (see docs/fader.md).
    CSlider_PD* d;
    QTimer* repeatTimer = nullptr;
    int handlePos = 0;   // handle offset along the groove, 0..available()
    int handleValue = 0; // the value the handle shows (differs while dragging without tracking)
    int grabOffset = 0;  // pointer to handle start during a drag
    DragState dragState = Idle;
    bool m_tracking = true;
    int tickOffset = 0;
    TickSetting m_tickmarks = NoMarks;
    int m_tickInterval = 0;
    bool m_horDir = false;
    Qt::Orientation m_orientation = Qt::Vertical;

private slots:
    void repeatTimeout();

private:
    void init();
    static float s_wheelOffset;
    static CSlider* s_wheelOwner;
};

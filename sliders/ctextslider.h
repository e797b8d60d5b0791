// CTextSlider_Orvel ("CTextSlider" to the meta-object system): the text slider.
//
// A parameter-bound control that shows its value as one line of text (a number with a unit, a
// name from one of the memory's value tables, a fixed label for one value, or whatever a host
// lookup function returns) and is changed like a knob without drawing one: by dragging
// vertically over the text (faster on wide ranges unless Shift is held at the press), by
// clicking its upper or lower half (click stepping), by the wheel and the keys, or by typing a
// number after a double click. User changes are written to the memory and read back; memory
// changes (process(), possibly on worker threads) are followed. The text is rendered once per
// change into the widget's background face. See docs/textslider.md.
#pragma once

#include "slidernames.h"

#include "../binding/compat/rangecontrol.h"
#include "../binding/compat/widget.h"
#include "../binding/memproxy.h"

#include <QString>

class QCursor;
class QFocusEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QWheelEvent;
struct CTextSliderPrivate;
struct CTextSlider_PD;

class ORVELKIT_EXPORT CTextSlider : public Qt3::Widget<QWidget>, public QRangeControl, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(bool tracking READ tracking WRITE setTracking)
    Q_PROPERTY(int minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int lineStep READ lineStep WRITE setLineStep)
    Q_PROPERTY(int pageStep READ pageStep WRITE setPageStep)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(QString valueLabel READ valueLabel WRITE setValueLabel)
    Q_PROPERTY(int rangeDiv READ rangeDiv WRITE setRangeDiv)
    Q_PROPERTY(QString formatLabel READ formatLabel WRITE setFormatLabel)
    Q_PROPERTY(int tableId READ tableId WRITE setTableId)
    Q_PROPERTY(bool useTableId READ useTableId WRITE setUseTableId)
    Q_PROPERTY(bool editable READ editable WRITE setEditable)
    Q_PROPERTY(QString editFormat READ editFormat WRITE setEditFormat)
    Q_PROPERTY(bool clickStepping READ clickStepping WRITE setClickStepping)
    Q_PROPERTY(int matchValue READ matchValue WRITE setMatchValue)
    Q_PROPERTY(QString matchLabel READ matchLabel WRITE setMatchLabel)
    Q_PROPERTY(bool enableFocusRect READ focusRectEnabled WRITE setEnableFocusRect)
    Q_PROPERTY(bool greyOnDisable READ isGreyOnDisable WRITE setGreyOnDisable)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)

public:
    // A host function that writes the text for `value` into `text`; false means it has none.
    using LookupFunc = bool (*)(QString& text, int value);

    // Range 0..99, line step 1, page step 10, value 0, wheel focus, unbound. The name argument
    // is not used: the control has no object name until the host gives it one.
    explicit CTextSlider(QWidget* parent = nullptr, const char* name = nullptr, Qt::WindowFlags f = {});
    // Range minValue..maxValue, line step 1; `name` becomes the object name when given.
    CTextSlider(int minValue, int maxValue, int pageStep, int value, QWidget* parent,
                const char* name = nullptr);
    ~CTextSlider() override;

    // ---- binding ----
    void connectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;

    // ---- designer properties ----
    bool tracking() const;
    void setMinValue(int v) { QRangeControl::setMinValue(v); }
    void setMaxValue(int v) { QRangeControl::setMaxValue(v); }
    void setLineStep(int v) { setSteps(v, pageStep()); }
    void setPageStep(int v) { setSteps(lineStep(), v); }
    QString valueLabel() const;
    int rangeDiv() const;
    QString formatLabel() const;
    int tableId() const;
    bool useTableId() const;
    bool editable() const;
    QString editFormat() const;
    bool clickStepping() const;
    // On: the pointer shows an up or down arrow over the upper or lower half, and a click
    // without movement steps by one line (mouse tracking is switched on). Off: the arrows go;
    // mouse tracking is left as it is.
    void setClickStepping(bool on);
    int matchValue() const;
    QString matchLabel() const;
    bool focusRectEnabled() const;
    bool isGreyOnDisable() const;

    // ---- text ----
    void setLookupFunc(LookupFunc func);
    // With a lookup function: its answer (the text it wrote, its result). Without: " " and true.
    bool valueLookup(QString& text, int value);
    // Builds the text for `value` into `text` (see docs/textslider.md for the rules); leaves
    // `text` as it was where nothing can be formatted.
    void stringForValue(int value, QString& text);
    QString text() const { return valueText; }

    // Refreshes from the memory and rebuilds the text and the face (bound controls only).
    void forceUpdate();
    // The start of a drag: the value and the pointer position at the press.
    void setValueBase(int value, int x, int y);
    // The value the pointer at `p` drags to from the press.
    int valueFromPoint(const QPoint& p) const;
    // Erases the widget with the painter's background and draws the text (grey when disabled
    // and greyOnDisable) and, while focused with enableFocusRect, the dotted focus frame.
    void repaintScreenPrimitive(QPainter& p);
    // Installs `pm` as the face, or, without one, renders the control into a face of its size
    // and installs that. Neither schedules a repaint.
    void updateErasePixmap(QPixmap* pm);
    // Clears the lookup function and restores wheel focus.
    void initWidget();

    // The two pointer shapes of click stepping (16 x 16, hot spot at the centre).
    static QCursor upArrowCursor();
    static QCursor downArrowCursor();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Refresh from the memory. operation: 0 memory changed, 1 default, 2 paste the record in
    // `data` (a QDataStream*), 3 copy a record into `data`. Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    void setTableId(int id);
    void setUseTableId(bool on);
    void setEditable(bool on);
    void setEditFormat(const QString& format);
    void setMatchValue(int value);
    void setGreyOnDisable(bool on);
    virtual void setValue(int value);
    void addLine();
    void subtractLine();
    void addPage();
    void subtractPage();
    // Stores the text shown; neither rebuilds the face nor repaints.
    void setValueText(QString text);
    // Off: a drag changes nothing until the release.
    virtual void setTracking(bool on);
    void setValueLabel(const QString& label);
    void setFormatLabel(const QString& format);
    void setMatchLabel(const QString& label);
    void setRangeDiv(int div);
    // A typed number: scaled to a value (or through the value table) and applied. Bound only.
    void acceptNum(double number);
    void setEnableFocusRect(bool on);

signals:
    void valueChanged(int value);
    void dialPressed();
    void dialMoved(int value);
    void dialReleased();

protected:
    void valueChange() override;
    void rangeChange() override;
    // Paints repaintScreenPrimitive straight on the screen, leaving the face as it is (until the
    // next rebuild). The rectangle is not used.
    virtual void repaintScreen(const QRect* rect = nullptr);

    void polish() override;
    void devicePixelRatioChange() override;
    void enabledChange(bool oldEnabled) override;
    void windowActivationChange(bool oldActive) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void init();
    // Rebuilds the text and the face and schedules a repaint.
    void refreshFace();

    CTextSliderPrivate* d;
    QString valueText;
    LookupFunc lookupFunc = nullptr;
    CTextSlider_PD* pd;
};

// CFader_Orvel ("CFader" to the meta-object system): the parameter-bound fader.
//
// A range slider (CSlider_Orvel) whose range and value mirror one parameter of the parameter
// memory, drawn from a background pixmap and a thumb strip (nSubImages rows: row 0 the normal
// thumb, the last row the disabled look). The memory may map values to thumb positions itself
// (positionForValue / valueForPosition); otherwise the linear mapping of the range applies,
// optionally reversed (flipValues). It reports its value as a display text only, writes user
// edits back, and does not read them back. See docs/fader.md.
#pragma once

#include "fadernames.h"

#include "../binding/memproxy.h"
#include "../sliders/cslider.h"

#include <QColor>
#include <QPixmap>
#include <QString>

class CFaderTip;
class QPainter;
struct CFader_PD;

class ORVELKIT_EXPORT CFader : public CSlider, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(QPixmap thumbImage READ thumbImage WRITE setThumbImage)
    Q_PROPERTY(bool flipValues READ flipValues WRITE setFlipValues)
    Q_PROPERTY(int tableId READ tableId WRITE setTableId)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)
    Q_PROPERTY(QColor focusColor READ focusColor WRITE setFocusColor)
    Q_PROPERTY(bool numberToolTip READ numberToolTip WRITE setNumberToolTip)
    Q_PROPERTY(QPixmap pixmap READ pixmap WRITE setPixmap)

public:
    // Range 0..1023, page step 10, value 0, vertical, wheel focus, unbound. The name argument
    // is not used: the fader has no object name until the host gives it one.
    explicit CFader(QWidget* parent = nullptr, const char* name = nullptr);
    ~CFader() override;

    // ---- slider geometry and mapping ----
    // The thumb: one row of thumbImage at handlePos; the style's handle without a usable thumb.
    QRect sliderRect() const override;
    // flipValues: reverses the value direction (max - v on ranges from 0 up, -v on ranges
    // across 0, -|max - min| - v on ranges at or below 0). Its own inverse.
    int applyFlipedTransformation(int value, int minValue, int maxValue) const override;
    int getSlideLength() const override;
    int getSlideThickness() const override;
    int available() const override;
    int tableId() const override;

    // ---- binding ----
    void connectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;

    // ---- designer properties ----
    int nSubImages() const;
    QPixmap thumbImage() const;
    bool flipValues() const;
    QColor focusColor() const;
    bool numberToolTip() const;
    QPixmap pixmap() const;
    bool usesDisabledImage() const;
    // The spelling uic uses for setnSubImages when a form does not mark it stdset="0".
    void setNSubImages(int value) { setnSubImages(value); }

    // Installs `pm` as the erase face, or, without one, renders the fader into a face of its
    // size and installs that. Neither schedules a repaint.
    void updateErasePixmap(QPixmap* pm);
    QSize sizeHint() const override;

public slots:
    // Refresh from the memory (operation: 0 memory changed, 1 default, 2 paste the record in
    // `data`, 3 copy a record into `data`, 4 alternative default). Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    void setThumbImage(const QPixmap& image);
    void setFlipValues(bool on);
    void setTableId(int value);
    void setFocusColor(const QColor& color);
    void setNumberToolTip(bool value);
    // Five bits: 32 reads back as 0, 33 as 1.
    void setnSubImages(int value);
    // Draws the thumb's last row although the fader is enabled.
    void useDisabledImage(bool on);
    // Emits the display text (and gives it to the tooltip); nothing while signals are blocked.
    void emit_textualValueChange();
    // A typed number: valueFromNumber(tableId, number), an undo step when undo is on, setValue.
    void acceptNum(double value);
    void setPixmap(const QPixmap& background);

signals:
    void textualValueChange(const QString& text);

protected:
    void valueChange() override;
    int positionFromValue(int value) const override;
    int valueFromPosition(int position) const override;
    // Background, then the thumb row for the state (or the focus look) at handlePos.
    void repaintScreenPrimitive(QPainter& p);

    void polish() override;
    void devicePixelRatioChange() override;
    void paintEvent(QPaintEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void windowActivationChange(bool oldActive) override;

private:
    bool mappedByMemory() const;

    CFader_PD* pd;
};

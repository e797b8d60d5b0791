// StateDisplayWidget_Orvel ("StateDisplayWidget" to the meta-object system): a passive lamp
// bound to one parameter.
//
// It shows one slice of a vertical image strip (`combinedImage`, `nSubImages` equal slices),
// chosen by the parameter's value: directly (value = slice number, capped to the last slice) or,
// with `booleanLogic`, as a two-state lamp (slice 1 when the value equals `cmpValue`, else 0).
// The picture is rendered into the widget's background face once per change. A left click
// emits the control's channel number (its address low + low offset). See docs/status.md.
#pragma once

#include "statusnames.h"

#include "../binding/compat/widget.h"
#include "../binding/memproxy.h"

#include <QFrame>
#include <QPixmap>

class ORVELKIT_EXPORT StateDisplayWidget : public Qt3::Widget<QFrame>, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(bool booleanLogic READ booleanLogic WRITE setBooleanLogic)
    Q_PROPERTY(int cmpValue READ cmpValue WRITE setCmpValue)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setCombinedImage)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)

public:
    // Unbound, one slice, no value shown yet, undo off, click focus. `name` becomes the object
    // name when given.
    explicit StateDisplayWidget(QWidget* parent = nullptr, const char* name = nullptr);
    ~StateDisplayWidget() override;

    // ---- binding ----
    // Registers with the memory and shows its current value (silently).
    void connectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;

    // ---- designer properties ----
    bool booleanLogic() const { return d.booleanLogic; }
    int cmpValue() const { return d.cmpValue; }
    QPixmap combinedImage() const { return d.combinedImage; }
    // 0..255: the setter keeps the low 8 bits.
    int nSubImages() const { return d.nSubImages; }
    // The spelling uic uses for setnSubImages when a form does not mark it stdset="0".
    void setNSubImages(int value) { setnSubImages(value); }

    // The last value shown (INT_MIN + 1 before the first).
    int value() const { return d.value; }
    // The slice shown for `v`; -1 when the strip has no slices (nSubImages 0).
    int pixmapId(int v) const;
    // Draws the slice of the current value at the widget's origin.
    void repaintScreenPrimitive(QPainter& p);
    // Installs `pm` as the background face, or with null renders the face from the strip.
    void updateErasePixmap(QPixmap* pm);

public slots:
    // Memory notice: operation 0 shows the memory's value; other operations are ignored. Any
    // thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    // Shows `value`: only on the GUI thread and only when it differs from the last one.
    void setValue(int value);
    // Writes `value` to the memory as a user edit; the lamp follows when the memory's notice
    // comes back.
    void setValueFromData(int value);
    void setBooleanLogic(bool v);
    void setCmpValue(int v);
    // Both store only (the picture follows at the next value change or polish); the size hint
    // follows at once.
    void setCombinedImage(const QPixmap& strip);
    void setnSubImages(int value);

signals:
    void clicked(int channelNumber);

public:
    // One slice of the strip (the size polish fixes); the frame's own hint without a strip. So a
    // layout gives a lamp its room before the first polish, as in Qt Designer, which sets a
    // form's strips after showing it.
    QSize sizeHint() const override;

protected:
    void polish() override;
    void devicePixelRatioChange() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    // One slice of the strip in logical pixels; empty without a strip or with no slices.
    QSize sliceSize() const;

    struct StateDisplayWidget_PD
    {
        int cmpValue = 0;
        bool booleanLogic = false;
        quint8 nSubImages = 1;
        QPixmap combinedImage;
        int value = -2147483647; // 0x80000001: any other first value is drawn
        bool pressed = false;
    };
    StateDisplayWidget_PD d;
};

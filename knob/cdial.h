// CDial_Orvel ("CDial" to the meta-object system): the rotary knob.
//
// A QDial whose range and value mirror one parameter of the parameter memory, drawn entirely
// from an image strip (`combinedImage`: nImageCategories columns of looks by nSubImages rows of
// positions). It follows memory changes (process(), possibly on worker threads), writes user
// edits back with undo, and reports every new value as the raw value, a display text or a
// display pixmap. It is turned by dragging around its centre (or along the screen axes in the
// shared vertical mode), by the wheel, by keys and by typed numbers (acceptNum). See
// docs/knob.md.
#pragma once

#include "knobnames.h"

#include "../binding/compat/dial.h"
#include "../binding/memproxy.h"

#include <QColor>
#include <QPixmap>
#include <QString>

class CDialTip;
class QPainter;
struct CDial_PD;

class ORVELKIT_EXPORT CDial : public Qt3::Dial, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setCombinedImage)
    Q_PROPERTY(int tableId READ tableId WRITE setTableId)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(int nImageCategories READ nImageCategories WRITE setnImageCategories)
    Q_PROPERTY(bool disableAutoHide READ disableAutoHide WRITE setDisableAutoHide)
    Q_PROPERTY(QColor focusColor READ focusColor WRITE setFocusColor)
    Q_PROPERTY(bool numberToolTip READ numberToolTip WRITE setNumberToolTip)
    Q_PROPERTY(int disabledImageIndex READ disabledImageIndex WRITE setdisabledImageIndex)
    Q_PROPERTY(bool transparent READ transparent WRITE setTransparent)
    Q_PROPERTY(bool inverted READ inverted WRITE setInverted)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)
    // QDial's range properties, re-declared so that forms and setProperty() reach the Qt 3
    // range model (the inherited ones would write the QAbstractSlider state only).
    Q_PROPERTY(int minimum READ minimum WRITE setMinimum)
    Q_PROPERTY(int maximum READ maximum WRITE setMaximum)
    Q_PROPERTY(int singleStep READ singleStep WRITE setSingleStep)
    Q_PROPERTY(int pageStep READ pageStep WRITE setPageStep)
    Q_PROPERTY(int value READ value WRITE setValue USER true)

public:
    // Range -559038801..2125315823, page step 10, value -559038801, wheel focus, no wrapping,
    // unbound. `name` becomes the object name when given.
    explicit CDial(QWidget* parent = nullptr, const char* name = nullptr);
    ~CDial() override;

    // ---- binding ----
    void connectMemAPI() override;
    void disconnectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;
    bool disableAutoHide() const override;
    // Writes value() to the memory as a user edit and returns what the memory then holds;
    // value() unchanged when no memory is attached.
    virtual int changeMemApiValue();
    // Emits the value signals (memoryAPIValueChange, then textualValueChange or
    // pixmapValueChange, then altAddressMode) and repaints; with `writeBack` and `silent` zero
    // it first writes the value to the memory. Deferred while the knob's signals are blocked.
    void emitValueChanges(bool writeBack);
    // emitValueChanges() on the GUI thread; nothing elsewhere.
    void triggerEmitValueChanged(bool writeBack);

    // ---- designer properties ----
    QPixmap combinedImage() const;
    int tableId() const;
    int nSubImages() const;
    int nImageCategories() const;
    QColor focusColor() const;
    bool numberToolTip() const;
    int disabledImageIndex() const;
    bool transparent() const;
    bool inverted() const;
    // The spellings uic uses for the lower-case setters when a form does not mark them stdset="0".
    void setNSubImages(int value) { setnSubImages(value); }
    void setNImageCategories(int value) { setnImageCategories(value); }
    void setDisabledImageIndex(int value) { setdisabledImageIndex(value); }

    // ---- image strip ----
    // The strip row that shows the current value (see docs/knob.md).
    int currentIndex() const;
    // The selected look (column), -1 until set.
    int currentImage() const;
    // A row index for `v` on a fixed 31-row attenuator scale (not used by the knob itself).
    int getAttKnobIndex(int v) const;
    // Renders the knob into a pixmap and installs it as the erase face, shared through
    // QPixmapCache under the cache server's caption. Only once polished; the argument is unused.
    void updateErasePixmap(QPixmap* unused = nullptr);
    QSize sizeHint() const override;

    // ---- pointer geometry ----
    static void setVerticalMode(bool on);
    static bool verticalMode();
    static double Degree(double radians);
    static double Radian(double degrees);
    double CnvAngle(double angle) const;
    // Angle of (x, y) around the drag centre, clockwise from 12 o'clock; false at the centre.
    bool CalcAngle(double x, double y, double& out) const;
    // The angle between two vectors, 0..pi.
    double CalcVectorAngle(double x1, double y1, double x2, double y2) const;
    // Intersection of segment 1-2 with segment 3-4.
    bool CalcIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                          double x4, double y4, double& x, double& y);
    // The indicator angle in degrees.
    double GetAngle() const;
    // Records the start of a drag; returns the indicator angle in degrees.
    double mousePressMoveStart(QMouseEvent* e, double startDeg, double endDeg, bool absolute);
    // Follows the pointer; returns the new indicator angle in degrees.
    double mousePressMoveTrace(QMouseEvent* e);

public slots:
    void setInverted(bool on);
    void addLine();
    void subtractLine();
    void addPage();
    void subtractPage();
    // Refresh from the memory. operation: 0 memory changed, 1 default, 2 paste the record in
    // `data` (a QDataStream*), 3 copy a record into `data`, 4 alternative default. `extra` 1
    // asks for the change signals even when the value did not move. Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    void handle_changeAltNamedValue(int value);
    void setCombinedImage(const QPixmap& strip);
    void setTableId(int value);
    void setnSubImages(int value);
    void setnImageCategories(int value);
    void setFocusColor(const QColor& color);
    void setNumberToolTip(bool value);
    void changeAltAddressMode(bool on);
    void setDisableAutoHide(bool tf);
    void setdisabledImageIndex(int index);
    void setTransparent(bool on);
    void acceptNum(double value);
    void setfxValueTransform(bool on);
    void setCurrentImage(int id);
    // The Qt 3 dial's virtual setValue slot, re-declared so that connections by signature reach
    // the range model.
    void setValue(int value) override;

signals:
    void altAddressMode(bool atMinimum);
    void memoryAPIValueChange(int value);
    void textualValueChange(const QString& text);
    void pixmapValueChange(const QPixmap& pixmap);
    void dialPressed();
    void dialMoved(int value);
    void dialReleased();

protected:
    void valueChange() override;
    virtual void repaintScreen(const QRect* rect = nullptr);
    void repaintScreenPrimitive(QPainter& p);

    void polish() override;
    void devicePixelRatioChange() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEventInternal(QMouseEvent* e);
    void mouseMoveEventInternal(QMouseEvent* e);
    void mouseReleaseEventInternal(QMouseEvent* e);
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
    virtual void updateMask();
    void enabledChange(bool oldEnabled) override;
    void windowActivationChange(bool oldActive) override;

private:
    // Steps the value by `n` lines/pages on the -7 display table (stepScale arithmetic).
    void stepOnScaleTable(qint64 n);
    // The value step of a drag: the angle `a` (degrees, -135 at the minimum) to a value.
    void setValueFromAngle(double a);
    static void emitDeferred(QObject* target);

    CDial_PD* d;
    static bool s_VerticalMode;
};

// CRadioButton_Orvel ("CRadioButton" to the meta-object system): a radio button that stands for
// one value (`onValue`) of a parameter.
//
// Several radio buttons bound to one parameter, usually in an exclusive QButtonGroup, form a
// selector: the one whose onValue equals the memory value is on and is the only one that takes
// keyboard focus; clicking (or focusing) a button writes its onValue. The button draws itself
// from an off, a tracking and an on image, or from a strip of at least three rows (on, off,
// tracking), and falls back to the style's radio look without images. See docs/buttons.md.
#pragma once

#include "buttonnames.h"

#include "../binding/compat/button.h"
#include "../binding/memproxy.h"

#include <QPixmap>

class QTimer;

class ORVELKIT_EXPORT CRadioButton : public Qt3::Button<QRadioButton>, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(QPixmap offState READ offState WRITE setOffState)
    Q_PROPERTY(QPixmap trackingState READ trackingState WRITE setTrackingState)
    Q_PROPERTY(QPixmap onState READ onState WRITE setOnState)
    Q_PROPERTY(int onValue READ onValue WRITE setOnValue)
    Q_PROPERTY(int clickDelay READ clickDelay WRITE setClickDelay)
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setCombinedImage)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)

public:
    // Off, NoFocus, unbound. The name is not used (Qt 3 forms passed it; the form sets the
    // object name itself).
    explicit CRadioButton(QWidget* parent = nullptr, const char* name = nullptr);
    ~CRadioButton() override;

    // ---- binding ----
    void connectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;

    // ---- designer properties ----
    QPixmap offState() const { return m_offState; }
    QPixmap trackingState() const { return m_trackingState; }
    QPixmap onState() const { return m_onState; }
    int onValue() const { return m_onValue; }
    int clickDelay() const { return m_clickDelay; }
    QPixmap combinedImage() const { return m_combinedImage; }
    int nSubImages() const { return m_nSubImages; }
    // The spelling uic uses for the lower-case setter when a form does not mark it stdset="0".
    void setNSubImages(int count) { setnSubImages(count); }

    // A press is in progress or the click delay runs.
    bool isTracking() const { return m_tracking; }

public slots:
    // Refresh from the memory: 0 memory changed, 1 default, 2 paste the record in `data`,
    // 3 copy a record into `data` (and refresh). The third argument is not used. Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    // Also fixes the widget's size to the image's.
    void setOffState(const QPixmap& pixmap);
    void setTrackingState(const QPixmap& pixmap);
    void setOnState(const QPixmap& pixmap);
    void setOnValue(int value);
    void setClickDelay(int ms);
    void setCombinedImage(const QPixmap& strip);
    void setnSubImages(int count);
    // 2: the user switched the button on (write onValue); anything else: follow the memory.
    void handleStateChanged(int state);

signals:
    void stateChanged(int state);

protected slots:
    void clickDelayDone();

protected:
    void emitStateChanged(int state) override;
    void nextCheckState() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void windowActivationChange(bool oldActive) override;
    bool hitButton(const QPoint& pos) const override;
    void drawButton(QPainter* p) override;

private:
    // Switches an off button on for the user: writes onValue first, so that the button the
    // group switches off already sees the new value, then checks the button.
    void switchOnByUser(bool viaClick);

    QPixmap m_offState;
    QPixmap m_trackingState;
    QPixmap m_onState;
    QPixmap m_combinedImage;
    int m_nSubImages = 0;
    int m_onValue = 0;
    bool m_tracking = false;
    QTimer* m_clickTimer = nullptr;
    int m_clickDelay = 100;
    bool m_written = false; // onValue was written ahead of the switch on
};

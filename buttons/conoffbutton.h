// COnOffButton_Orvel ("COnOffButton" to the meta-object system): the two-state image button.
//
// A toggle push button bound to one parameter. Its looks are cut from one image strip
// (`combinedImage`: nImageCategories columns of looks by nSubImages rows: on, off, tracking,
// disabled) into a private record that buttons with the same object name and a one-column strip
// share through the window's TCacheServer. The memory value switches it on or off (process), a
// user toggle writes the value back (handleStateChanged). With boolClipValue N it stands for
// the value N - 1 of a parameter shared with other buttons. It can also follow a
// CSimpleNotifier_Orvel or a plain value (setNonBoolValue). The popup selector derives from it.
// See docs/buttons.md.
#pragma once

#include "buttonnames.h"

#include "../binding/compat/button.h"
#include "../binding/memproxy.h"
#include "../binding/notifier.h"
#include "../binding/services.h"

#include <QColor>
#include <QPixmap>
#include <QPointer>
#include <QString>

class QPainter;

class ORVELKIT_EXPORT COnOffButton : public Qt3::Button<QPushButton>, public TMemProxy
{
    Q_OBJECT
    Q_PROPERTY(bool invertedLogic READ invertedLogic WRITE setInvertedLogic)
    Q_PROPERTY(int boolClipValue READ boolClipValue WRITE setBoolClipValue)
    Q_PROPERTY(bool hasOffState READ hasOffState WRITE setHasOffState)
    Q_PROPERTY(bool disabledUI READ disabledUI WRITE setDisabledUI)
    Q_PROPERTY(bool disableAutoHide READ disableAutoHide WRITE setDisableAutoHide)
    Q_PROPERTY(bool hasDisableImage READ hasDisableImage WRITE setHasDisableImage)
    Q_PROPERTY(bool useTrackingImage READ useTrackingImage WRITE setUseTrackingImage)
    Q_PROPERTY(TOnOffStateTrigger offStateTrigger READ offStateTrigger WRITE setOffStateTrigger)
    Q_PROPERTY(TOnOffStateTrigger onStateTrigger READ onStateTrigger WRITE setOnStateTrigger)
    Q_PROPERTY(QString namedAddress READ namedAddress WRITE setNamedAddress)
    Q_PROPERTY(bool undoEnable READ isUndoEnable WRITE setUndoEnable)
    Q_PROPERTY(int numDefaultKind READ numDefaultKind WRITE setNumDefaultKind)
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setCombinedImage)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(int nImageCategories READ nImageCategories WRITE setnImageCategories)
    Q_PROPERTY(QColor focusColor READ focusColor WRITE setFocusColor)
    // The Qt 3 button pixmap: the canvas the strip cells are centred on (Qt 6 buttons have none).
    Q_PROPERTY(QPixmap pixmap READ pixmap WRITE setPixmap)
    Q_PROPERTY(bool imagesSwapped READ imagesSwapped WRITE setimagesSwapped)

public:
    // When an off button switches on (onStateTrigger) and an on button off (offStateTrigger).
    // A fixed underlying type: a form or setProperty() may store any int here (anything but
    // buttonPush triggers on release).
    enum TOnOffStateTrigger : int { buttonRelease = 0, buttonPush = 1 };
    Q_ENUM(TOnOffStateTrigger)

    // The private record: settings and cut images, shareable through a TCacheServer. Every
    // button that shares a record shares all of it.
    struct ORVELKIT_EXPORT COnOffButton_PD_Orvel : public TCachedData
    {
        COnOffButton_PD_Orvel();
        // An unshared copy of every setting and image (use count 0, null key).
        COnOffButton_PD_Orvel* clone() const;

        TOnOffStateTrigger onStateTrigger = buttonRelease;
        TOnOffStateTrigger offStateTrigger = buttonRelease;
        qint32 boolClipValue = 0; // 0: boolean; N: the button stands for the value N - 1
        QPixmap combinedImage;
        QPixmap images[4]; // 0 on, 1 off (rows 0 and 1 of the strip), 2 tracking, 3 disabled
        QColor focusColor;
        unsigned invertedLogic : 1;
        unsigned disableAutoHide : 1;
        unsigned hasDisableImage : 1;
        unsigned useTrackingImage : 1;
        unsigned imagesSwapped : 1;
        unsigned hasOffState : 1;
        quint8 nSubImages = 0;
        quint8 nImageCategories = 1;
    };

    // A toggle button, unbound, with a fresh record whose cache key is `name` (also the object
    // name when given).
    explicit COnOffButton(QWidget* parent = nullptr, const char* name = nullptr);
    ~COnOffButton() override;

    // ---- binding ----
    void connectMemAPI() override;
    void disconnectMemAPI() override;
    QString namedAddress() const override;
    bool isUndoEnable() const override;
    int numDefaultKind() const override;
    bool disabledUI() const override;
    bool disableAutoHide() const override;
    virtual TOnOffStateTrigger onStateTrigger() const;
    virtual TOnOffStateTrigger offStateTrigger() const;
    // The image that shows the button's state now (see docs/buttons.md for the rules).
    virtual QPixmap staticPixmap();
    // A blinking button follows the memory's state flag instead of its toggle state. Never here.
    virtual bool blinkingMode() const;

    // ---- designer properties ----
    bool invertedLogic() const;
    int boolClipValue() const;
    bool hasOffState() const;
    bool hasDisableImage() const;
    bool useTrackingImage() const;
    QPixmap combinedImage() const;
    int nSubImages() const;
    int nImageCategories() const;
    QColor focusColor() const;
    bool imagesSwapped() const;
    QPixmap pixmap() const;
    void setPixmap(const QPixmap& pixmap);
    // The spellings uic uses for the lower-case setters when a form does not mark them stdset="0".
    void setNSubImages(int value) { setnSubImages(value); }
    void setNImageCategories(int value) { setnImageCategories(value); }
    void setImagesSwapped(bool on) { setimagesSwapped(on); }

    // ---- other operations ----
    // Marks the next paint as forced and sets `tracking`.
    void setClicked(bool on);
    // Drops every connection of this button's signals to its own handleStateChanged(int).
    void disconnectAutomaticObserver();
    // Draws the button's look with `p`: focus hilite, grey look or the state image.
    void repaintScreenPrimitive(QPainter& p);
    // Rebuilds the face the button is erased with. The argument is not used.
    void updateErasePixmap(QPixmap* unused = nullptr);
    // Applies a value-derived state: `on` for operations up to 2, without writing back.
    void handleProcessChange(int operation, bool on, bool force);
    // The column of the strip in use.
    int currentImageId() const { return currentImage; }
    // The record in use and whether the cache owns it (for hosts and tests).
    const COnOffButton_PD_Orvel* record() const { return pd; }
    bool recordFromCache() const { return pdFromCache; }

public slots:
    // Refresh from the memory (or the notifier). operation: -1 `extra` is the value itself,
    // 0 memory changed, 1 default, 2 paste the record in `data`, 3 copy a record into `data`;
    // others do nothing. `extra` non-zero (operations 0 to 2) forces a new face. Any thread.
    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    void setNamedAddress(const QString& name) override;
    void setUndoEnable(bool on) override;
    void setNumDefaultKind(int kind) override;
    // A state change (from the user or from process) to the memory or the notifier.
    virtual void handleStateChanged(int state);
    void setInvertedLogic(bool on);
    void setBoolClipValue(int value);
    void setHasOffState(bool on);
    void setDisabledUI(bool on) override;
    void updateErasePixmapSlot();
    void setDisableAutoHide(bool on);
    void setOnStateTrigger(const TOnOffStateTrigger trigger);
    void setOffStateTrigger(const TOnOffStateTrigger trigger);
    void setCombinedImage(const QPixmap& strip);
    void setnSubImages(int count);
    void setnImageCategories(int count);
    void setFocusColor(const QColor& color);
    void setHasDisableImage(bool on);
    void setUseTrackingImage(bool on);
    void setimagesSwapped(bool on);
    // Cuts the strip into the record's images and fixes the button's size (see docs/buttons.md).
    void reloadImage();
    // The state for `value` as if it came from the memory; nothing is written.
    void setNonBoolValue(int value);
    void setSelectionObject(CSimpleNotifier* notifier);
    // Selects strip column `id` (0 <= id < nImageCategories) and cuts it.
    void setCurrentImage(int id);

signals:
    // Declared for hosts that connect to it; the button itself never emits it.
    void valueChanged(int value);
    void stateChanged(int state);

protected slots:
    void clickDelayDone();

protected:
    void emitStateChanged(int state) override;
    bool event(QEvent* e) override;
    void polish() override;
    void devicePixelRatioChange() override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void enabledChange(bool oldEnabled) override;
    bool hitButton(const QPoint& pos) const override;
    void drawButton(QPainter* p) override;

    // The state image: rule 4 of staticPixmap (on or off, by imagesSwapped).
    QPixmap stateImage() const;
    // True when (state Off and onStateTrigger is buttonPush) or (On and offStateTrigger is).
    bool pushTriggers();
    // The value the button stands for: boolClipValue - 1, or 1 for a boolean button.
    int onValueOf() const;
    // The proxy whose address requests use: the notifier's when one is set.
    TMemProxyBasic* addressProxy();

    COnOffButton_PD_Orvel* pd;
    unsigned pdFromCache : 1;
    unsigned tracking : 1;
    unsigned forceRedraw : 1;
    qint16 currentImage;
    QPointer<CSimpleNotifier> selectionObject;

private:
    // Leaves a shared record for an own copy when the button moved away from its server.
    void followServer();

    // The focus or grey look of `source`, built once and kept until the source image, the kind
    // of look or the colour changes (a focused button repaints its look on every paint).
    QPixmap composedLook(const QPixmap& source, bool grey);

    const TCacheServer* m_server = nullptr; // compared only, never dereferenced
    QPixmap m_pixmap;
    struct Look
    {
        QPixmap pixmap;
        qint64 sourceKey = 0;
        bool grey = false;
        QColor colour;
    } m_look;
};

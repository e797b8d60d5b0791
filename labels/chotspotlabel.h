// CHotspotLabel_Orvel ("CHotspotLabel") and EditorOpener_Orvel ("EditorOpener").
//
// A hotspot label is a value label display with a clickable rectangle (hotSpot, widget
// coordinates): a press of one of hotButtons strictly inside it emits hotspotClicked(), a
// left double click strictly inside emits hotspotDoubleClicked() and
// hotspotDoubleClicked(ButtonState), and with a valid focusColor and the focus, Space or Return
// click it from the keyboard. The label's numeric entry is not available on a hotspot label.
//
// An editor opener is attached to such a label by the host: on a double click in the hotspot
// (with exactly the required modifier keys) it asks the memory of a bound control for its
// editor factory, creates the editor identified by a GUID, sets the editor's "channel" property
// to the control's low address plus an offset, shows it and gives it the focus.
// See docs/labels.md.
#pragma once

#include "clabeldisplay.h"

#include "../binding/compat/qt3types.h"
#include "../binding/memproxy.h"
#include "../binding/services.h"

#include <QObject>
#include <QPointer>
#include <QRect>

class ORVELKIT_EXPORT CHotspotLabel : public CLabelDisplay
{
    Q_OBJECT
    Q_PROPERTY(QRect hotSpot READ hotSpot WRITE setHotSpot)
    // The mouse buttons among the Qt 3 button state, as a flag set forms can carry.
    Q_PROPERTY(HotButtons hotButtons READ hotButtonFlags WRITE setHotButtons)

public:
    // Qt 3 button state (mouse buttons and modifier keys in one int), as signals carry it.
    using ButtonState = Qt3::ButtonState;
    // The mouse-button bits of ButtonState, for the designer property.
    enum HotButton { LeftButton = Qt3::LeftButton, RightButton = Qt3::RightButton, MidButton = Qt3::MidButton };
    Q_DECLARE_FLAGS(HotButtons, HotButton)
    Q_FLAG(HotButtons)

    // The name is not used: the label has no object name.
    explicit CHotspotLabel(QWidget* parent = nullptr, const char* name = nullptr);
    ~CHotspotLabel() override;

    QRect hotSpot() const { return m_hotSpot; }
    ButtonState hotButtons() const { return m_hotButtons; }
    HotButtons hotButtonFlags() const { return HotButtons(int(m_hotButtons) & Qt3::MouseButtonMask); }
    // The form spelling of setHotButtons(ButtonState).
    void setHotButtons(HotButtons buttons) { setHotButtons(ButtonState(int(buttons))); }

public slots:
    // Stores the rectangle; no repaint.
    void setHotSpot(const QRect& rect);
    // Stores the buttons whose press counts as a click.
    void setHotButtons(ButtonState buttons);

signals:
    void hotspotClicked();
    void hotspotDoubleClicked();
    // `modifiers`: the buttons and modifier keys held before the double click.
    void hotspotDoubleClicked(ButtonState modifiers);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QRect m_hotSpot;
    ButtonState m_hotButtons = Qt3::LeftButton;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(CHotspotLabel::HotButtons)

class ORVELKIT_EXPORT EditorOpener : public QObject
{
    Q_OBJECT

public:
    using ButtonState = Qt3::ButtonState;
    // Any modifier state opens (the required state with all bits set).
    static constexpr int AnyModifiers = -1;

    // A child of `label` (it lives as long as the label). With a label and a proxy, the label's
    // hotspotDoubleClicked() opens the editor with the modifiers held at that moment. `proxy` is
    // not owned; when it is part of a QObject (a bound control), the opener notices its deletion
    // and then opens nothing.
    EditorOpener(CHotspotLabel* label, TMemProxy_Orvel* proxy, const OV_GUID& editorGuid, int editorKind,
                 ButtonState requiredModifiers, int channelOffset);
    ~EditorOpener() override;

    const OV_GUID& editorGuid() const { return m_editorGuid; }
    int editorKind() const { return m_editorKind; }
    ButtonState requiredModifiers() const { return m_requiredModifiers; }
    int channelOffset() const { return m_channelOffset; }
    // The proxy, or null once the control it belongs to was deleted.
    TMemProxy_Orvel* proxy() const;

public slots:
    // Opens the editor when `modifiers` equals the required state (or any is accepted).
    void openAnEditor(ButtonState modifiers);
    // openAnEditor(the modifier keys held now).
    void openAnEditor();

private:
    OV_GUID m_editorGuid;
    int m_editorKind;
    ButtonState m_requiredModifiers;
    TMemProxy_Orvel* m_proxy;
    int m_channelOffset;
    // The QObject the proxy is part of, when it is one: its deletion clears the proxy.
    QPointer<QObject> m_proxyOwner;
    bool m_proxyIsObject = false;
};

// Editor conveniences for parameter-bound controls: reset by Ctrl-click (Cmd-click on macOS),
// a context menu (copy value, paste value, reset to default, reset to alternative default, undo,
// redo) and copy/paste of a parameter through the system clipboard.
//
// Two layers:
// - static functions any host can call for one proxy (a menu bar's Edit menu, a shortcut):
//       TEditorConveniences_Orvel::copyToClipboard(memProxyOf(focusWidget()));
// - a per-host object that attaches an event filter to bound controls and turns their clicks
//   and context-menu requests into those operations:
//       auto* conveniences = new TEditorConveniences_Orvel(memory.undoStack(), panel);
//       conveniences->attachAll(panel);
//
// Everything goes through the control's own `process` operations (1 reset to default, 4 reset
// to alternative default, 2 paste a record, 3 copy a record), so each control applies the value
// its own way and writes it back as an ordinary, undoable edit. Controls that give the right
// button or Ctrl-clicks a meaning of their own keep it (classRule()). GUI thread only.
// See docs/conveniences.md.
#pragma once

#include "orvelkit_global.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QMenu;
class QMouseEvent;
class QPoint;
class QUndoStack;
class QWidget;
class TMemProxyBasic;

class ORVELKIT_EXPORT TEditorConveniences_Orvel : public QObject
{
    Q_OBJECT

public:
    // What the event filter takes from one class of control (and its subclasses).
    struct ClassRule
    {
        bool resetClick = true;       // a Ctrl+left press resets the parameter
        bool menuOnRightPress = true; // a right press opens the context menu
        bool menuOnKey = true;        // the context-menu key (or a keyboard context-menu request) does
        bool alternativeReset = true; // `process` honours operation 4: the menu may offer it
        // Whether anything at all is taken (a control whose rule takes nothing is not attached).
        bool takesAnything() const { return resetClick || menuOnRightPress || menuOnKey; }
    };

    enum PasteResult {
        Pasted,         // the control received the record through process operation 2
        NotReady,       // no proxy, or its memory is not ready / the address did not resolve
        NoRecord,       // the clipboard holds no parameter record
        CorruptRecord,  // the record is truncated, foreign, damaged or followed by stray bytes
        RejectedRecord, // the parameter does not accept a record of that address
    };
    Q_ENUM(PasteResult)

    // The clipboard format of a parameter record (docs/records.md gives the bytes).
    static const char* const MimeType; // "application/x-orvelkit-parameter"

    // ---- for any host: one proxy (null and unready proxies do nothing) ----

    // The record of the parameter's current value (process operation 3); empty when the proxy
    // is not ready or its control writes no record.
    static QByteArray copyRecord(TMemProxyBasic* proxy);
    // Puts the record on the clipboard under MimeType, with `text` (or, when null, parameterText)
    // as its plain text. False, and the clipboard untouched, when there is no record.
    static bool copyToClipboard(TMemProxyBasic* proxy, const QString& text = QString());
    // Pastes a record (process operation 2) once it decodes as exactly one record and the memory
    // accepts its address for this parameter; otherwise nothing is called on the control.
    static PasteResult pasteRecord(TMemProxyBasic* proxy, const QByteArray& record);
    static PasteResult pasteFromClipboard(TMemProxyBasic* proxy);
    // The record bytes on the clipboard (empty when there are none) and whether they decode.
    static QByteArray clipboardRecord();
    static bool clipboardHasRecord();
    // Resets the parameter: kind 1 the alternative default (operation 4), any other kind the
    // default (operation 1). The one-argument form takes the kind from numDefaultKind(). The
    // memory is asked to begin a new undo step first, so a reset never merges into the edit
    // before it. False when the proxy is not ready.
    static bool resetParameter(TMemProxyBasic* proxy);
    static bool resetParameter(TMemProxyBasic* proxy, int kind);
    static int resetOperation(int kind) { return kind == 1 ? 4 : 1; }
    // Whether the parameter has an alternative default of its own.
    static bool hasAlternativeDefault(TMemProxyBasic* proxy);
    // The parameter's display text: display table -1 of the memory, else the decimal value.
    static QString parameterText(TMemProxyBasic* proxy);

    // ---- the per-class rules ----

    // The rule of the most derived class of `control` that has one (meta-object class names:
    // "CDial", "CTextSlider", ...); classes without one take everything.
    static ClassRule classRule(const QObject* control);
    // Adds or replaces the rule of a class (for a host's own bound controls).
    static void setClassRule(const QByteArray& className, const ClassRule& rule);

    // ---- the per-host object ----

    // `undoStack` feeds the menu's Undo and Redo entries (none without a stack). It is not owned.
    explicit TEditorConveniences_Orvel(QUndoStack* undoStack = nullptr, QObject* parent = nullptr);
    ~TEditorConveniences_Orvel() override;

    void setUndoStack(QUndoStack* stack);
    QUndoStack* undoStack() const;
    // Switches the Ctrl-click reset and the context menu of the attached controls (both on).
    void setResetClickEnabled(bool on);
    bool resetClickEnabled() const { return m_resetClick; }
    void setContextMenuEnabled(bool on);
    bool contextMenuEnabled() const { return m_contextMenu; }

    // Attaches one parameter-bound control (bound now or later). False for a widget that is not
    // a bound control or whose class rule takes nothing. A control is attached to one object at
    // a time: attaching it here detaches it from another.
    bool attach(QWidget* control);
    // Attaches every bound control at or below `root`, and the bound controls that appear below
    // it later (when they are first polished, normally at their first show). Returns how many
    // controls were attached now.
    int attachAll(QWidget* root);
    void detach(QWidget* control);
    void detachAll();
    bool isAttached(const QWidget* control) const;
    // The object a control is attached to, or null.
    static TEditorConveniences_Orvel* conveniencesOf(const QWidget* control);

    // The display text of an attached control: its last textualValueChange() text where it has
    // that signal and has sent it, else parameterText(proxy).
    QString displayText(QWidget* control) const;
    // The operations for a control, as the menu runs them (they emit the signals below).
    bool copy(QWidget* control);
    PasteResult paste(QWidget* control);
    bool reset(QWidget* control, int kind = -1); // -1: numDefaultKind()

    // Opens the context menu of `control` at `globalPos` (any bound control, attached or not).
    // False when the control is not ready. The menu does not block; menu() is it while open.
    bool openContextMenu(QWidget* control, const QPoint& globalPos);
    QMenu* menu() const;
    QWidget* menuControl() const;

signals:
    // The menu is filled and about to open: a host may add its own entries.
    void menuAboutToShow(QMenu* menu, QWidget* control);
    void valueCopied(QWidget* control, const QString& text);
    void valuePasted(QWidget* control, TEditorConveniences_Orvel::PasteResult result);
    // operation: 1 default, 4 alternative default.
    void valueReset(QWidget* control, int operation);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void rememberText(const QString& text);

private:
    struct Attached
    {
        QMetaObject::Connection destroyed;
        QMetaObject::Connection text;
    };

    bool mouseEvent(QWidget* control, QMouseEvent* event);
    bool interactive(QWidget* control, TMemProxyBasic** proxy = nullptr) const;
    void watchContainer(QWidget* container);
    int attachBelow(QWidget* root);
    void forget(QObject* control);
    void closeMenu();

    QHash<QObject*, Attached> m_controls;
    QHash<QObject*, QString> m_texts;     // last textualValueChange() text
    QHash<QObject*, int> m_textValues;    // the memory's value when that text came
    QHash<QObject*, QMetaObject::Connection> m_containers;
    QPointer<QUndoStack> m_undoStack;
    QPointer<QMenu> m_menu;
    QPointer<QWidget> m_menuControl;
    QPointer<QObject> m_swallowing; // took a Ctrl+press: its moves and release are taken too
    int m_menuActionDepth = 0;
    bool m_resetClick = true;
    bool m_contextMenu = true;
};

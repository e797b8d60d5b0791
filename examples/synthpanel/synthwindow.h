// The demo editor's main window: the panel loaded from synthpanel.ui around the reference
// memory, with undo and redo, copy, paste and reset of the focused parameter, host automation
// and a status bar that shows the parameter last touched.
#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <orvelkit/memory/editorregistry.h>

class Automation;
class QAction;
class QLabel;
class QTimer;
class CNameEditor_Orvel;
class TMemProxy_Orvel;
class TReferenceMemory_Orvel;

class SynthWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Loads the parameter map into `memory`, then the form (both may be ":/resource" paths),
    // with every control bound to the memory. Returns the panel, or null with *error saying what
    // is wrong: the map's problems, the form's, or the controls whose address names no
    // parameter. Strips get their @2x variants when `ratio` is above 1.
    static QWidget* loadPanel(TReferenceMemory_Orvel& memory, const QString& mapFile,
                              const QString& formFile, qreal ratio, QString* error);

    // Takes ownership of `panel` (the result of loadPanel). `memory` must outlive the window.
    SynthWindow(TReferenceMemory_Orvel* memory, QWidget* panel, QWidget* parent = nullptr);
    ~SynthWindow() override;

    QWidget* panel() const { return m_panel; }
    Automation* automation() const { return m_automation; }
    // The panel's bound controls in form order.
    QList<QWidget*> boundControls() const;
    // The control the Edit actions work on: the focused bound control (kept while a menu is
    // open), or null.
    QWidget* currentControl() const { return m_current; }

    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }
    QAction* copyAction() const { return m_copy; }
    QAction* pasteAction() const { return m_paste; }
    QAction* resetAction() const { return m_reset; }
    QAction* altResetAction() const { return m_altReset; }
    QAction* automationAction() const { return m_automate; }
    // The editor factory the memory hands out (the envelope view is registered in it).
    TEditorRegistry_Orvel* editors() { return &m_editors; }
    // The patch name last accepted in the name editor.
    QString patchName() const { return m_patchName; }

    // The panel's pages (the tab widget's; 1 for a form without one) and which one shows.
    int pageCount() const;
    // Shows page `index`; false for an index outside 0..pageCount() - 1.
    bool showPage(int index);

public slots:
    // Each works on currentControl() and returns whether it did anything.
    // They use the library's editor conveniences (docs/conveniences.md), as the panel's context
    // menus do. Copy: the parameter's record (process operation 3) and its display text to the
    // clipboard under TEditorConveniences_Orvel::MimeType.
    bool copyValue();
    // Paste: the clipboard's record into the control (operation 2); the memory decides whether
    // it fits (a value of the same parameter, or of the same parameter of another oscillator).
    bool pasteValue();
    // Reset to the default (operation 1) or to the alternative default (operation 4).
    bool resetValue();
    bool resetToAlternative();

private slots:
    // A bound control's textualValueChange (connected by signature, so any control family).
    void controlTextChanged(const QString& text);

private:
    // Process operation 1 (default) or 4 (alternative default) on the current control.
    bool reset(int operation);
    void buildActions();
    void watchControls();
    // Fader captions show the fader's value while it is dragged and their caption again 700 ms
    // after the release (the value labels' alternative display).
    void wireDragCaptions();
    // Status-bar messages for the panel's context menus and Ctrl-click resets.
    void wireContextMenus();
    // The envelope caption opens the envelope view through the memory's editor factory.
    void wireEditorOpener();
    // The name editor: Return or leaving keeps the name (in the title), Escape restores it.
    void wirePatchName();
    void focusMoved(QWidget* now);
    void updateEditActions();
    void showCurrent();
    void showAutomationState();
    TMemProxy_Orvel* currentProxy() const;
    QString labelOf(const TMemProxy_Orvel* proxy) const;
    // What the control last showed, or else the parameter's own display.
    QString displayText(TMemProxy_Orvel* proxy) const;

    TReferenceMemory_Orvel* m_memory;
    TEditorRegistry_Orvel m_editors;
    QString m_patchName;
    QPointer<CNameEditor_Orvel> m_patchEditor;
    QWidget* m_panel;
    Automation* m_automation;
    QPointer<QWidget> m_current;
    QHash<const QObject*, QString> m_texts; // the last display text of each bound control
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_paste = nullptr;
    QAction* m_reset = nullptr;
    QAction* m_altReset = nullptr;
    QAction* m_automate = nullptr;
    QLabel* m_touched = nullptr;
    QLabel* m_automationState = nullptr;
    QTimer* m_automationTimer = nullptr;
};

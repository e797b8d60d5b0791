#include "conveniences.h"

#include "memproxy.h"
#include "records.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QMutex>
#include <QMutexLocker>
#include <QUndoStack>
#include <QWidget>

const char* const TEditorConveniences_Orvel::MimeType = "application/x-orvelkit-parameter";

namespace {

using Rule = TEditorConveniences_Orvel::ClassRule;

// Which clicks each control family leaves to the conveniences (docs/conveniences.md explains
// every row). Looked up by meta-object class name, most derived first, so CPopup follows
// COnOffButton.
struct RuleTable
{
    QMutex mutex;
    QHash<QByteArray, Rule> rules;

    RuleTable()
    {
        // reset click, menu on right press, menu on key, alternative reset
        // The knob ignores presses with Control or Shift and right presses.
        rules.insert("CDial", Rule{true, true, true, true});
        // A right press only ends the range slider's current state.
        rules.insert("CFader", Rule{true, true, true, true});
        // A press with any button starts a drag and, with click stepping, a right click steps.
        rules.insert("CTextSlider", Rule{true, false, true, false});
        // A right press is ignored; the popup selector inherits this.
        rules.insert("COnOffButton", Rule{true, true, true, false});
        // Any button tracks, and a right click on an off radio button takes the focus and so
        // switches it on.
        rules.insert("CRadioButton", Rule{true, false, true, false});
        // Only a left press opens the list.
        rules.insert("CPullDownMenu", Rule{true, true, true, false});
        // A passive lamp: its process honours no reset, copy or paste.
        rules.insert("StateDisplayWidget", Rule{false, false, false, false});
    }
};

RuleTable& ruleTable()
{
    static RuleTable table;
    return table;
}

// Control -> the object it is attached to (GUI thread only, like the controls).
QHash<const QObject*, TEditorConveniences_Orvel*>& attachedTo()
{
    static QHash<const QObject*, TEditorConveniences_Orvel*> map;
    return map;
}

// Ctrl (Cmd on macOS) and nothing else; the keypad flag does not count.
bool isResetModifiers(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

bool isMouseEvent(QEvent::Type type)
{
    return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
        || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// One proxy

QByteArray TEditorConveniences_Orvel::copyRecord(TMemProxyBasic* proxy)
{
    if (!proxy || !proxy->memAPIReady())
        return QByteArray();
    QByteArray record;
    {
        QDataStream stream(&record, QIODevice::WriteOnly);
        proxy->process(reinterpret_cast<const Q_UINT8*>(&stream), 3, 0);
    }
    qint16 high, mid, low;
    qint32 value;
    int length = 0;
    if (!TParamInfoReader_Orvel::decode(record, high, mid, low, value, &length) || length != record.size())
        return QByteArray();
    return record;
}

bool TEditorConveniences_Orvel::copyToClipboard(TMemProxyBasic* proxy, const QString& text)
{
    if (!proxy || !proxy->memAPIReady())
        return false;
    // The text first: a receiver of the control's signals during the copy may delete it.
    const QString shown = text.isNull() ? parameterText(proxy) : text;
    const QByteArray record = copyRecord(proxy);
    if (record.isEmpty())
        return false;
    auto* data = new QMimeData;
    data->setData(QLatin1String(MimeType), record);
    data->setText(shown);
    QGuiApplication::clipboard()->setMimeData(data);
    return true;
}

TEditorConveniences_Orvel::PasteResult TEditorConveniences_Orvel::pasteRecord(TMemProxyBasic* proxy,
                                                                              const QByteArray& record)
{
    if (!proxy || !proxy->memAPIReady())
        return NotReady;
    if (record.isEmpty())
        return NoRecord;
    qint16 high, mid, low;
    qint32 value;
    int length = 0;
    if (!TParamInfoReader_Orvel::decode(record, high, mid, low, value, &length) || length != record.size())
        return CorruptRecord;
    if (!proxy->api->acceptsRecord(proxy->addrHigh, proxy->addrMid, low, 0))
        return RejectedRecord;
    proxy->api->beginUndoStep(proxy);
    QDataStream stream(record);
    proxy->process(reinterpret_cast<const Q_UINT8*>(&stream), 2, 0);
    return Pasted;
}

TEditorConveniences_Orvel::PasteResult TEditorConveniences_Orvel::pasteFromClipboard(TMemProxyBasic* proxy)
{
    if (!proxy || !proxy->memAPIReady())
        return NotReady;
    const QByteArray record = clipboardRecord();
    return record.isEmpty() ? NoRecord : pasteRecord(proxy, record);
}

QByteArray TEditorConveniences_Orvel::clipboardRecord()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(QLatin1String(MimeType)))
        return QByteArray();
    return data->data(QLatin1String(MimeType));
}

bool TEditorConveniences_Orvel::clipboardHasRecord()
{
    const QByteArray record = clipboardRecord();
    qint16 high, mid, low;
    qint32 value;
    int length = 0;
    return TParamInfoReader_Orvel::decode(record, high, mid, low, value, &length) && length == record.size();
}

bool TEditorConveniences_Orvel::resetParameter(TMemProxyBasic* proxy)
{
    return proxy && resetParameter(proxy, proxy->numDefaultKind());
}

bool TEditorConveniences_Orvel::resetParameter(TMemProxyBasic* proxy, int kind)
{
    if (!proxy || !proxy->memAPIReady())
        return false;
    proxy->api->beginUndoStep(proxy);
    proxy->process(nullptr, resetOperation(kind), 0);
    return true;
}

bool TEditorConveniences_Orvel::hasAlternativeDefault(TMemProxyBasic* proxy)
{
    if (!proxy || !proxy->memAPIReady())
        return false;
    int none = 0;
    proxy->api->defaultValue(proxy->addrHigh, proxy->addrMid, proxy->addrLow, 1, &none);
    return none == 0;
}

QString TEditorConveniences_Orvel::parameterText(TMemProxyBasic* proxy)
{
    if (!proxy || !proxy->memAPIReady())
        return QString();
    IMemAPI* api = proxy->api;
    const int value = api->currentValue(proxy->addrHigh, proxy->addrMid, proxy->addrLow, 0, 0);
    QString text;
    // Table -1: the parameter's own display.
    if (api->formatValue(qint16(proxy->addrLow + proxy->addrLowOffset), -1, text, nullptr, value, 0,
                         proxy->addrHigh, proxy->addrMid) != 0
        || text.isEmpty())
        text = QString::number(value);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Rules

TEditorConveniences_Orvel::ClassRule TEditorConveniences_Orvel::classRule(const QObject* control)
{
    if (!control)
        return ClassRule();
    RuleTable& table = ruleTable();
    QMutexLocker locker(&table.mutex);
    for (const QMetaObject* mo = control->metaObject(); mo; mo = mo->superClass()) {
        const auto found = table.rules.constFind(QByteArray(mo->className()));
        if (found != table.rules.constEnd())
            return found.value();
    }
    return ClassRule();
}

void TEditorConveniences_Orvel::setClassRule(const QByteArray& className, const ClassRule& rule)
{
    if (className.isEmpty())
        return;
    RuleTable& table = ruleTable();
    QMutexLocker locker(&table.mutex);
    table.rules.insert(className, rule);
}

// ---------------------------------------------------------------------------------------------
// The per-host object

TEditorConveniences_Orvel::TEditorConveniences_Orvel(QUndoStack* undoStack, QObject* parent)
    : QObject(parent), m_undoStack(undoStack)
{
}

TEditorConveniences_Orvel::~TEditorConveniences_Orvel()
{
    // Inside one of its own actions the menu is still delivering: let the event loop delete it.
    if (QMenu* open = m_menu.data()) {
        if (m_menuActionDepth > 0) {
            open->hide();
            open->deleteLater();
        } else {
            delete open;
        }
    }
    detachAll();
}

void TEditorConveniences_Orvel::setUndoStack(QUndoStack* stack)
{
    m_undoStack = stack;
}

QUndoStack* TEditorConveniences_Orvel::undoStack() const
{
    return m_undoStack.data();
}

void TEditorConveniences_Orvel::setResetClickEnabled(bool on)
{
    m_resetClick = on;
    if (!on)
        m_swallowing = nullptr;
}

void TEditorConveniences_Orvel::setContextMenuEnabled(bool on)
{
    m_contextMenu = on;
    if (!on)
        closeMenu();
}

bool TEditorConveniences_Orvel::attach(QWidget* control)
{
    if (!control || !memProxyOf(control) || !classRule(control).takesAnything())
        return false;
    if (m_controls.contains(control))
        return true;
    if (TEditorConveniences_Orvel* other = attachedTo().value(control); other && other != this)
        other->detach(control);
    Attached record;
    record.destroyed = connect(control, &QObject::destroyed, this, [this](QObject* gone) { forget(gone); });
    const QMetaObject* mo = control->metaObject();
    const int signal = mo->indexOfSignal("textualValueChange(QString)");
    if (signal >= 0) {
        const int slot = metaObject()->indexOfSlot("rememberText(QString)");
        record.text = connect(control, mo->method(signal), this, metaObject()->method(slot));
    }
    control->installEventFilter(this);
    m_controls.insert(control, record);
    attachedTo().insert(control, this);
    return true;
}

int TEditorConveniences_Orvel::attachAll(QWidget* root)
{
    return root ? attachBelow(root) : 0;
}

int TEditorConveniences_Orvel::attachBelow(QWidget* root)
{
    // A control's own children (tooltips, numeric entries, popup windows) are its business.
    if (memProxyOf(root))
        return attach(root) ? 1 : 0;
    watchContainer(root);
    int count = 0;
    const QObjectList children = root->children();
    for (QObject* child : children)
        if (child->isWidgetType())
            count += attachBelow(static_cast<QWidget*>(child));
    return count;
}

void TEditorConveniences_Orvel::watchContainer(QWidget* container)
{
    if (m_containers.contains(container))
        return;
    container->installEventFilter(this);
    m_containers.insert(container, connect(container, &QObject::destroyed, this,
                                           [this](QObject* gone) { m_containers.remove(gone); }));
}

void TEditorConveniences_Orvel::detach(QWidget* control)
{
    const auto found = m_controls.constFind(control);
    if (found == m_controls.constEnd())
        return;
    disconnect(found->destroyed);
    disconnect(found->text);
    control->removeEventFilter(this);
    if (m_menuControl == control)
        closeMenu();
    forget(control);
}

void TEditorConveniences_Orvel::detachAll()
{
    const QList<QObject*> controls = m_controls.keys();
    for (QObject* control : controls)
        detach(static_cast<QWidget*>(control));
    for (auto it = m_containers.cbegin(); it != m_containers.cend(); ++it) {
        disconnect(it.value());
        it.key()->removeEventFilter(this);
    }
    m_containers.clear();
}

void TEditorConveniences_Orvel::forget(QObject* control)
{
    m_controls.remove(control);
    m_texts.remove(control);
    m_textValues.remove(control);
    if (attachedTo().value(control) == this)
        attachedTo().remove(control);
    if (m_swallowing == control)
        m_swallowing = nullptr;
}

bool TEditorConveniences_Orvel::isAttached(const QWidget* control) const
{
    return m_controls.contains(const_cast<QWidget*>(control));
}

TEditorConveniences_Orvel* TEditorConveniences_Orvel::conveniencesOf(const QWidget* control)
{
    return attachedTo().value(control);
}

void TEditorConveniences_Orvel::rememberText(const QString& text)
{
    QObject* control = sender();
    TMemProxyBasic* proxy = memProxyOf(control);
    if (!proxy || !proxy->memAPIReady())
        return;
    // The text stands for the value the memory holds now; a later change the control does not
    // announce (a knob emits only when asked) makes it stale, see displayText().
    m_texts.insert(control, text);
    m_textValues.insert(control, proxy->api->currentValue(proxy->addrHigh, proxy->addrMid, proxy->addrLow, 0, 0));
}

QString TEditorConveniences_Orvel::displayText(QWidget* control) const
{
    TMemProxyBasic* proxy = memProxyOf(control);
    if (!proxy || !proxy->memAPIReady())
        return QString();
    const auto text = m_texts.constFind(control);
    if (text != m_texts.constEnd()
        && m_textValues.value(control) == proxy->api->currentValue(proxy->addrHigh, proxy->addrMid, proxy->addrLow, 0, 0))
        return text.value();
    return parameterText(proxy);
}

bool TEditorConveniences_Orvel::interactive(QWidget* control, TMemProxyBasic** out) const
{
    TMemProxyBasic* proxy = control ? memProxyOf(control) : nullptr;
    if (!proxy || !proxy->memAPIReady() || !control->isEnabled() || proxy->disabledUI())
        return false;
    if (out)
        *out = proxy;
    return true;
}

bool TEditorConveniences_Orvel::copy(QWidget* control)
{
    TMemProxyBasic* proxy = nullptr;
    if (!interactive(control, &proxy))
        return false;
    const QPointer<TEditorConveniences_Orvel> self(this);
    const QPointer<QWidget> target(control);
    const QString text = displayText(control);
    if (!copyToClipboard(proxy, text))
        return false;
    if (self && target)
        emit valueCopied(control, text);
    return true;
}

TEditorConveniences_Orvel::PasteResult TEditorConveniences_Orvel::paste(QWidget* control)
{
    TMemProxyBasic* proxy = nullptr;
    if (!interactive(control, &proxy))
        return NotReady;
    const QPointer<TEditorConveniences_Orvel> self(this);
    const QPointer<QWidget> target(control);
    const PasteResult result = pasteFromClipboard(proxy);
    if (self && target)
        emit valuePasted(control, result);
    return result;
}

bool TEditorConveniences_Orvel::reset(QWidget* control, int kind)
{
    TMemProxyBasic* proxy = nullptr;
    if (!interactive(control, &proxy))
        return false;
    const int operation = resetOperation(kind < 0 ? proxy->numDefaultKind() : kind);
    const QPointer<TEditorConveniences_Orvel> self(this);
    const QPointer<QWidget> target(control);
    resetParameter(proxy, operation == 4 ? 1 : 0);
    if (self && target)
        emit valueReset(control, operation);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The menu

QMenu* TEditorConveniences_Orvel::menu() const
{
    return m_menu.data();
}

QWidget* TEditorConveniences_Orvel::menuControl() const
{
    return m_menu ? m_menuControl.data() : nullptr;
}

void TEditorConveniences_Orvel::closeMenu()
{
    if (QMenu* open = m_menu.data())
        open->close();
    m_menu = nullptr;
    m_menuControl = nullptr;
}

bool TEditorConveniences_Orvel::openContextMenu(QWidget* control, const QPoint& globalPos)
{
    TMemProxyBasic* proxy = nullptr;
    if (!interactive(control, &proxy))
        return false;
    closeMenu();

    // No parent: a menu that is a child of a control would take over its palette (a control's
    // face is often its palette's background).
    auto* menu = new QMenu;
    menu->setObjectName(QStringLiteral("orvelkit-conveniences-menu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    // The control going away closes its menu; the entries check the control before acting.
    connect(control, &QObject::destroyed, menu, &QWidget::close);

    const QPointer<QWidget> target(control);
    const QPointer<QMenu> guard(menu);
    const auto add = [&](const QString& text, const char* name, bool enabled, auto run) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
        // Only the menu that is open acts: a menu closed by detach() or replaced is inert.
        connect(action, &QAction::triggered, this, [this, target, guard, run] {
            if (!target || !guard || m_menu != guard)
                return;
            const QPointer<TEditorConveniences_Orvel> self(this);
            ++m_menuActionDepth;
            run(target.data());
            if (self)
                --m_menuActionDepth;
        });
    };

    const QByteArray record = clipboardRecord();
    qint16 high, mid, low;
    qint32 value;
    int length = 0;
    const bool pastable = TParamInfoReader_Orvel::decode(record, high, mid, low, value, &length)
        && length == record.size() && proxy->api->acceptsRecord(proxy->addrHigh, proxy->addrMid, low, 0);
    add(tr("Copy Value"), "orvelkit-copy", true, [this](QWidget* w) { copy(w); });
    add(tr("Paste Value"), "orvelkit-paste", pastable, [this](QWidget* w) { paste(w); });
    menu->addSeparator();
    add(tr("Reset to Default"), "orvelkit-reset", true, [this](QWidget* w) { reset(w, 0); });
    if (classRule(control).alternativeReset && hasAlternativeDefault(proxy))
        add(tr("Reset to Alternative Default"), "orvelkit-reset-alternative", true,
            [this](QWidget* w) { reset(w, 1); });
    if (QUndoStack* stack = m_undoStack.data()) {
        menu->addSeparator();
        const QString undo = stack->undoText();
        const QString redo = stack->redoText();
        add(undo.isEmpty() ? tr("Undo") : tr("Undo %1").arg(undo), "orvelkit-undo", stack->canUndo(),
            [this](QWidget*) {
                if (m_undoStack)
                    m_undoStack->undo();
            });
        add(redo.isEmpty() ? tr("Redo") : tr("Redo %1").arg(redo), "orvelkit-redo", stack->canRedo(),
            [this](QWidget*) {
                if (m_undoStack)
                    m_undoStack->redo();
            });
    }

    const QPointer<TEditorConveniences_Orvel> self(this);
    m_menu = menu;
    m_menuControl = control;
    emit menuAboutToShow(menu, control);
    if (!self || !target || !guard || m_menu != guard) {
        delete guard.data();
        return false;
    }
    menu->popup(globalPos);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Events

bool TEditorConveniences_Orvel::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ChildPolished) {
        if (m_containers.contains(watched)) {
            QObject* child = static_cast<QChildEvent*>(event)->child();
            if (child && child->isWidgetType())
                attachBelow(static_cast<QWidget*>(child));
        }
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::ContextMenu && !isMouseEvent(type))
        return false;
    if (!m_controls.contains(watched))
        return false;
    QWidget* control = static_cast<QWidget*>(watched);
    if (isMouseEvent(type))
        return mouseEvent(control, static_cast<QMouseEvent*>(event));

    if (!m_contextMenu || control->contextMenuPolicy() != Qt::DefaultContextMenu)
        return false;
    const ClassRule rule = classRule(control);
    const QPoint centre = control->mapToGlobal(control->rect().center());
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Menu || !rule.menuOnKey || !openContextMenu(control, centre))
            return false;
        key->accept();
        return true;
    }
    auto* request = static_cast<QContextMenuEvent*>(event);
    if (request->reason() == QContextMenuEvent::Mouse) {
        // The request that follows a right press which already opened the menu.
        if (m_menu && m_menu->isVisible() && m_menuControl == control) {
            request->accept();
            return true;
        }
        if (!rule.menuOnRightPress || !openContextMenu(control, request->globalPos()))
            return false;
    } else if (!rule.menuOnKey || !openContextMenu(control, centre)) {
        return false;
    }
    request->accept();
    return true;
}

bool TEditorConveniences_Orvel::mouseEvent(QWidget* control, QMouseEvent* event)
{
    const QEvent::Type type = event->type();
    const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    if (m_swallowing == control) {
        // The control never saw the press of a reset click, so it sees none of the gesture.
        const bool leftHeld = event->buttons() & Qt::LeftButton;
        if (type == QEvent::MouseButtonRelease) {
            if (event->button() == Qt::LeftButton)
                m_swallowing = nullptr;
            return true;
        }
        if (leftHeld && (type == QEvent::MouseMove || (press && event->button() != Qt::LeftButton)))
            return true;
        // The gesture ended without its release reaching the control: this event starts anew.
        m_swallowing = nullptr;
    }

    if (press && event->button() == Qt::LeftButton && m_resetClick && isResetModifiers(event->modifiers())) {
        if (!classRule(control).resetClick || !interactive(control))
            return false;
        event->accept();
        m_swallowing = control;
        reset(control, -1);
        return true;
    }
    if (type == QEvent::MouseButtonPress && event->button() == Qt::RightButton && m_contextMenu
        && control->contextMenuPolicy() == Qt::DefaultContextMenu && classRule(control).menuOnRightPress) {
        // The control still gets its press: its own handling of the right button (none, or the
        // range slider ending its drag) stays as it is.
        openContextMenu(control, event->globalPosition().toPoint());
    }
    return false;
}

#include "controlaccessible.h"

#include "../binding/memapi.h"
#include "../binding/utilities.h"
#include "../buttons/conoffbutton.h"
#include "../buttons/cpixmapswitcher.h"
#include "../buttons/cradiobutton.h"
#include "../fader/cfader.h"
#include "../knob/cdial.h"
#include "../labels/clabeldisplay.h"
#include "../labels/cnameeditor.h"
#include "../menu/cmenuobject.h"
#include "../menu/cpulldownmenu.h"
#include "../popup/cpopup.h"
#include "../popup/cpopupitem.h"
#include "../popup/cpopuplabel.h"
#include "../sliders/cslider.h"
#include "../sliders/ctextslider.h"
#include "../status/ctabwidget.h"
#include "../status/statedisplaywidget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPixmap>
#include <QPointer>

#include <atomic>
#include <climits>
#include <functional>
#include <memory>

namespace {

// What an interface stands for; decides role, value, actions and change notices.
enum class Kind {
    Knob,
    Fader,
    Slider, // any other CSlider subclass
    TextSlider,
    OnOff,
    Radio,
    Popup,
    PullDown,
    Switcher,
    Label, // CLabelDisplay and CHotspotLabel
    NameEditor,
    Lamp,
    Tabs,
    PopupGrid,
    PopupCell,
};

struct Classified
{
    Kind kind;
    QAccessible::Role role;
};

// Most derived classes first (the popup is an on/off button, the fader a range slider).
bool classify(QObject* o, Classified& out)
{
    if (qobject_cast<CDial_Orvel*>(o))
        out = {Kind::Knob, QAccessible::Dial};
    else if (qobject_cast<CFader_Orvel*>(o))
        out = {Kind::Fader, QAccessible::Slider};
    else if (qobject_cast<CSlider_Orvel*>(o))
        out = {Kind::Slider, QAccessible::Slider};
    else if (qobject_cast<CTextSlider_Orvel*>(o))
        out = {Kind::TextSlider, QAccessible::Slider};
    else if (qobject_cast<CPopup_Orvel*>(o))
        out = {Kind::Popup, QAccessible::ComboBox};
    else if (qobject_cast<COnOffButton_Orvel*>(o))
        out = {Kind::OnOff, QAccessible::Button};
    else if (qobject_cast<CRadioButton_Orvel*>(o))
        out = {Kind::Radio, QAccessible::RadioButton};
    else if (qobject_cast<CPullDownMenu_Orvel*>(o))
        out = {Kind::PullDown, QAccessible::ComboBox};
    else if (qobject_cast<CPixmapSwitcher_Orvel*>(o))
        out = {Kind::Switcher, QAccessible::StaticText};
    else if (qobject_cast<CLabelDisplay_Orvel*>(o))
        out = {Kind::Label, QAccessible::StaticText};
    else if (qobject_cast<CNameEditor_Orvel*>(o))
        out = {Kind::NameEditor, QAccessible::EditableText};
    else if (qobject_cast<StateDisplayWidget_Orvel*>(o))
        out = {Kind::Lamp, QAccessible::StaticText};
    else if (qobject_cast<CTabWidget_Orvel*>(o))
        out = {Kind::Tabs, QAccessible::PageTabList};
    else if (qobject_cast<CPopupItem_Orvel*>(o))
        out = {Kind::PopupGrid, QAccessible::List};
    else if (qobject_cast<CPopupLabel_Orvel*>(o))
        out = {Kind::PopupCell, QAccessible::ListItem};
    else
        return false;
    return true;
}

// The knob's display text, formatted as the knob formats it (tables from 0 up count from the
// minimum; table -3 over 0..5 asks for the short form). Used until the knob has emitted a text
// while the interface watched it.
QString knobText(CDial_Orvel* knob)
{
    const int v = knob->value();
    if (!knob->memAPIReady() || !knob->api)
        return QString::number(v);
    const int table = knob->tableId();
    int shown = v;
    if (table >= 0 && knob->minValue() < 0)
        shown = int(quint32(v) - quint32(knob->minValue()));
    const int flag = (table == -3 && knob->maxValue() == 5) ? 1 : 0;
    QString text;
    QPixmap pixmap;
    if (knob->api->formatValue(qint16(knob->addrLow + knob->addrLowOffset), table, text, &pixmap, shown,
                               flag, knob->addrHigh, knob->addrMid) != 0
        || text.isEmpty())
        return QString::number(v);
    return text;
}

// The fader's display text as the fader formats it.
QString faderText(CFader_Orvel* fader)
{
    QString text;
    if (fader->memAPIReady() && fader->api
        && fader->api->formatValue(qint16(fader->addrLow + fader->addrLowOffset), fader->tableId(), text,
                                   nullptr, fader->value(), 0, 0, 0) == 0)
        return text;
    return QString::number(fader->value());
}

// The entry the pull-down shows: in the order the menu was built (the sorted numbers when the
// list was sorted).
QString pullDownText(CPullDownMenu_Orvel* menu)
{
    const int id = menu->selectedItem();
    if (id < 0)
        return QString();
    const QStringList sorted = menu->sortedItems();
    if (id < sorted.size())
        return sorted.at(id);
    return menu->menuItemList().split(QLatin1Char(';'), Qt::SkipEmptyParts).value(id);
}

std::atomic<NS_Accessibility::AnnouncementObserver> s_observer{nullptr};

// Somebody listens: an assistive technology or the host's observer.
bool announcing()
{
    return s_observer.load(std::memory_order_relaxed) || QAccessible::isActive();
}

// Hands a notice to the observer and, while accessibility is active, to Qt. `qtSendsItToo`: Qt
// makes this notice itself (a button's checked state), so only the observer gets ours.
void deliver(QAccessibleEvent& event, bool qtSendsItToo)
{
    if (NS_Accessibility::AnnouncementObserver observer = s_observer.load())
        observer(&event);
    if (!qtSendsItToo && QAccessible::isActive())
        QAccessible::updateAccessibility(&event);
}

// A key press and release sent to `w`, as the keyboard delivers them to the focused control.
void sendKey(QWidget* w, int key)
{
    const QPointer<QWidget> guard(w);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    if (!guard)
        return;
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

// The context of an interface's connections to its control and, for controls that announce no
// value change by signal, the filter that sees their paints (a new display text shows up as a
// repaint).
class ChangeWatcher final : public QObject
{
public:
    explicit ChangeWatcher(std::function<void()> onPaint = {}) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && m_onPaint && announcing())
            m_onPaint();
        return false;
    }

private:
    std::function<void()> m_onPaint;
};

class ControlAccessible final : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    ControlAccessible(QWidget* w, Kind kind, QAccessible::Role role)
        : QAccessibleWidget(w, role), m_kind(kind), m_meta(w->metaObject())
    {
        watch();
    }

    // The control while it is whole. Qt may ask an interface about its widget while the widget is
    // being destroyed (hiding, leaving its parent); once the control's own destructor has run, the
    // widget's meta-object is a base's and the typed reads below would reach parts that are gone.
    QWidget* control() const
    {
        QWidget* w = widget();
        return w && w->metaObject() == m_meta ? w : nullptr;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface && hasValue())
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        QWidget* w = control();
        if (!w)
            return QString();
        if (t == QAccessible::Value)
            return displayText();
        if (t == QAccessible::Name) {
            if (!w->accessibleName().isEmpty())
                return w->accessibleName();
            if (m_kind == Kind::PopupCell)
                return static_cast<CPopupLabel_Orvel*>(w)->text();
            if (!w->toolTip().isEmpty())
                return w->toolTip();
            return w->objectName();
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        QWidget* w = control();
        if (!w)
            return s;
        switch (m_kind) {
        case Kind::OnOff: {
            auto* b = static_cast<COnOffButton_Orvel*>(w);
            s.checkable = b->isCheckable();
            s.checked = b->isChecked();
            s.pressed = b->isDown();
            break;
        }
        case Kind::Radio: {
            auto* b = static_cast<CRadioButton_Orvel*>(w);
            s.checkable = true;
            s.checked = b->isChecked();
            s.pressed = b->isDown();
            break;
        }
        case Kind::Popup:
            s.hasPopup = true;
            s.expandable = true;
            s.expanded = static_cast<CPopup_Orvel*>(w)->PopupItem() != nullptr;
            break;
        case Kind::PullDown: {
            s.hasPopup = true;
            s.expandable = true;
            const CMenuObject_Orvel* menu = static_cast<CPullDownMenu_Orvel*>(w)->menu();
            s.expanded = menu && menu->isVisible();
            break;
        }
        case Kind::NameEditor:
            s.editable = true;
            s.readOnly = static_cast<CNameEditor_Orvel*>(w)->isReadOnly();
            break;
        case Kind::Label:
        case Kind::Lamp:
        case Kind::Switcher:
            s.readOnly = true;
            break;
        case Kind::PopupCell:
            s.selectable = true;
            break;
        default:
            break;
        }
        return s;
    }

    // ---- actions ----

    QStringList actionNames() const override
    {
        QStringList names;
        switch (m_kind) {
        case Kind::Knob:
        case Kind::Fader:
        case Kind::Slider:
        case Kind::TextSlider:
            names << increaseAction() << decreaseAction();
            break;
        case Kind::OnOff:
            names << pressAction();
            if (control() && static_cast<COnOffButton_Orvel*>(control())->isCheckable())
                names << toggleAction();
            break;
        case Kind::Radio:
        case Kind::PopupCell:
            names << pressAction();
            break;
        case Kind::Popup:
        case Kind::PullDown:
            names << pressAction() << showMenuAction();
            break;
        default:
            break;
        }
        return names + QAccessibleWidget::actionNames();
    }

    // Each action takes the road the user's input takes, so the memory gets the same write (with
    // undo) as from a click or a key. A disabled control does nothing. The control, and with it
    // this interface, may be gone when the action returns.
    void doAction(const QString& name) override
    {
        QWidget* w = control();
        if (!w || !w->isEnabled() || !actionNames().contains(name)) {
            return;
        }
        if (name == increaseAction() || name == decreaseAction()) {
            sendKey(w, stepKey(name == increaseAction()));
        } else if (name == pressAction() || name == toggleAction()) {
            switch (m_kind) {
            case Kind::OnOff:
            case Kind::Radio:
                static_cast<QAbstractButton*>(w)->click();
                break;
            case Kind::Popup:
                static_cast<CPopup_Orvel*>(w)->dynamicPopup();
                break;
            case Kind::PullDown:
                static_cast<CPullDownMenu_Orvel*>(w)->popup();
                break;
            case Kind::PopupCell:
                static_cast<CPopupLabel_Orvel*>(w)->customPressed();
                break;
            default:
                break;
            }
        } else if (name == showMenuAction()) {
            if (m_kind == Kind::Popup)
                static_cast<CPopup_Orvel*>(w)->dynamicPopup();
            else
                static_cast<CPullDownMenu_Orvel*>(w)->popup();
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (hasValue() && (name == increaseAction() || name == decreaseAction()))
            return {QKeySequence(stepKey(name == increaseAction())).toString(QKeySequence::NativeText)};
        return QAccessibleWidget::keyBindingsForAction(name);
    }

    // ---- value ----

    QVariant currentValue() const override { return readRange(0); }
    QVariant minimumValue() const override { return readRange(1); }
    QVariant maximumValue() const override { return readRange(2); }
    QVariant minimumStepSize() const override { return readRange(3); }

    // The control's own setValue: the value is clamped by the control and written to the memory
    // as a user edit. Ignored for a disabled control and for values that are not numbers.
    void setCurrentValue(const QVariant& value) override
    {
        QWidget* w = control();
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!w || !w->isEnabled() || !ok || number != number)
            return;
        const int v = number >= double(INT_MAX) ? INT_MAX
                    : number <= double(INT_MIN) ? INT_MIN
                                                : int(qint64(number));
        switch (m_kind) {
        case Kind::Knob:
            static_cast<CDial_Orvel*>(w)->setValue(v);
            break;
        case Kind::Fader:
        case Kind::Slider:
            static_cast<CSlider_Orvel*>(w)->setValue(v);
            break;
        case Kind::TextSlider:
            static_cast<CTextSlider_Orvel*>(w)->setValue(v);
            break;
        default:
            break;
        }
    }

private:
    bool hasValue() const
    {
        return m_kind == Kind::Knob || m_kind == Kind::Fader || m_kind == Kind::Slider
            || m_kind == Kind::TextSlider;
    }

    // 0 value, 1 minimum, 2 maximum, 3 line step.
    QVariant readRange(int which) const
    {
        QWidget* w = control();
        if (!w || !hasValue())
            return QVariant();
        const auto pick = [which](const auto* r) {
            const int values[] = {r->value(), r->minValue(), r->maxValue(), r->lineStep()};
            return QVariant(values[which]);
        };
        switch (m_kind) {
        case Kind::Knob:
            return pick(static_cast<CDial_Orvel*>(w));
        case Kind::TextSlider:
            return pick(static_cast<CTextSlider_Orvel*>(w));
        default:
            return pick(static_cast<CSlider_Orvel*>(w));
        }
    }

    // The key that steps one line up or down, as the control's keyboard handling reads it.
    int stepKey(bool up) const
    {
        const bool horizontal = (m_kind == Kind::Fader || m_kind == Kind::Slider) && control()
            && static_cast<CSlider_Orvel*>(control())->orientation() == Qt::Horizontal;
        if (horizontal)
            return up ? Qt::Key_Right : Qt::Key_Left;
        return up ? Qt::Key_Up : Qt::Key_Down;
    }

    QString displayText() const
    {
        QWidget* w = control();
        if (!w)
            return QString();
        switch (m_kind) {
        case Kind::Knob:
            return m_haveText ? m_text : knobText(static_cast<CDial_Orvel*>(w));
        case Kind::Fader:
            return m_haveText ? m_text : faderText(static_cast<CFader_Orvel*>(w));
        case Kind::Slider:
            return QString::number(static_cast<CSlider_Orvel*>(w)->value());
        case Kind::TextSlider:
            return static_cast<CTextSlider_Orvel*>(w)->text();
        case Kind::OnOff:
        case Kind::Radio:
        case Kind::Popup:
        case Kind::PopupCell:
            return static_cast<QAbstractButton*>(w)->text();
        case Kind::PullDown:
            return pullDownText(static_cast<CPullDownMenu_Orvel*>(w));
        case Kind::Switcher:
            return QString::number(static_cast<CPixmapSwitcher_Orvel*>(w)->getCurrentImageID());
        case Kind::Label:
            return static_cast<CLabelDisplay_Orvel*>(w)->text();
        case Kind::NameEditor:
            return static_cast<CNameEditor_Orvel*>(w)->text();
        case Kind::Lamp: {
            const int v = static_cast<StateDisplayWidget_Orvel*>(w)->value();
            return v == INT_MIN + 1 ? QString() : QString::number(v); // nothing shown yet
        }
        case Kind::Tabs: {
            const auto* tabs = static_cast<CTabWidget_Orvel*>(w);
            return tabs->tabText(tabs->currentIndex());
        }
        case Kind::PopupGrid:
            break;
        }
        return QString();
    }

    // Announces a new value: the number for value controls, the display text for the others.
    void announce()
    {
        QWidget* w = control();
        if (!w || !announcing())
            return;
        m_announced = displayText();
        QAccessibleValueChangeEvent event(w, hasValue() ? currentValue() : QVariant(m_announced));
        deliver(event, false);
    }

    // A button's new checked state (Qt announces it to assistive technologies itself).
    void announceChecked()
    {
        QWidget* w = control();
        if (!w || !s_observer.load())
            return;
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(w, changed);
        deliver(event, true);
    }

    // Connects to the control's change signals (or its paints) once, when the interface is made.
    // A control whose interface was never made carries no connection at all.
    void watch()
    {
        QWidget* w = control();
        if (m_kind == Kind::Popup || m_kind == Kind::Label || m_kind == Kind::Lamp) {
            // These texts are the controls' own (no memory call): compare them at each paint.
            // Other kinds are not read here: a knob's or fader's text would ask the memory, and
            // making an interface must not add memory calls.
            m_announced = displayText();
            m_watcher = std::make_unique<ChangeWatcher>([this] {
                if (announcing() && displayText() != m_announced)
                    announce();
            });
            w->installEventFilter(m_watcher.get());
            return;
        }
        m_watcher = std::make_unique<ChangeWatcher>();
        QObject* ctx = m_watcher.get();
        switch (m_kind) {
        case Kind::Knob: {
            auto* knob = static_cast<CDial_Orvel*>(w);
            QObject::connect(knob, &CDial_Orvel::textualValueChange, ctx, [this](const QString& text) {
                m_text = text;
                m_haveText = true;
                announce();
            });
            QObject::connect(knob, &CDial_Orvel::pixmapValueChange, ctx, [this] {
                m_haveText = false;
                announce();
            });
            // Unbound, the knob emits no text: its raw value changes are the news.
            QObject::connect(knob, &QDial::valueChanged, ctx, [this, knob] {
                if (!knob->memAPIReady()) {
                    m_haveText = false;
                    announce();
                }
            });
            break;
        }
        case Kind::Fader: {
            auto* fader = static_cast<CFader_Orvel*>(w);
            QObject::connect(fader, &CFader_Orvel::textualValueChange, ctx, [this](const QString& text) {
                m_text = text;
                m_haveText = true;
                announce();
            });
            QObject::connect(fader, &CSlider_Orvel::valueChanged, ctx, [this, fader] {
                if (!fader->memAPIReady()) {
                    m_haveText = false;
                    announce();
                }
            });
            break;
        }
        case Kind::Slider:
            QObject::connect(static_cast<CSlider_Orvel*>(w), &CSlider_Orvel::valueChanged, ctx,
                             [this] { announce(); });
            break;
        case Kind::TextSlider:
            QObject::connect(static_cast<CTextSlider_Orvel*>(w), &CTextSlider_Orvel::valueChanged, ctx,
                             [this] { announce(); });
            break;
        case Kind::PullDown:
            QObject::connect(static_cast<CPullDownMenu_Orvel*>(w), &CPullDownMenu_Orvel::valueChanged, ctx,
                             [this] { announce(); });
            break;
        case Kind::Switcher:
            QObject::connect(static_cast<CPixmapSwitcher_Orvel*>(w), &CPixmapSwitcher_Orvel::indexChanged,
                             ctx, [this] { announce(); });
            break;
        case Kind::Tabs:
            QObject::connect(static_cast<CTabWidget_Orvel*>(w), &QTabWidget::currentChanged, ctx,
                             [this] { announce(); });
            break;
        case Kind::OnOff:
        case Kind::Radio:
            QObject::connect(static_cast<QAbstractButton*>(w), &QAbstractButton::toggled, ctx,
                             [this] { announceChecked(); });
            break;
        default:
            // The name editor: Qt's line edit announces its text itself.
            break;
        }
    }

    const Kind m_kind;
    const QMetaObject* const m_meta; // the control's class when the interface was made
    QString m_text;        // the knob's or fader's last emitted text
    bool m_haveText = false;
    QString m_announced;   // the display text at the last announcement
    // Owns the connections and the event filter: they end with the interface.
    std::unique_ptr<ChangeWatcher> m_watcher;
};

void installAtStartup()
{
    NS_Accessibility::installAccessibleFactory();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installAtStartup)

namespace NS_Accessibility {

void installAccessibleFactory()
{
    // Qt keeps one entry per factory function, so repeated calls add nothing.
    QAccessible::installFactory(&accessibleFactory);
}

void setAnnouncementObserver(AnnouncementObserver observer)
{
    s_observer.store(observer);
}

QAccessibleInterface* accessibleFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    Classified c{};
    if (!classify(object, c))
        return nullptr;
    return new ControlAccessible(static_cast<QWidget*>(object), c.kind, c.role);
}

} // namespace NS_Accessibility

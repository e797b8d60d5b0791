// Qt 3 toggle buttons on Qt 6 QPushButton / QRadioButton.
//
// The Qt 3 button API (state(), isOn(), setOn(), setState(), setToggleButton(), toggle() and the
// signal stateChanged(int)) is kept on top of Qt's checked state, so Qt's QButtonGroup (which
// hosts' Designer forms use) still groups these buttons.
//
// stateChanged(int) must be a real signal of the final Q_OBJECT class; the template cannot
// declare signals, so the final class implements the pure virtual emitStateChanged():
//
//     class COnOffButton : public Qt3::Button<QPushButton>, public TMemProxy {
//         Q_OBJECT
//     signals:
//         void stateChanged(int state);
//     protected:
//         void emitStateChanged(int state) override { emit stateChanged(state); }
//     };
//
// Order: toggled(bool) first (only when on/off changes), then stateChanged(int) - for clicks,
// setState()/setOn()/toggle(), unchecks by an exclusive QButtonGroup and changes made through
// QAbstractButton::setChecked(). docs/qt3-compat.md lists the measured sequences and what
// still differs from Qt 3 (the order between two buttons of an exclusive group).
#pragma once

#include "qt3types.h"
#include "widget.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QMetaMethod>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <type_traits>

namespace Qt3 {

template <class Base>
class Button : public Widget<Base>
{
    static_assert(std::is_base_of_v<QPushButton, Base> || std::is_base_of_v<QRadioButton, Base>,
                  "Qt3::Button is made for QPushButton and QRadioButton bases");

public:
    static constexpr bool isRadio = std::is_base_of_v<QRadioButton, Base>;

    template <typename... Args, typename = std::enable_if_t<std::is_constructible_v<Base, Args&&...>>>
    explicit Button(Args&&... args) : Widget<Base>(std::forward<Args>(args)...)
    {
        if constexpr (isRadio)
            this->setAutoExclusive(false); // Qt 3 radios were independent outside a group
        m_fallback = connectFallback();
    }

    ~Button() override { QObject::disconnect(m_fallback); }

    // Off, NoChange (counts as on) or On. A button that is not a toggle button is Off.
    ToggleState state() const
    {
        if (!this->isChecked())
            return Off;
        return m_noChange ? NoChange : On;
    }
    bool isOn() const { return this->isChecked(); }
    bool isToggleButton() const { return this->isCheckable(); }

    // A toggle button keeps a state. Making it a plain button switches it off silently (Qt 6
    // clears the checked state of a button that stops being checkable).
    void setToggleButton(bool toggle)
    {
        if (!toggle)
            m_noChange = false;
        this->setCheckable(toggle);
    }

    void setOn(bool on) { setState(on ? On : Off); }

    // Switches a toggle button to `newState`: toggled(bool) if on/off changes, then
    // stateChanged(newState). Ignored for buttons that are not toggle buttons, for values
    // outside Off..On and when the state is already `newState`. Unlike a plain setChecked(),
    // this switches off the checked button of an exclusive group, as Qt 3 did.
    virtual void setState(ToggleState newState)
    {
        if (!this->isCheckable() || newState < Off || newState > On)
            return;
        const ToggleState old = state();
        if (old == newState)
            return;
        const bool on = newState != Off;
        if (on != this->isChecked()) {
            m_noChange = newState == NoChange; // visible through state() inside toggled(bool)
            ++m_ownChange;
            if (!setCheckedOverridingExclusive(on))
                return; // deleted by a receiver
            --m_ownChange;
            if (this->isChecked() != on) { // refused (e.g. by a subclass); nothing changed
                m_noChange = old == NoChange;
                return;
            }
        } else {
            m_noChange = newState == NoChange;
            this->update();
        }
        emitStateChanged(newState);
    }

    // Qt 3 toggle(): flips a toggle button through setOn(); ignored for other buttons.
    void toggle()
    {
        if (isToggleButton())
            setOn(!isOn());
    }

protected:
    // Implemented by the final class as `emit stateChanged(state);`.
    virtual void emitStateChanged(int state) = 0;

    // Draws the button's look. Runs from paintEvent after the face (if any) was erased. The
    // default draws the base's normal look through the style.
    virtual void drawButton(QPainter* painter)
    {
        QStyleOptionButton option;
        this->initStyleOption(&option);
        this->style()->drawControl(isRadio ? QStyle::CE_RadioButton : QStyle::CE_PushButton, &option,
                                   painter, this);
    }

    void paintEvent(QPaintEvent* e) override
    {
        QPainter painter(this);
        this->paintErasePixmap(painter, e->rect());
        drawButton(&painter);
    }

    // A click (and an exclusive QButtonGroup switching this button off) arrives here.
    void nextCheckState() override
    {
        if (!this->isCheckable()) {
            Base::nextCheckState();
            return;
        }
        const ToggleState old = state();
        QPointer<QAbstractButton> alive(this);
        m_noChange = false;
        ++m_ownChange;
        Base::nextCheckState();
        if (!alive)
            return;
        --m_ownChange;
        const ToggleState now = state();
        if (now != old)
            emitStateChanged(now);
    }

    // Called by QAbstractButton::setChecked() just before it emits toggled(bool): the moment to
    // move the fallback connection behind receivers that connected after it.
    void checkStateSet() override
    {
        Base::checkStateSet();
        if (m_fallbackNeedsMove && !m_ownChange) {
            m_fallbackNeedsMove = false;
            QObject::disconnect(m_fallback);
            m_fallback = connectFallback();
        }
    }

    // Only records that someone connected to toggled(bool); QObject functions must not be
    // called from here.
    void connectNotify(const QMetaMethod& signal) override
    {
        Widget<Base>::connectNotify(signal);
        if (!m_connectingFallback && signal == QMetaMethod::fromSignal(&QAbstractButton::toggled))
            m_fallbackNeedsMove = true;
    }

private:
    QMetaObject::Connection connectFallback()
    {
        m_connectingFallback = true;
        auto connection = QObject::connect(this, &QAbstractButton::toggled, this, [this](bool on) {
            if (m_ownChange)
                return;
            m_noChange = false;
            emitStateChanged(on ? On : Off);
        });
        m_connectingFallback = false;
        return connection;
    }

    // Qt 6 refuses to uncheck the checked button of an exclusive group (or of auto-exclusive
    // siblings); Qt 3 allowed it through setOn(false). Returns false when a receiver of
    // toggled(bool) deleted this button.
    bool setCheckedOverridingExclusive(bool on)
    {
        QPointer<QAbstractButton> alive(this);
        QPointer<QButtonGroup> group = this->group();
        const bool reopenGroup = !on && group && group->exclusive() && group->checkedButton() == this;
        const bool reopenAuto = !on && !group && this->autoExclusive();
        if (reopenGroup)
            group->setExclusive(false);
        if (reopenAuto)
            this->setAutoExclusive(false);
        this->setChecked(on);
        if (reopenGroup && group)
            group->setExclusive(true);
        if (!alive)
            return false;
        if (reopenAuto)
            this->setAutoExclusive(true);
        return true;
    }

    QMetaObject::Connection m_fallback;
    int m_ownChange = 0;
    bool m_noChange = false;
    bool m_fallbackNeedsMove = false;
    bool m_connectingFallback = false;
};

} // namespace Qt3

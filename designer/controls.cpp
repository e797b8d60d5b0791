#include "controls.h"

#include "../buttons/conoffbutton.h"
#include "../buttons/cpixmapswitcher.h"
#include "../buttons/cradiobutton.h"
#include "../fader/cfader.h"
#include "../knob/cdial.h"
#include "../labels/chotspotlabel.h"
#include "../labels/clabeldisplay.h"
#include "../labels/cnameeditor.h"
#include "../menu/cpulldownmenu.h"
#include "../popup/cpopup.h"
#include "../sliders/ctextslider.h"
#include "../status/ctabwidget.h"
#include "../status/statedisplaywidget.h"

#include <QColor>
#include <QMetaEnum>
#include <QRect>
#include <QTabWidget>
#include <QWidget>

#include <memory>

namespace OrvelControls {
namespace {

// The nearest superclass that is Qt's own ("Q" + capital: QDial, QPushButton); the classes in
// between are orvelkit's, registered or abstract (a slider base), and their properties are the
// form's.
const QMetaObject* qtBase(const QMetaObject* mo)
{
    const QMetaObject* base = mo->superClass();
    while (base) {
        const char* name = base->className();
        if (name[0] == 'Q' && name[1] >= 'A' && name[1] <= 'Z')
            break;
        base = base->superClass();
    }
    return base;
}

// Properties a control dropped onto a form starts with, where the class's own defaults would
// show nothing (a popup selector without entries has an empty face). They go into the form
// snippet, so the form carries them and uic-generated code and the loaders set them alike.
QList<QPair<QByteArray, QString>> formStartValues(const QString& className)
{
    if (className == QLatin1String("CPopup"))
        return {{"labels", QStringLiteral("Off;Low;Mid;High")}, {"text", QStringLiteral("Off")}};
    return {};
}

template <class Control>
Entry entry(const char* includeFile, const char* iconKind, const char* toolTip, const char* whatsThis,
            QSize defaultSize, bool container = false)
{
    Entry e;
    e.metaObject = &Control::staticMetaObject;
    e.className = QString::fromLatin1(e.metaObject->className());
    const QMetaObject* base = qtBase(e.metaObject);
    e.baseClass = QString::fromLatin1(base ? base->className() : "QWidget");
    e.includeFile = QString::fromLatin1(includeFile);
    e.iconKind = QString::fromLatin1(iconKind);
    e.toolTip = QString::fromUtf8(toolTip);
    e.whatsThis = QString::fromUtf8(whatsThis);
    e.defaultSize = defaultSize;
    e.container = container;
    e.create = [](QWidget* parent) -> QWidget* { return new Control(parent); };
    return e;
}

const QVector<Entry>& table()
{
    // The one place controls are registered.
    static const QVector<Entry> entries = {
        entry<CDial_Orvel>("orvelkit/knob/cdial.h", "knob", "Rotary knob",
                           "A rotary knob drawn from an image strip and bound to one parameter "
                           "(namedAddress). Drag around its centre, use the wheel or the keys, or "
                           "type a number.",
                           QSize(48, 48)),
        entry<COnOffButton_Orvel>("orvelkit/buttons/conoffbutton.h", "button", "On/off button",
                                  "A two-state button drawn from an image strip (on, off, pressed, "
                                  "disabled rows) and bound to one parameter (namedAddress); with "
                                  "boolClipValue it stands for one value of the parameter.",
                                  QSize(32, 32)),
        entry<CRadioButton_Orvel>("orvelkit/buttons/cradiobutton.h", "button", "Radio button",
                                  "A radio button that stands for one value (onValue) of a parameter "
                                  "(namedAddress), drawn from off/tracking/on images or a strip; "
                                  "put several in an exclusive button group.",
                                  QSize(24, 24)),
        entry<CPixmapSwitcher_Orvel>("orvelkit/buttons/cpixmapswitcher.h", "button", "Pixmap switcher",
                                     "Shows one row of an image strip; rows change through "
                                     "setCurrentImage, toggleImage or clicks into the tab area, "
                                     "announced by indexChanged(int).",
                                     QSize(64, 32)),
        // The slider base (CSlider) is abstract: the catalogue offers the fader built on it.
        entry<CFader_Orvel>("orvelkit/fader/cfader.h", "fader", "Fader",
                            "A fader drawn from a background pixmap and a thumb strip and bound to "
                            "one parameter (namedAddress). Drag the thumb, use the wheel or the "
                            "keys, or type a number.",
                            QSize(40, 200)),
        entry<CLabelDisplay_Orvel>("orvelkit/labels/clabeldisplay.h", "label", "Value label",
                                   "A value readout: its text comes from another control (connect "
                                   "a knob's textualValueChange to setText), drawn over a strip "
                                   "row or a fixed colour, with an alternative display "
                                   "(altDisplayBegin/altDisplayEnd) and, when editable, a typed "
                                   "number emitted as valueChanged(double).",
                                   QSize(60, 16)),
        entry<CHotspotLabel_Orvel>("orvelkit/labels/chotspotlabel.h", "label", "Hotspot label",
                                   "A value label with a clickable rectangle (hotSpot): presses "
                                   "emit hotspotClicked(), left double clicks "
                                   "hotspotDoubleClicked(); an EditorOpener attached by the host "
                                   "opens an editor window from it.",
                                   QSize(60, 16)),
        entry<CNameEditor_Orvel>("orvelkit/labels/cnameeditor.h", "label", "Name editor",
                                 "A one-line field for names (letters, digits, white space and "
                                 "common punctuation); each edit ends in acceptEdit() (Return, "
                                 "Enter, focus leaving) or abortEdit() (Escape).",
                                 QSize(100, 20)),
        entry<CTextSlider_Orvel>("orvelkit/sliders/ctextslider.h", "slider", "Text slider",
                                 "Shows a parameter's value (namedAddress) as text: a number with a "
                                 "unit, a table name or a fixed label. Drag up or down over it, click "
                                 "its upper or lower half, use the wheel or the keys, or double-click "
                                 "to type a number (editable).",
                                 QSize(48, 18)),
        entry<CPullDownMenu_Orvel>("orvelkit/menu/cpulldownmenu.h", "menu", "Pull-down menu",
                                   "Shows the chosen entry of a list (menuItemList, entries separated "
                                   "by ';') as text or as a row of an image strip, and opens a "
                                   "checkable menu of the entries when clicked. Bound to one "
                                   "parameter (namedAddress).",
                                   QSize(100, 20)),
        entry<CPopup_Orvel>("orvelkit/popup/cpopup.h", "popup", "Popup selector",
                            "A button that shows the chosen entry of a list (labels, entries "
                            "separated by ';', or a string table: tableId) and opens a grid of "
                            "all entries when pressed. Bound to one parameter (namedAddress).",
                            QSize(60, 18)),
        entry<StateDisplayWidget_Orvel>("orvelkit/status/statedisplaywidget.h", "lamp", "State display",
                                        "A lamp that shows one slice of an image strip chosen by a "
                                        "parameter's value (namedAddress), directly or as on/off "
                                        "against cmpValue (booleanLogic). Emits clicked(int) with "
                                        "its channel number.",
                                        QSize(16, 16)),
        entry<CTabWidget_Orvel>("orvelkit/status/ctabwidget.h", "tabs", "Tab widget",
                                "A tab container for panels whose tab bar the host can reach "
                                "(getTabBar()).",
                                QSize(300, 200), true),
    };
    return entries;
}

} // namespace

QString uiValueElement(const QMetaProperty& property, const QVariant& value)
{
    const auto element = [](const char* tag, const QString& text) {
        return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), text.toHtmlEscaped());
    };
    if (property.isEnumType()) {
        const QMetaEnum meta = property.enumerator();
        QString keys = QString::fromLatin1(property.isFlagType() ? meta.valueToKeys(value.toInt())
                                                                 : QByteArray(meta.valueToKey(value.toInt())));
        if (keys.isEmpty())
            return {};
        const QString scope = QString::fromLatin1(meta.scope()) + QLatin1String("::");
        keys = scope + keys.replace(QLatin1Char('|'), QLatin1Char('|') + scope);
        return element(property.isFlagType() ? "set" : "enum", keys);
    }
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return element("number", value.toString());
    case QMetaType::Double:
        return element("double", value.toString());
    case QMetaType::Bool:
        return element("bool", value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    case QMetaType::QString:
        return element("string", value.toString());
    case QMetaType::QSize: {
        const QSize size = value.toSize();
        return QStringLiteral("<size><width>%1</width><height>%2</height></size>").arg(size.width()).arg(size.height());
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QStringLiteral("<rect><x>%1</x><y>%2</y><width>%3</width><height>%4</height></rect>")
            .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    case QMetaType::QColor: {
        const QColor c = value.value<QColor>();
        if (!c.isValid())
            return {};
        return QStringLiteral("<color alpha=\"%1\"><red>%2</red><green>%3</green><blue>%4</blue></color>")
            .arg(c.alpha()).arg(c.red()).arg(c.green()).arg(c.blue());
    }
    default:
        return {};
    }
}

const QVector<Entry>& all()
{
    return table();
}

const Entry* find(const QString& className)
{
    for (const Entry& e : table())
        if (e.className == className)
            return &e;
    return nullptr;
}

QWidget* create(const QString& className, QWidget* parent, const QString& objectName)
{
    const Entry* e = find(className);
    if (!e)
        return nullptr;
    QWidget* widget = e->create(parent);
    widget->setObjectName(objectName);
    return widget;
}

QList<QMetaProperty> designerProperties(const QMetaObject* metaObject)
{
    QList<QMetaProperty> result;
    if (!metaObject)
        return result;
    const QMetaObject* base = qtBase(metaObject);
    for (int i = base ? base->propertyCount() : 0; i < metaObject->propertyCount(); ++i) {
        const QMetaProperty p = metaObject->property(i);
        // A property a subclass declares again (the popup's focusColor) is one designer
        // property: the most derived declaration, the one setProperty() reaches.
        if (metaObject->indexOfProperty(p.name()) != i)
            continue;
        if (p.isWritable() && p.isDesignable())
            result.append(p);
    }
    return result;
}

QString domXml(const Entry& entry)
{
    QString name = entry.className;
    if (name.size() > 1 && name.at(0) == QLatin1Char('C') && name.at(1).isUpper())
        name.remove(0, 1);
    if (!name.isEmpty())
        name[0] = name.at(0).toLower();

    QString xml = QStringLiteral("<ui language=\"c++\">\n <widget class=\"%1\" name=\"%2\">\n"
                                 "  <property name=\"geometry\"><rect><x>0</x><y>0</y>"
                                 "<width>%3</width><height>%4</height></rect></property>\n")
                      .arg(entry.className, name)
                      .arg(entry.defaultSize.width())
                      .arg(entry.defaultSize.height());
    // The defaults come from a fresh control, so they are the values the class really starts with.
    std::unique_ptr<QWidget> sample(entry.create ? entry.create(nullptr) : nullptr);
    if (sample) {
        for (const QMetaProperty& p : designerProperties(entry.metaObject)) {
            if (p.hasStdCppSet())
                continue;
            const QString value = uiValueElement(p, p.read(sample.get()));
            if (!value.isEmpty())
                xml += QStringLiteral("  <property name=\"%1\" stdset=\"0\">%2</property>\n")
                           .arg(QLatin1String(p.name()), value);
        }
    }
    for (const auto& start : formStartValues(entry.className))
        xml += QStringLiteral("  <property name=\"%1\"><string>%2</string></property>\n")
                   .arg(QLatin1String(start.first), start.second.toHtmlEscaped());
    // A multi-page container arrives in Designer with its pages, as Designer's own QTabWidget
    // does; Designer then adds and removes pages of a QTabWidget subclass through its
    // tab-widget container support.
    if (entry.container && entry.metaObject && entry.metaObject->inherits(&QTabWidget::staticMetaObject)) {
        for (int page = 1; page <= 2; ++page)
            xml += QStringLiteral("  <widget class=\"QWidget\" name=\"tab%1\">\n"
                                  "   <attribute name=\"title\"><string>Tab %1</string></attribute>\n"
                                  "  </widget>\n").arg(page);
    }
    return xml + QStringLiteral(" </widget>\n</ui>\n");
}

} // namespace OrvelControls

// The catalogue of orvelkit controls: one entry per class, shared by the Qt Designer plug-in
// (designer/plugin/) and OrvelUiLoader. Adding a control to both is adding one entry to the
// table in controls.cpp (docs/designer.md).
#pragma once

#include "../binding/orvelkit_global.h"

#include <QList>
#include <QMetaProperty>
#include <QSize>
#include <QString>
#include <QVector>

#include <functional>

class QMetaObject;
class QWidget;

namespace OrvelControls {

struct ORVELKIT_EXPORT Entry
{
    QString className;    // the name forms use: the meta-object's class name ("CDial")
    QString baseClass;    // the nearest Qt class it derives from, for <extends> ("QDial")
    QString includeFile;  // what uic-generated code includes ("orvelkit/knob/cdial.h")
    QString iconKind;     // icon file name in the plug-in's icons ("knob" -> icons/knob.png)
    QString toolTip;
    QString whatsThis;
    QSize defaultSize;    // geometry of a control dropped onto a form
    bool container = false;
    const QMetaObject* metaObject = nullptr;
    std::function<QWidget*(QWidget* parent)> create;
};

// Every control, in the order the Designer widget box shows them.
ORVELKIT_EXPORT const QVector<Entry>& all();
// The entry for a form class name, or null.
ORVELKIT_EXPORT const Entry* find(const QString& className);
// Creates a control by form class name with the given object name; null for unknown names.
ORVELKIT_EXPORT QWidget* create(const QString& className, QWidget* parent, const QString& objectName);

// The properties a form can set on the class: the designable, writable properties declared by
// the class and by its orvelkit ancestors, up to the nearest Qt class (QDial for the knob); those
// it inherits from Qt count only where it re-declares them. In declaration order, ancestors first.
ORVELKIT_EXPORT QList<QMetaProperty> designerProperties(const QMetaObject* metaObject);

// The .ui element Designer writes for a property value ("<number>3</number>", "<enum>X::Y</enum>",
// a <color>, ...); empty for types a form cannot carry inline (pixmaps and other resources).
ORVELKIT_EXPORT QString uiValueElement(const QMetaProperty& property, const QVariant& value);

// The form snippet Qt Designer inserts when the control is dropped: its default geometry and,
// for each designer property whose setter is not set + Capitalised name, the default value
// written with stdset="0" so that uic emits setProperty() for it.
ORVELKIT_EXPORT QString domXml(const Entry& entry);

} // namespace OrvelControls

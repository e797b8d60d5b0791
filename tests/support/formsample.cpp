#include "formsample.h"

#include <orvelkit/designer/controls.h>

#include <QColor>
#include <QMetaEnum>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <memory>

namespace FormSample {
namespace {

QString objectNameFor(const OrvelControls::Entry& e)
{
    return QStringLiteral("w_") + e.className;
}

// Range properties get values that fit together; everything else a value derived from its
// position, so that two properties swapped by a setter show up.
QVariant sampleValue(const QMetaProperty& p, int index, const QVariant& current)
{
    const QByteArray name = p.name();
    if (p.isEnumType()) {
        const QMetaEnum meta = p.enumerator();
        if (meta.keyCount() < 2)
            return current;
        int at = 0;
        while (at < meta.keyCount() && meta.value(at) != current.toInt())
            ++at;
        return meta.value((at + 1) % meta.keyCount());
    }
    switch (p.metaType().id()) {
    case QMetaType::Int:
        if (name == "minimum" || name == "minValue")
            return -7;
        if (name == "maximum" || name == "maxValue")
            return 300;
        if (name == "value")
            return 42;
        if (name == "singleStep" || name == "lineStep")
            return 3;
        if (name == "pageStep")
            return 17;
        return 1 + index % 6 == current.toInt() ? 7 : 1 + index % 6;
    case QMetaType::Bool:
        // Measuring the labels would replace the labelSize the form sets as well.
        if (name == "labelSizeToContents")
            return current;
        return !current.toBool();
    case QMetaType::Double:
        return 0.25 + index;
    case QMetaType::QString:
        if (name == "groupOverride")
            return QString(); // parsed on setting: the property reads back empty
        return QStringLiteral("text-%1 <&>").arg(QLatin1String(name));
    case QMetaType::QColor:
        return QColor(10 + index * 13 % 200, 200 - index * 7 % 150, 30, 255);
    case QMetaType::QPixmap:
        return QPixmap(stripResource());
    case QMetaType::QRect:
        return QRect(2 + index, 3, 40 + index, 12);
    case QMetaType::QSize:
        return QSize(30 + index, 11 + index % 5);
    default:
        return {};
    }
}

struct Expected
{
    QMetaProperty property;
    QVariant value;
};

QList<Expected> expectations(const OrvelControls::Entry& e)
{
    QList<Expected> list;
    std::unique_ptr<QWidget> fresh(e.create(nullptr));
    const QList<QMetaProperty> props = OrvelControls::designerProperties(e.metaObject);
    for (int i = 0; i < props.size(); ++i)
        list.append({props[i], sampleValue(props[i], i, props[i].read(fresh.get()))});
    return list;
}

} // namespace

QString stripResource()
{
    return QStringLiteral(":/formtest/strip16x64.png");
}

QString formXml(bool stdsetZero)
{
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n"
                                 " <class>SampleForm</class>\n"
                                 " <widget class=\"QWidget\" name=\"SampleForm\">\n");
    QString custom;
    int x = 0;
    for (const OrvelControls::Entry& e : OrvelControls::all()) {
        xml += QStringLiteral("  <widget class=\"%1\" name=\"%2\">\n").arg(e.className, objectNameFor(e));
        xml += QStringLiteral("   <property name=\"geometry\"><rect><x>%1</x><y>0</y><width>%2</width>"
                              "<height>%3</height></rect></property>\n")
                   .arg(x).arg(e.defaultSize.width()).arg(e.defaultSize.height());
        x += e.defaultSize.width() + 4;
        for (const Expected& ex : expectations(e)) {
            QString element = ex.property.metaType().id() == QMetaType::QPixmap
                                  ? QStringLiteral("<pixmap>%1</pixmap>").arg(stripResource())
                                  : OrvelControls::uiValueElement(ex.property, ex.value);
            if (element.isEmpty())
                element = QStringLiteral("<string>unsupported property type %1</string>")
                              .arg(QLatin1String(ex.property.typeName()));
            xml += QStringLiteral("   <property name=\"%1\"%2>%3</property>\n")
                       .arg(QLatin1String(ex.property.name()),
                            stdsetZero ? QStringLiteral(" stdset=\"0\"") : QString(), element);
        }
        xml += QStringLiteral("  </widget>\n");
        custom += QStringLiteral("  <customwidget>\n   <class>%1</class>\n   <extends>%2</extends>\n"
                                 "   <header>%3</header>\n  </customwidget>\n")
                      .arg(e.className, e.baseClass, e.includeFile);
    }
    return xml + QStringLiteral(" </widget>\n <customwidgets>\n") + custom +
           QStringLiteral(" </customwidgets>\n <resources/>\n <connections/>\n</ui>\n");
}

QStringList mismatches(const QWidget* form)
{
    QStringList out;
    const QSize stripSize = QPixmap(stripResource()).size();
    if (stripSize.isEmpty())
        out << QStringLiteral("the sample strip is not in the resources");
    for (const OrvelControls::Entry& e : OrvelControls::all()) {
        const QWidget* w = form->findChild<QWidget*>(objectNameFor(e));
        if (!w || QLatin1String(w->metaObject()->className()) != e.className) {
            out << QStringLiteral("%1: not created").arg(e.className);
            continue;
        }
        for (const Expected& ex : expectations(e)) {
            const QVariant got = ex.property.read(w);
            const QString where = e.className + QLatin1Char('.') + QLatin1String(ex.property.name());
            if (!ex.value.isValid()) {
                out << where + QStringLiteral(": unsupported type ") + QLatin1String(ex.property.typeName());
            } else if (ex.property.metaType().id() == QMetaType::QPixmap) {
                if (got.value<QPixmap>().size() != stripSize)
                    out << where + QStringLiteral(": pixmap not set");
            } else if (ex.property.isEnumType() ? got.toInt() != ex.value.toInt() : got != ex.value) {
                out << QStringLiteral("%1: %2, expected %3").arg(where, got.toString(), ex.value.toString());
            }
        }
    }
    return out;
}

} // namespace FormSample

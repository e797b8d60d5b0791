#include "orveldesignerplugin.h"

#include <orvelkit/binding/compat/widget.h>
#include <orvelkit/designer/controls.h>
#include <orvelkit/labels/clabeldisplay.h>

#include <QDataStream>
#include <QEvent>
#include <QFile>
#include <QIcon>

OrvelWidgetInterface::OrvelWidgetInterface(const OrvelControls::Entry& entry, QObject* parent)
    : QObject(parent), m_entry(entry)
{
}

QString OrvelWidgetInterface::name() const
{
    return m_entry.className;
}

QString OrvelWidgetInterface::group() const
{
    return QStringLiteral("orvelkit");
}

QString OrvelWidgetInterface::toolTip() const
{
    return m_entry.toolTip;
}

QString OrvelWidgetInterface::whatsThis() const
{
    return m_entry.whatsThis;
}

QString OrvelWidgetInterface::includeFile() const
{
    return m_entry.includeFile;
}

QIcon OrvelWidgetInterface::icon() const
{
    // Icons are drawn by tools/orvelstrips (--set icons) and compiled into the plug-in.
    const QString path = QStringLiteral(":/orvelkit/designer/icons/%1.png").arg(m_entry.iconKind);
    return QIcon(QFile::exists(path) ? path : QStringLiteral(":/orvelkit/designer/icons/generic.png"));
}

bool OrvelWidgetInterface::isContainer() const
{
    return m_entry.container;
}

QWidget* OrvelWidgetInterface::createWidget(QWidget* parent)
{
    QWidget* control = m_entry.create(parent);
    if (auto* hooks = dynamic_cast<Qt3::WidgetHooks*>(control))
        control->installEventFilter(new OrvelDesignWatcher(control, hooks));
    return control;
}

bool OrvelWidgetInterface::isInitialized() const
{
    return m_initialized;
}

void OrvelWidgetInterface::initialize(QDesignerFormEditorInterface*)
{
    m_initialized = true;
}

QString OrvelWidgetInterface::domXml() const
{
    return OrvelControls::domXml(m_entry);
}

OrvelDesignWatcher::OrvelDesignWatcher(QWidget* control, Qt3::WidgetHooks* hooks)
    : QObject(control), m_control(control), m_hooks(hooks)
{
}

QByteArray OrvelDesignWatcher::signature() const
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    for (const QMetaProperty& p : OrvelControls::designerProperties(m_control->metaObject())) {
        const QVariant value = p.read(m_control);
        if (value.metaType().id() == QMetaType::QPixmap) // the pixels are not needed, only identity
            out << value.value<QPixmap>().cacheKey();
        else
            out << value;
    }
    return bytes;
}

bool OrvelDesignWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_control && event->type() == QEvent::Paint && m_hooks->isPolishHookDone()) {
        QByteArray now = signature();
        if (now != m_signature) {
            m_signature = std::move(now);
            m_hooks->repeatPolish();
            // A value label renders its face only on text, focus, enable and font changes; in
            // Designer the strip and colours arrive after the text, so render it again here.
            if (auto* label = qobject_cast<CLabelDisplay_Orvel*>(m_control))
                label->updateErasePixmap(nullptr);
        }
    }
    return false;
}

OrvelDesignerCollection::OrvelDesignerCollection(QObject* parent)
    : QObject(parent)
{
    for (const OrvelControls::Entry& entry : OrvelControls::all())
        m_widgets.append(new OrvelWidgetInterface(entry, this));
}

QList<QDesignerCustomWidgetInterface*> OrvelDesignerCollection::customWidgets() const
{
    return m_widgets;
}

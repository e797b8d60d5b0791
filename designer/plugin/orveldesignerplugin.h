// The Qt Designer plug-in: one custom-widget interface per entry of the control catalogue
// (designer/controls.h), gathered in one collection. Nothing here is per control.
#pragma once

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QObject>

namespace OrvelControls {
struct Entry;
}
namespace Qt3 {
class WidgetHooks;
}

class OrvelWidgetInterface : public QObject, public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)
public:
    OrvelWidgetInterface(const OrvelControls::Entry& entry, QObject* parent);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override;
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override;
    void initialize(QDesignerFormEditorInterface* core) override;
    QString domXml() const override;

private:
    const OrvelControls::Entry& m_entry;
    bool m_initialized = false;
};

// Keeps a control on a Designer form drawn as the running application would draw it. Designer
// applies some properties (strips from the form's resource files) after the control was first
// shown, when its one polish has already sized it from no strip at all; this watcher repeats
// the polish before a paint whenever a designer property changed since the last one.
class OrvelDesignWatcher : public QObject
{
    Q_OBJECT
public:
    // `hooks` is the control's own Qt 3 hook part (the same object as `control`).
    OrvelDesignWatcher(QWidget* control, Qt3::WidgetHooks* hooks);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QByteArray signature() const;
    QWidget* m_control;
    Qt3::WidgetHooks* m_hooks;
    QByteArray m_signature;
};

class OrvelDesignerCollection : public QObject, public QDesignerCustomWidgetCollectionInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)
public:
    explicit OrvelDesignerCollection(QObject* parent = nullptr);
    QList<QDesignerCustomWidgetInterface*> customWidgets() const override;

private:
    QList<QDesignerCustomWidgetInterface*> m_widgets;
};

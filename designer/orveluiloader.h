// OrvelUiLoader: loads Qt Designer forms at run time and gives back a live panel.
//
//     OrvelUiLoader loader(&memory);
//     QWidget* panel = loader.load(":/forms/panel.ui", parent);
//
// Every orvelkit class in the form is created by name from the control catalogue (controls.h),
// with no Designer plug-in and no plug-in path; other classes go to QUiLoader as usual. Once the
// form's properties are applied, every parameter-bound control in it is attached to the memory
// given here (bindMemAPI) and refreshed once from it, so the panel shows the memory's values and
// follows it at once. The loader also attaches editor conveniences to those controls (Ctrl-click
// reset, a context menu, clipboard copy and paste; docs/conveniences.md) unless switched off with
// setEditorConveniencesEnabled(false). See docs/designer.md.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QPointer>
#include <QString>
#include <QUiLoader>

class IMemAPI;
class QIODevice;
class TEditorConveniences_Orvel;

class ORVELKIT_EXPORT OrvelUiLoader : public QUiLoader
{
    Q_OBJECT
public:
    explicit OrvelUiLoader(IMemAPI* memory = nullptr, QObject* parent = nullptr);
    ~OrvelUiLoader() override;

    // The memory the next loaded forms are bound to; null loads them unbound.
    void setMemAPI(IMemAPI* memory);
    IMemAPI* memAPI() const;

    // Loads a form and binds its controls. Null on failure, with errorString() saying why.
    // (These hide QUiLoader::load, which cannot bind: call them through an OrvelUiLoader.)
    QWidget* load(QIODevice* device, QWidget* parent = nullptr);
    QWidget* load(const QString& fileName, QWidget* parent = nullptr);
    QString errorString() const;

    // QUiLoader's classes plus every orvelkit class.
    QStringList availableWidgets() const;
    // How many parameter-bound controls the last load() bound to the memory.
    int boundControlCount() const;

    // Editor conveniences for the forms loaded from now on (on by default): a form loaded with a
    // memory gets one TEditorConveniences_Orvel, a child of the form, attached to every bound
    // control in it (and to those added to the form later). Its undo entries use the memory's
    // undo stack when the memory is a TReferenceMemory_Orvel.
    void setEditorConveniencesEnabled(bool on);
    bool editorConveniencesEnabled() const;
    // The conveniences of the last form loaded (null when off, unbound, or the form is gone).
    TEditorConveniences_Orvel* editorConveniences() const;

    QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                          const QString& name = QString()) override;

private:
    void refreshBoundControls(QWidget* form);

    IMemAPI* m_memory = nullptr;
    QString m_error;
    int m_bound = 0;
    bool m_conveniencesEnabled = true;
    QPointer<TEditorConveniences_Orvel> m_conveniences;
};

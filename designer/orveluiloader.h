// OrvelUiLoader: loads Qt Designer forms at run time and gives back a live panel.
//
//     OrvelUiLoader loader(&memory);
//     QWidget* panel = loader.load(":/forms/panel.ui", parent);
//
// Every orvelkit class in the form is created by name from the control catalogue (controls.h),
// with no Designer plug-in and no plug-in path; other classes go to QUiLoader as usual. Once the
// form's properties are applied, every parameter-bound control in it is attached to the memory
// given here (bindMemAPI) and refreshed once from it, so the panel shows the memory's values and
// follows it at once. See docs/designer.md.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QString>
#include <QUiLoader>

class IMemAPI;
class QIODevice;

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

    QWidget* createWidget(const QString& className, QWidget* parent = nullptr,
                          const QString& name = QString()) override;

private:
    void refreshBoundControls(QWidget* form);

    IMemAPI* m_memory = nullptr;
    QString m_error;
    int m_bound = 0;
};

#include "orveluiloader.h"

#include "controls.h"

#include "../binding/conveniences.h"
#include "../binding/memproxy.h"
#include "../memory/referencememory.h"

#include <QFile>

OrvelUiLoader::OrvelUiLoader(IMemAPI* memory, QObject* parent)
    : QUiLoader(parent), m_memory(memory)
{
}

OrvelUiLoader::~OrvelUiLoader() = default;

void OrvelUiLoader::setMemAPI(IMemAPI* memory)
{
    m_memory = memory;
}

IMemAPI* OrvelUiLoader::memAPI() const
{
    return m_memory;
}

QWidget* OrvelUiLoader::createWidget(const QString& className, QWidget* parent, const QString& name)
{
    if (QWidget* control = OrvelControls::create(className, parent, name))
        return control;
    return QUiLoader::createWidget(className, parent, name);
}

QWidget* OrvelUiLoader::load(QIODevice* device, QWidget* parent)
{
    m_error.clear();
    m_bound = 0;
    m_conveniences = nullptr;
    if (!device) {
        m_error = QStringLiteral("no device to read the form from");
        return nullptr;
    }
    QWidget* form = QUiLoader::load(device, parent);
    if (!form) {
        m_error = QUiLoader::errorString();
        if (m_error.isEmpty())
            m_error = QStringLiteral("the form could not be read");
        return nullptr;
    }
    // Binding waits until the whole form is built: the loader applies a control's properties
    // (its namedAddress among them) after creating it, and binding resolves the address.
    if (m_memory) {
        m_bound = bindMemAPI(form, m_memory);
        refreshBoundControls(form);
        if (m_conveniencesEnabled) {
            QUndoStack* undo = nullptr;
            if (auto* reference = dynamic_cast<TReferenceMemory_Orvel*>(m_memory))
                undo = reference->undoStack();
            m_conveniences = new TEditorConveniences_Orvel(undo, form);
            m_conveniences->setObjectName(QStringLiteral("orvelkit-conveniences"));
            m_conveniences->attachAll(form);
        }
    }
    return form;
}

void OrvelUiLoader::refreshBoundControls(QWidget* form)
{
    // Some controls (faders, pull-down menus) only connect when bound and show the memory's
    // value at its next change. A panel fresh from a form shows the current values at once, as
    // if the memory had just announced every parameter: one ordinary refresh (operation 0) each.
    QList<QObject*> objects{form};
    for (int i = 0; i < objects.size(); ++i) {
        QObject* object = objects.at(i);
        if (TMemProxy_Orvel* proxy = memProxyOf(object); proxy && proxy->memAPIReady())
            proxy->process(nullptr, 0, 0);
        objects.append(object->children());
    }
}

QWidget* OrvelUiLoader::load(const QString& fileName, QWidget* parent)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        m_bound = 0;
        m_conveniences = nullptr;
        return nullptr;
    }
    QWidget* form = load(&file, parent);
    if (!form)
        m_error = QStringLiteral("%1: %2").arg(fileName, m_error);
    return form;
}

QString OrvelUiLoader::errorString() const
{
    return m_error;
}

QStringList OrvelUiLoader::availableWidgets() const
{
    QStringList names = QUiLoader::availableWidgets();
    for (const OrvelControls::Entry& e : OrvelControls::all())
        if (!names.contains(e.className))
            names.append(e.className);
    return names;
}

int OrvelUiLoader::boundControlCount() const
{
    return m_bound;
}

void OrvelUiLoader::setEditorConveniencesEnabled(bool on)
{
    m_conveniencesEnabled = on;
}

bool OrvelUiLoader::editorConveniencesEnabled() const
{
    return m_conveniencesEnabled;
}

TEditorConveniences_Orvel* OrvelUiLoader::editorConveniences() const
{
    return m_conveniences.data();
}

#include "editorregistry.h"

#include <QWidget>

TEditorRegistry_Orvel::TEditorRegistry_Orvel() = default;
TEditorRegistry_Orvel::~TEditorRegistry_Orvel() = default;

void TEditorRegistry_Orvel::registerEditor(const QUuid& editorId, int kind, Creator creator)
{
    QMutexLocker lock(&m_mutex);
    if (creator)
        m_creators.insert(Key{editorId, kind}, std::move(creator));
    else
        m_creators.remove(Key{editorId, kind});
}

bool TEditorRegistry_Orvel::unregisterEditor(const QUuid& editorId, int kind)
{
    QMutexLocker lock(&m_mutex);
    return m_creators.remove(Key{editorId, kind}) > 0;
}

bool TEditorRegistry_Orvel::hasEditor(const QUuid& editorId, int kind) const
{
    QMutexLocker lock(&m_mutex);
    return m_creators.contains(Key{editorId, kind}) || m_creators.contains(Key{editorId, AnyKind});
}

int TEditorRegistry_Orvel::createEditor(const QUuid& editorId, int kind, QWidget** editor,
                                        QWidget* parent, int)
{
    if (!editor)
        return 1;
    Creator creator;
    {
        QMutexLocker lock(&m_mutex);
        creator = m_creators.value(Key{editorId, kind});
        if (!creator)
            creator = m_creators.value(Key{editorId, AnyKind});
    }
    if (!creator)
        return 1;
    // The creator runs without the lock: it may register further editors.
    QWidget* widget = creator(parent);
    if (!widget)
        return 2;
    *editor = widget;
    return 0;
}

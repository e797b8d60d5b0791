// A simple editor factory: editors registered by id and kind, created on request.
#pragma once

#include "../binding/memapi.h"

#include <QHash>
#include <QMutex>
#include <QUuid>

#include <functional>

class ORVELKIT_EXPORT TEditorRegistry_Orvel : public IEditorFactory
{
public:
    using Creator = std::function<QWidget*(QWidget* parent)>;
    static constexpr int AnyKind = -1;

    TEditorRegistry_Orvel();
    ~TEditorRegistry_Orvel() override;

    // Registers (or replaces) the creator of editor `editorId` for `kind`. A creator registered
    // with AnyKind serves every kind that has no creator of its own.
    void registerEditor(const QUuid& editorId, int kind, Creator creator);
    // Removes a registration. Returns whether there was one.
    bool unregisterEditor(const QUuid& editorId, int kind);
    bool hasEditor(const QUuid& editorId, int kind) const;

    // IEditorFactory: 0 and the new window in *editor; 1 when nothing is registered for the id
    // and kind (or `editor` is null), 2 when the creator returned null. *editor is set only on
    // success.
    int createEditor(const QUuid& editorId, int kind, QWidget** editor, QWidget* parent,
                     int flags) override;

private:
    struct Key
    {
        QUuid id;
        int kind;
        bool operator==(const Key& other) const { return id == other.id && kind == other.kind; }
    };
    friend size_t qHash(const Key& key, size_t seed) { return qHashMulti(seed, key.id, key.kind); }

    mutable QMutex m_mutex;
    QHash<Key, Creator> m_creators;
};

#include "services.h"

#include <QMutexLocker>
#include <QtEndian>

#include <utility>

TCachedData::TCachedData() = default;
TCachedData::~TCachedData() = default;

TCacheServer::TCacheServer() = default;

TCacheServer::~TCacheServer()
{
    // The controls holding shared records are children of the server's window. Delete them
    // before the records when the window part still exists, so none outlives its record.
    if (QWidget* window = m_window.data()) {
        const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* child : children)
            delete child;
    }
    // Users that live on elsewhere copy their record now.
    const auto users = std::exchange(m_users, {});
    for (const auto& user : users) {
        if (user.first)
            user.second();
    }
    QMutexLocker locker(&mutex);
    const QList<TCachedData*> records = cache.values();
    cache.clear();
    locker.unlock();
    for (TCachedData* record : records)
        delete record;
}

TCacheServer* TCacheServer::FindCacheServer(QWidget* w, QString* caption)
{
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (TCacheServer* server = dynamic_cast<TCacheServer*>(p)) {
            server->m_window = p;
            if (caption)
                *caption = p->windowTitle();
            return server;
        }
    }
    return nullptr;
}

TCachedData* TCacheServer::insert(const QString& key, TCachedData* data)
{
    if (!data)
        return nullptr;
    QMutexLocker locker(&mutex);
    TCachedData* result = data;
    const auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        cache.insert(key, data);
        data->key = QString();
    } else {
        result = it.value();
        if (result != data)
            delete data;
    }
    ++result->useCount;
    return result;
}

void TCacheServer::addUser(QObject* user, std::function<void()> leave)
{
    if (!user || !leave)
        return;
    removeUser(user);
    m_users.append({QPointer<QObject>(user), std::move(leave)});
}

void TCacheServer::removeUser(QObject* user)
{
    m_users.removeIf([user](const auto& u) { return !u.first || u.first == user; });
}

IPersistPrivateData::~IPersistPrivateData() = default;
IEditorExtensionsBase_Orvel::~IEditorExtensionsBase_Orvel() = default;
IEditorExtensions::~IEditorExtensions() = default;

QUuid Guid2QUuid(const OV_GUID& g)
{
    // Equivalent to copying the bytes into the UUID and reversing the 32-bit and the two 16-bit
    // fields on a little-endian host, written so that it holds on any host.
    QUuid uuid;
    uuid.data1 = qFromBigEndian<quint32>(g.bytes);
    uuid.data2 = qFromBigEndian<quint16>(g.bytes + 4);
    uuid.data3 = qFromBigEndian<quint16>(g.bytes + 6);
    for (int i = 0; i < 8; ++i)
        uuid.data4[i] = g.bytes[8 + i];
    return uuid;
}

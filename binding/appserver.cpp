#include "appserver.h"

#include "memproxy.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QThread>

namespace {

QMutex& serverMutex()
{
    static QMutex mutex;
    return mutex;
}

struct ServerSlot
{
    QPointer<CAppServer> server;
    QPointer<QCoreApplication> app; // the application the server was made for
};

ServerSlot& serverSlot()
{
    static ServerSlot slot;
    return slot;
}

} // namespace

CAppServer::CAppServer() = default;
CAppServer::~CAppServer() = default;

CAppServer* CAppServer::MS()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return nullptr;
    QMutexLocker locker(&serverMutex());
    ServerSlot& slot = serverSlot();
    if (!slot.server || slot.app != app) {
        auto* server = new CAppServer;
        server->setObjectName(QStringLiteral("CAppServer"));
        if (server->thread() != app->thread())
            server->moveToThread(app->thread());
        // Parented to the application so that it goes with it; setParent across threads is
        // not allowed, so a server made on a worker thread is parented by a queued call.
        if (server->thread() == QThread::currentThread())
            server->setParent(app);
        else
            QMetaObject::invokeMethod(app, [server, app] { server->setParent(app); }, Qt::QueuedConnection);
        slot.server = server;
        slot.app = app;
    }
    return slot.server.data();
}

bool CAppServer::postMarshall(QObject* target, void (*callback)(QObject*))
{
    CAppServer* server = MS();
    if (!server)
        return false;
    QCoreApplication::postEvent(server, new TMarshallEvent_Orvel(target, callback));
    return true;
}

void CAppServer::customEvent(QEvent* event)
{
    if (event->type() == TMarshallEvent_Orvel::eventType())
        static_cast<TMarshallEvent_Orvel*>(event)->deliver();
}

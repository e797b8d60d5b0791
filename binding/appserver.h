// The application server: a QObject on the GUI thread that runs marshalled callbacks.
#pragma once

#include "orvelkit_global.h"

#include <QObject>

class ORVELKIT_EXPORT CAppServer : public QObject
{
    Q_OBJECT
public:
    // The server, created on first use and living on the application's thread; it is deleted
    // with the application (a later application gets a new one). Null while no
    // QCoreApplication exists. Safe to call from any thread.
    static CAppServer* MS();

    // Posts a TMarshallEvent_Orvel(target, callback) to MS(): callback(target) runs on the GUI
    // thread unless the target is destroyed first. Returns false (and posts nothing) when there
    // is no application.
    static bool postMarshall(QObject* target, void (*callback)(QObject*));

protected:
    void customEvent(QEvent* event) override;

private:
    CAppServer();
    ~CAppServer() override;
};

#include "utilities.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>

namespace NS_Utilities {

bool mainThreadRunning()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

Qt3::ButtonState modifierState()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Qt3::NoButton;
    return Qt3::toButtonState(Qt::NoButton, QGuiApplication::queryKeyboardModifiers());
}

IConfirmUserAction::~IConfirmUserAction() = default;

} // namespace NS_Utilities

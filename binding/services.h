// Services the controls share: the image cache, the editor-root lookup, the repaint-if-visible
// rule, GUID conversion and the null-safe delete.
#pragma once

#include "orvelkit_global.h"
#include "utilities.h"

#include <QList>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>

// A record that controls of one kind can share through a TCacheServer (the on/off button's
// private record derives from it).
class ORVELKIT_EXPORT TCachedData
{
public:
    TCachedData();
    virtual ~TCachedData();
    TCachedData(const TCachedData&) = delete;
    TCachedData& operator=(const TCachedData&) = delete;

    qint32 useCount = 0; // 0: not shared yet
    QString key;         // null: the record does not ask to be cached
};

// A host window inherits TCacheServer besides QWidget; controls find it by walking up the widget
// tree. The records in `cache` live as long as the server: this library never removes or deletes a
// cached record and never lowers a use count. The server deletes its records when it goes; since
// the controls that use them are its window's children, it first deletes those children when the
// window is still intact (a host that lists QWidget before TCacheServer destroys the server part
// first).
class ORVELKIT_EXPORT TCacheServer
{
public:
    TCacheServer();
    ~TCacheServer();
    TCacheServer(const TCacheServer&) = delete;
    TCacheServer& operator=(const TCacheServer&) = delete;

    // The nearest cache server at or above `w` (crossing window boundaries). When one is found
    // and `caption` is non-null, *caption receives that widget's window title.
    static TCacheServer* FindCacheServer(QWidget* w, QString* caption);

    // Registers `data` under `key`, or, when a record is already stored under `key`, destroys
    // `data` and returns the stored record. The returned record's use count grows by one. A null
    // `data` returns null and locks nothing. A caller that gets back another record than it
    // passed must adopt it.
    TCachedData* insert(const QString& key, TCachedData* data);
    // A widget that holds one of the records. When the server goes while the widget is still
    // alive (its parent, not the widget itself, was moved out of the server's window), `leave`
    // runs before the records are deleted, so the widget can take a copy. A destroyed user is
    // forgotten by itself. GUI thread only.
    void addUser(QObject* user, std::function<void()> leave);
    void removeUser(QObject* user);

    QMutex mutex;
    QMap<QString, TCachedData*> cache;

private:
    QPointer<QWidget> m_window; // the widget this server was found as
    QList<QPair<QPointer<QObject>, std::function<void()>>> m_users;
};

// The editor's root window implements IEditorExtensions (through IEditorExtensionsBase_Orvel and
// IPersistPrivateData). The library only finds it; it calls none of its operations.
class ORVELKIT_EXPORT IPersistPrivateData
{
public:
    virtual ~IPersistPrivateData();
};

class ORVELKIT_EXPORT IEditorExtensionsBase_Orvel : public IPersistPrivateData
{
public:
    ~IEditorExtensionsBase_Orvel() override;
};

class ORVELKIT_EXPORT IEditorExtensions : public IEditorExtensionsBase_Orvel
{
public:
    ~IEditorExtensions() override;
};

// The nearest widget at or above `w` that cross-casts to T, as a QWidget (not the interface).
template <class T>
QWidget* rootObjectOfClass(QWidget* w)
{
    for (QWidget* p = w; p; p = p->parentWidget()) {
        if (dynamic_cast<T*>(p))
            return p;
    }
    return nullptr;
}

namespace NS_Utilities {

// The wheel on a range control: one notch (120 eighths of a degree, the vertical turn, else the
// horizontal one) is one step of `setValue`, saturating at the int limits; then the editor's root
// window (IEditorExtensions) takes the focus, so the next turn does not land on the control by
// accident. Nothing more once a receiver of the value change deleted the control.
template <class Control>
void wheelStep(Control* control, const QPoint& angleDelta)
{
    const int delta = angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x();
    const QPointer<Control> self(control);
    control->setValue(clampToInt(qint64(control->value()) + delta / 120));
    if (!self)
        return;
    if (QWidget* root = rootObjectOfClass<IEditorExtensions>(control))
        root->setFocus();
}

// Repaints `w` when it is visible. Returns whether a repaint was scheduled.
template <class T>
bool geometry_change(T* w)
{
    if (!w || !w->isVisible())
        return false;
    w->update();
    return true;
}

} // namespace NS_Utilities

// A 16-byte GUID record: a 32-bit field, two 16-bit fields and 8 bytes, the numeric fields stored
// most significant byte first.
struct OV_GUID
{
    quint8 bytes[16];
};

// The UUID whose fields hold the record's values.
ORVELKIT_EXPORT QUuid Guid2QUuid(const OV_GUID& g);

// Deletes `*p` as a T after setting the pointer to null first; nothing for a null pointer.
template <class T>
void safe_delete1(T*& p)
{
    if (!p)
        return;
    T* doomed = p;
    p = nullptr;
    delete doomed;
}

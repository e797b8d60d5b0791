// Accessibility for the orvelkit controls: one accessible factory that gives every control of the
// library a QAccessibleInterface (role, name, display text as value, value and action
// interfaces) and nothing to any other object. See docs/accessibility.md.
//
// The library installs the factory when the application object is created; hosts that load the
// library later, or removed the factory, call installAccessibleFactory() themselves.
#pragma once

#include "../binding/orvelkit_global.h"

#include <QString>

class QAccessibleEvent;
class QAccessibleInterface;
class QObject;

namespace NS_Accessibility {

// Installs accessibleFactory() with QAccessible::installFactory. Safe to call any number of
// times and before the application object exists (the factory list is Qt's, process-wide).
ORVELKIT_EXPORT void installAccessibleFactory();

// The factory itself: for an orvelkit control (or a class derived from one) a new interface,
// for anything else null, so Qt's own interfaces and other factories keep every other class.
// `className` is the class Qt is asking about; the answer depends on `object` alone.
ORVELKIT_EXPORT QAccessibleInterface* accessibleFactory(const QString& className, QObject* object);

// Receives every change notice of the watched controls (value changes, and the checked-state
// changes of the buttons), on the GUI thread, whether or not an assistive technology is active.
// For hosts that relay or log the notices themselves, and for platforms that never report
// accessibility active (such as "offscreen"). Null (the default) removes it. Notices go to
// QAccessible::updateAccessibility only while QAccessible::isActive().
using AnnouncementObserver = void (*)(QAccessibleEvent* event);
ORVELKIT_EXPORT void setAnnouncementObserver(AnnouncementObserver observer);

} // namespace NS_Accessibility

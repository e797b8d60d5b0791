#include "erasedirect.h"

#include "widget.h"

namespace Qt3 {

void setErasePixmapDirect(QWidget* widget, const QPixmap& face)
{
    auto* hooks = dynamic_cast<WidgetHooks*>(widget);
    if (!hooks)
        return;
    // QWidget::update() returns at once while updates are disabled. The attribute is set
    // directly (setUpdatesEnabled(true) would itself repaint the whole widget).
    const bool wasDisabled = widget->testAttribute(Qt::WA_UpdatesDisabled);
    widget->setAttribute(Qt::WA_UpdatesDisabled, true);
    hooks->setErasePixmap(face);
    widget->setAttribute(Qt::WA_UpdatesDisabled, wasDisabled);
}

} // namespace Qt3

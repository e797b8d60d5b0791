// CTabWidget_Orvel ("CTabWidget" to the meta-object system): the library's tab container. A
// QTabWidget whose tab bar the host can reach (QTabWidget keeps tabBar() protected). It has no
// binding, properties, signals or slots of its own. See docs/status.md.
#pragma once

#include "statusnames.h"

#include "../binding/orvelkit_global.h"

#include <QTabWidget>

class QTabBar;

class ORVELKIT_EXPORT CTabWidget : public QTabWidget
{
    Q_OBJECT
public:
    // `name` becomes the object name when given; non-empty `f` become the window flags.
    explicit CTabWidget(QWidget* parent = nullptr, const char* name = nullptr, Qt::WindowFlags f = {});
    ~CTabWidget() override;

    // The tab bar the tabs appear in; the same object for the widget's whole life.
    QTabBar* getTabBar() const;
};

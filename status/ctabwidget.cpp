#include "ctabwidget.h"

#include <QTabBar>

CTabWidget::CTabWidget(QWidget* parent, const char* name, Qt::WindowFlags f) : QTabWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    if (f)
        setWindowFlags(f);
}

CTabWidget::~CTabWidget() = default;

QTabBar* CTabWidget::getTabBar() const
{
    return tabBar();
}

// One row of the demo panel: a parameter's label, a slider that edits it and its display text.
// A plain Qt composite bound to the memory through the proxy, as a host might write one.
#pragma once

#include <orvelkit/binding/memproxy.h>

#include <QWidget>

class QLabel;
class QSlider;

class ParameterRow : public QWidget, public TMemProxy
{
    Q_OBJECT
public:
    ParameterRow(const QString& label, const QString& namedAddress, QWidget* parent = nullptr);
    ~ParameterRow() override;

    void process(const Q_UINT8* data, int operation, Q_UINT32 extra) override;
    // Registers, then shows the memory's value at once.
    void connectMemAPI() override;

private:
    void userMoved(int value);
    QLabel* m_label;
    QSlider* m_slider;
    QLabel* m_display;
};

#include "parameterrow.h"

#include <orvelkit/binding/utilities.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

ParameterRow::ParameterRow(const QString& label, const QString& namedAddress, QWidget* parent)
    : QWidget(parent),
      m_label(new QLabel(label, this)),
      m_slider(new QSlider(Qt::Horizontal, this)),
      m_display(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label->setMinimumWidth(170);
    m_display->setMinimumWidth(80);
    m_display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_label);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_display);
    connect(m_slider, &QSlider::valueChanged, this, &ParameterRow::userMoved);
    setNamedAddress(namedAddress);
}

ParameterRow::~ParameterRow()
{
    detachMemAPI();
}

void ParameterRow::connectMemAPI()
{
    TMemProxy_Orvel::connectMemAPI();
    process(nullptr, 0, 0);
}

void ParameterRow::process(const Q_UINT8*, int, Q_UINT32)
{
    if (!memAPIReady())
        return;
    if (!NS_Utilities::mainThreadRunning()) {
        MAPI_postObserverEvent(api, this);
        return;
    }
    setWidgetShowState(this);
    const int min = api->minimum(addrHigh, addrMid, addrLow, 0);
    const int max = api->maximum(addrHigh, addrMid, addrLow, 0);
    const int value = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
    {
        TMemSilentHelper guard(silent, 0);
        const QSignalBlocker block(m_slider);
        m_slider->setRange(min, max);
        m_slider->setValue(value);
    }
    QString text;
    if (api->formatValue(qint16(addrLow + addrLowOffset), -1, text, nullptr, value, 0, addrHigh, addrMid) != 0)
        text = QString::number(value);
    m_display->setText(text);
}

void ParameterRow::userMoved(int value)
{
    if (memAPIReady() && !silent)
        api->setValue(addrHigh, addrMid, addrLow, value, undoContext(0), 1);
}

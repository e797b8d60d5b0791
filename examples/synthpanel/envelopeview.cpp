#include "envelopeview.h"

#include <orvelkit/memory/referencememory.h>

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace {

// The stage parameters of each channel's envelope, by name in the demo's parameter map.
const char* const AmpStages[] = {"amp.attack", "amp.decay", "amp.sustain", "amp.release"};

} // namespace

QUuid EnvelopeView::editorId()
{
    return QUuid(QStringLiteral("{6a1f3c52-9e0b-4d7a-8c21-5b3e7f90d4a6}"));
}

EnvelopeView::EnvelopeView(TReferenceMemory_Orvel* memory, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_memory(memory), m_timer(new QTimer(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(240, 120);
    resize(320, 160);
    // The memory has no change signal for hosts; the view follows it at display rate, repainting
    // only when a stage moved.
    m_timer->setInterval(40);
    connect(m_timer, &QTimer::timeout, this, &EnvelopeView::poll);
    m_timer->start();
}

void EnvelopeView::setChannel(int channel)
{
    m_channel = channel;
    setWindowTitle(channel == 0 ? QStringLiteral("Amplifier envelope")
                                : QStringLiteral("Envelope %1 (not in this synth)").arg(channel));
    poll();
}

void EnvelopeView::poll()
{
    QList<int> now{-1, -1, -1, -1};
    if (m_channel == 0 && m_memory)
        for (int i = 0; i < 4; ++i)
            if (const auto param = m_memory->parameterByName(QString::fromLatin1(AmpStages[i])))
                now[i] = param->value;
    if (now != m_stages) {
        m_stages = now;
        update();
    }
}

void EnvelopeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0x15, 0x17, 0x1b));
    const QRectF area = QRectF(rect()).adjusted(12, 12, -12, -12);
    p.setPen(QColor(0x3a, 0x3e, 0x46));
    p.drawRect(area);
    if (m_stages.contains(-1)) {
        p.setPen(QColor(0x98, 0xa0, 0xab));
        p.drawText(area, Qt::AlignCenter, QStringLiteral("no envelope on this channel"));
        return;
    }
    // Attack, decay and release take widths by their times (sustain holds a fixed stretch);
    // the sustain level is 0..127.
    const qreal attack = m_stages[0], decay = m_stages[1], release = m_stages[3];
    const qreal hold = qMax<qreal>(50.0, (attack + decay + release) / 4.0);
    const qreal total = qMax<qreal>(1.0, attack + decay + hold + release);
    const qreal unit = area.width() / total;
    const qreal sustain = area.bottom() - area.height() * m_stages[2] / 127.0;
    QPainterPath curve(area.bottomLeft());
    qreal x = area.left() + attack * unit;
    curve.lineTo(x, area.top());
    x += decay * unit;
    curve.lineTo(x, sustain);
    x += hold * unit;
    curve.lineTo(x, sustain);
    curve.lineTo(area.right(), area.bottom());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xff, 0x9b, 0x30), 2.0));
    p.drawPath(curve);
}

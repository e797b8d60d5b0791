// The demo's envelope editor window: the amplifier envelope of the panel drawn as a curve. The
// panel opens it through the memory's editor factory (double click on the envelope caption).
#pragma once

#include <QUuid>
#include <QWidget>

class QTimer;
class TReferenceMemory_Orvel;

class EnvelopeView : public QWidget
{
    Q_OBJECT
    // Which envelope to show; the demo has one, channel 0 (the amplifier's).
    Q_PROPERTY(int channel READ channel WRITE setChannel)

public:
    // The identifier the editor factory knows this editor by.
    static QUuid editorId();

    EnvelopeView(TReferenceMemory_Orvel* memory, QWidget* parent = nullptr);

    int channel() const { return m_channel; }
    void setChannel(int channel);

    // The stage values last read: attack, decay, sustain, release (raw parameter values);
    // all -1 for a channel without an envelope.
    QList<int> stages() const { return m_stages; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Reads the channel's four stage parameters; repaints when one of them moved.
    void poll();

    TReferenceMemory_Orvel* m_memory;
    int m_channel = -1;
    QList<int> m_stages{-1, -1, -1, -1};
    QTimer* m_timer;
};

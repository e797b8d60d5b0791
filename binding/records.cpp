#include "records.h"

#include "memproxy.h"

#include <QDataStream>
#include <QtEndian>

// Layout (all numbers big-endian, whatever the stream's byte order):
//   magic u32 "OVKR" | version u8 | size u8 | payload[size] | crc u16
// Version 1 payload (size 10): high i16, mid i16, low i16, value i32.
// crc is qChecksum (CRC-16/ISO 3309) over version, size and payload.
namespace {

constexpr int HeaderSize = 6;
constexpr int PayloadV1 = 10;
constexpr int RecordV1 = HeaderSize + PayloadV1 + 2;

quint16 checksum(const char* data, qsizetype size)
{
    return qChecksum(QByteArrayView(data, size));
}

} // namespace

QByteArray TParamInfoWriter_Orvel::encode(qint16 high, qint16 mid, qint16 low, qint32 value)
{
    QByteArray bytes(RecordV1, '\0');
    uchar* p = reinterpret_cast<uchar*>(bytes.data());
    qToBigEndian<quint32>(TParamInfoReader_Orvel::Magic, p);
    p[4] = TParamInfoReader_Orvel::Version;
    p[5] = PayloadV1;
    qToBigEndian<qint16>(high, p + 6);
    qToBigEndian<qint16>(mid, p + 8);
    qToBigEndian<qint16>(low, p + 10);
    qToBigEndian<qint32>(value, p + 12);
    qToBigEndian<quint16>(checksum(bytes.constData() + 4, 2 + PayloadV1), p + 16);
    return bytes;
}

TParamInfoWriter_Orvel::TParamInfoWriter_Orvel(const TMemProxyBasic* proxy, int value,
                                               QDataStream* stream, int recordLow)
{
    if (!proxy || !stream || stream->status() != QDataStream::Ok)
        return;
    const qint16 low = recordLow == -1 ? proxy->addrLow : qint16(recordLow);
    const QByteArray bytes = encode(proxy->addrHigh, proxy->addrMid, low, value);
    m_written = stream->writeRawData(bytes.constData(), int(bytes.size())) == bytes.size();
}

TParamInfoWriter_Orvel::TParamInfoWriter_Orvel(const TMemProxyBasic* proxy, int value,
                                               const Q_UINT8* data, int recordLow)
    : TParamInfoWriter_Orvel(proxy, value,
                             reinterpret_cast<QDataStream*>(const_cast<Q_UINT8*>(data)), recordLow)
{
}

bool TParamInfoReader_Orvel::decode(const QByteArray& bytes, qint16& high, qint16& mid,
                                    qint16& low, qint32& value, int* consumed)
{
    if (bytes.size() < HeaderSize)
        return false;
    const uchar* p = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromBigEndian<quint32>(p) != Magic || p[4] != Version || p[5] != PayloadV1)
        return false;
    if (bytes.size() < RecordV1)
        return false;
    if (qFromBigEndian<quint16>(p + 16) != checksum(bytes.constData() + 4, 2 + PayloadV1))
        return false;
    high = qFromBigEndian<qint16>(p + 6);
    mid = qFromBigEndian<qint16>(p + 8);
    low = qFromBigEndian<qint16>(p + 10);
    value = qFromBigEndian<qint32>(p + 12);
    if (consumed)
        *consumed = RecordV1;
    return true;
}

TParamInfoReader_Orvel::TParamInfoReader_Orvel(QDataStream* stream)
{
    read(stream);
}

TParamInfoReader_Orvel::TParamInfoReader_Orvel(const Q_UINT8* data)
{
    read(reinterpret_cast<QDataStream*>(const_cast<Q_UINT8*>(data)));
}

void TParamInfoReader_Orvel::read(QDataStream* stream)
{
    if (!stream || stream->status() != QDataStream::Ok)
        return;
    char header[HeaderSize];
    if (stream->readRawData(header, HeaderSize) != HeaderSize) {
        stream->setStatus(QDataStream::ReadPastEnd);
        return;
    }
    const uchar* h = reinterpret_cast<const uchar*>(header);
    if (qFromBigEndian<quint32>(h) != Magic || h[4] != Version || h[5] != PayloadV1) {
        stream->setStatus(QDataStream::ReadCorruptData);
        return;
    }
    QByteArray bytes(header, HeaderSize);
    bytes.resize(RecordV1);
    const int rest = RecordV1 - HeaderSize;
    if (stream->readRawData(bytes.data() + HeaderSize, rest) != rest) {
        stream->setStatus(QDataStream::ReadPastEnd);
        return;
    }
    qint16 high, mid, low;
    qint32 value;
    if (!decode(bytes, high, mid, low, value)) {
        stream->setStatus(QDataStream::ReadCorruptData);
        return;
    }
    m_valid = true;
    m_high = high;
    m_mid = mid;
    m_low = low;
    m_value = value;
}

// Copy and paste records of one parameter (process operations 3 and 2).
//
// A record is a fixed, versioned byte sequence written into a QDataStream; docs/records.md gives
// the layout. The reader refuses truncated, foreign and corrupt records: it then reports
// isValid() false and a low address (InvalidLow) that no memory accepts, so a control that asks
// acceptsRecord() with it keeps its value.
#pragma once

#include "orvelkit_global.h"

#include <QByteArray>

class QDataStream;
class TMemProxyBasic;

class ORVELKIT_EXPORT TParamInfoWriter_Orvel
{
public:
    // Writes one record for `proxy`'s address with `value` into `stream`. `recordLow` replaces
    // the proxy's low address in the record unless it is -1. Nothing is written when `stream`
    // or `proxy` is null.
    TParamInfoWriter_Orvel(const TMemProxyBasic* proxy, int value, QDataStream* stream,
                           int recordLow = -1);
    // The same with `data` being the QDataStream* that process() received.
    TParamInfoWriter_Orvel(const TMemProxyBasic* proxy, int value, const Q_UINT8* data,
                           int recordLow = -1);
    bool written() const { return m_written; }

    // The record bytes for an address and value (what the constructors write).
    static QByteArray encode(qint16 high, qint16 mid, qint16 low, qint32 value);

private:
    bool m_written = false;
};

class ORVELKIT_EXPORT TParamInfoReader_Orvel
{
public:
    static constexpr qint16 InvalidLow = -32768;
    static constexpr quint32 Magic = 0x4F564B52; // "OVKR"
    static constexpr quint8 Version = 1;

    // Reads one record from `stream`. On failure the stream's status is set to ReadPastEnd
    // (truncated) or ReadCorruptData (foreign or corrupt) and later reads fail as well.
    explicit TParamInfoReader_Orvel(QDataStream* stream);
    // The same with `data` being the QDataStream* that process() received.
    explicit TParamInfoReader_Orvel(const Q_UINT8* data);

    bool isValid() const { return m_valid; }
    qint16 highAddress() const { return m_high; }
    qint16 midAddress() const { return m_mid; }
    qint16 lowAddress() const { return m_low; }
    int value() const { return m_value; }

    // Decodes one record from raw bytes; `consumed` receives the record's length on success.
    static bool decode(const QByteArray& bytes, qint16& high, qint16& mid, qint16& low,
                       qint32& value, int* consumed = nullptr);

private:
    void read(QDataStream* stream);
    bool m_valid = false;
    qint16 m_high = 0;
    qint16 m_mid = 0;
    qint16 m_low = InvalidLow;
    int m_value = 0;
};

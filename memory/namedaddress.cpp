#include "namedaddress.h"

namespace NS_OrvelMemory {

namespace {

// A small cursor over the text; every reader skips the whitespace in front of its token.
class Cursor
{
public:
    explicit Cursor(const QString& text) : m_text(text) {}

    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipSpace();
        return m_pos >= m_text.size();
    }
    QChar peek()
    {
        skipSpace();
        return m_pos < m_text.size() ? m_text.at(m_pos) : QChar();
    }
    bool take(QChar c)
    {
        if (peek() != c)
            return false;
        ++m_pos;
        return true;
    }

    // unsigned := decimal digits | 0x hex digits. Values above 65536 are reported as 65537 so
    // that nothing overflows and every range test still fails.
    bool readUnsigned(qint32& out)
    {
        skipSpace();
        return readUnsignedAt(m_text, m_pos, out);
    }

    // number := [+|-] unsigned, fitting qint16.
    bool readSigned16(qint16& out)
    {
        bool negative = false;
        if (take(QLatin1Char('-')))
            negative = true;
        else
            take(QLatin1Char('+'));
        qint32 magnitude = 0;
        if (!readUnsigned(magnitude))
            return false;
        const qint32 value = negative ? -magnitude : magnitude;
        if (value < -32768 || value > 32767)
            return false;
        out = qint16(value);
        return true;
    }

    // symbol := [A-Za-z_][A-Za-z0-9_.-]*
    bool readSymbol(QString& out)
    {
        skipSpace();
        const qsizetype start = m_pos;
        if (m_pos >= m_text.size() || !isSymbolStart(m_text.at(m_pos)))
            return false;
        ++m_pos;
        while (m_pos < m_text.size() && isSymbolChar(m_text.at(m_pos)))
            ++m_pos;
        out = m_text.mid(start, m_pos - start);
        return true;
    }

    static bool isSymbolStart(QChar c)
    {
        const char16_t u = c.unicode();
        return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
    }
    static bool isSymbolChar(QChar c)
    {
        const char16_t u = c.unicode();
        return isSymbolStart(c) || (u >= '0' && u <= '9') || u == '.' || u == '-';
    }

    static bool readUnsignedAt(const QString& text, qsizetype& pos, qint32& out)
    {
        const auto digit = [&](qsizetype i, int base) -> int {
            if (i >= text.size())
                return -1;
            const char16_t u = text.at(i).unicode();
            int d = -1;
            if (u >= '0' && u <= '9')
                d = u - '0';
            else if (u >= 'a' && u <= 'f')
                d = u - 'a' + 10;
            else if (u >= 'A' && u <= 'F')
                d = u - 'A' + 10;
            return d < base ? d : -1;
        };
        int base = 10;
        qsizetype i = pos;
        if (i + 1 < text.size() && text.at(i) == QLatin1Char('0')
            && (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
            base = 16;
            i += 2;
        }
        qint32 value = 0;
        int count = 0;
        for (int d; (d = digit(i, base)) >= 0; ++i, ++count)
            value = qMin<qint32>(value * base + d, 65537);
        if (count == 0)
            return false;
        pos = i;
        out = value;
        return true;
    }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
};

// offset := (+|-) unsigned, fitting qint16 with its sign. Absent offset: 0.
bool readOffset(Cursor& cursor, qint16& offset)
{
    offset = 0;
    if (cursor.atEnd())
        return true;
    bool negative;
    if (cursor.take(QLatin1Char('+')))
        negative = false;
    else if (cursor.take(QLatin1Char('-')))
        negative = true;
    else
        return false;
    qint32 magnitude = 0;
    if (!cursor.readUnsigned(magnitude))
        return false;
    const qint32 value = negative ? -magnitude : magnitude;
    if (value < -32768 || value > 32767)
        return false;
    offset = qint16(value);
    return cursor.atEnd();
}

// The reading of "name-<digits>" as "name" with a negative offset, when the text allows it.
bool splitTrailingOffset(const QString& symbol, qint16 offset, TNamedAddressReading& out)
{
    if (offset != 0)
        return false; // an explicit offset follows: the symbol is the whole name
    const qsizetype dash = symbol.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0)
        return false;
    qsizetype pos = dash + 1;
    qint32 magnitude = 0;
    if (!Cursor::readUnsignedAt(symbol, pos, magnitude) || pos != symbol.size())
        return false;
    const QString prefix = symbol.left(dash);
    if (!isValidSymbol(prefix) || magnitude > 32768)
        return false;
    out = TNamedAddressReading();
    out.symbol = prefix;
    out.offset = qint16(-magnitude);
    return true;
}

} // namespace

bool isValidSymbol(const QString& name)
{
    if (name.isEmpty() || !Cursor::isSymbolStart(name.at(0)))
        return false;
    for (QChar c : name) {
        if (!Cursor::isSymbolChar(c))
            return false;
    }
    return true;
}

bool parseNumericAddress(const QString& text, qint16& high, qint16& mid, qint16& low)
{
    Cursor cursor(text);
    qint16 h, m, l;
    if (!cursor.readSigned16(h) || !cursor.take(QLatin1Char(':')) || !cursor.readSigned16(m)
        || !cursor.take(QLatin1Char(':')) || !cursor.readSigned16(l) || !cursor.atEnd())
        return false;
    high = h;
    mid = m;
    low = l;
    return true;
}

bool parseNamedAddress(const QString& text, TNamedAddressReading& reading,
                       TNamedAddressReading* alternative, bool* hasAlternative)
{
    if (hasAlternative)
        *hasAlternative = false;
    Cursor cursor(text);
    TNamedAddressReading result;
    if (Cursor::isSymbolStart(cursor.peek())) {
        if (!cursor.readSymbol(result.symbol) || !readOffset(cursor, result.offset))
            return false;
        TNamedAddressReading split;
        if (splitTrailingOffset(result.symbol, result.offset, split)) {
            if (alternative)
                *alternative = split;
            if (hasAlternative)
                *hasAlternative = true;
        }
    } else {
        result.numeric = true;
        if (!cursor.readSigned16(result.high) || !cursor.take(QLatin1Char(':'))
            || !cursor.readSigned16(result.mid) || !cursor.take(QLatin1Char(':'))
            || !cursor.readSigned16(result.low) || !readOffset(cursor, result.offset))
            return false;
    }
    reading = result;
    return true;
}

} // namespace NS_OrvelMemory

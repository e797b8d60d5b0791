#include "numberformat.h"

#include <cmath>
#include <limits>

// The format is checked here, character by character, and QString::asprintf only ever sees one
// conversion that this file built itself ("%" flags width precision conversion),
// with an argument of the type that conversion reads. Literal text is copied as it is, so no
// '%' of the caller's text ever reaches asprintf.
namespace NS_Utilities {

namespace {

constexpr int MaxField = 99; // widest width and precision passed on

enum class ParseResult {
    Conversion, // a well-formed numeric conversion
    Literal,    // the '%' does not begin a conversion: keep it as text
    Refused,    // a conversion the formatter does not take (length modifier, '*', > 99)
};

struct Conversion
{
    QString flags;
    int width = -1;
    int precision = -1;
    char conversion = 0;
    qsizetype end = 0; // index after the conversion character
};

bool isIntegerConversion(char c)
{
    return c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'o';
}

bool isFloatConversion(char c)
{
    return c == 'e' || c == 'E' || c == 'f' || c == 'F' || c == 'g' || c == 'G';
}

bool isLengthModifier(char16_t c)
{
    return c == 'h' || c == 'l' || c == 'L' || c == 'q' || c == 'j' || c == 'z' || c == 't';
}

// Reads decimal digits at `pos`; the value saturates above MaxField so that nothing overflows.
int readField(const QString& format, qsizetype& pos)
{
    int value = 0;
    while (pos < format.size() && format.at(pos).unicode() >= '0' &&
           format.at(pos).unicode() <= '9') {
        value = value * 10 + (format.at(pos).unicode() - '0');
        if (value > MaxField)
            value = MaxField + 1;
        ++pos;
    }
    return value;
}

// Parses the conversion that starts with the '%' at `start` (not "%%").
ParseResult parseConversion(const QString& format, qsizetype start, Conversion& out)
{
    qsizetype pos = start + 1;
    while (pos < format.size()) {
        const char16_t c = format.at(pos).unicode();
        // A space is not taken as a flag: "50 % off" keeps its '%' as text.
        if (c != '-' && c != '+' && c != '#' && c != '0')
            break;
        if (!out.flags.contains(QChar(c)))
            out.flags += QChar(c); // repeated flags mean nothing more
        ++pos;
    }
    if (pos < format.size() && format.at(pos) == QLatin1Char('*'))
        return ParseResult::Refused;
    if (pos < format.size() && format.at(pos).isDigit() && format.at(pos).unicode() < 128)
        out.width = readField(format, pos);
    if (pos < format.size() && format.at(pos) == QLatin1Char('.')) {
        ++pos;
        if (pos < format.size() && format.at(pos) == QLatin1Char('*'))
            return ParseResult::Refused;
        out.precision = readField(format, pos);
    }
    if (pos >= format.size())
        return ParseResult::Literal;
    const char16_t c = format.at(pos).unicode();
    if (isLengthModifier(c))
        return ParseResult::Refused;
    if (c >= 128 || !(isIntegerConversion(char(c)) || isFloatConversion(char(c))))
        return ParseResult::Literal;
    if (out.width > MaxField || out.precision > MaxField)
        return ParseResult::Refused;
    out.conversion = char(c);
    out.end = pos + 1;
    return ParseResult::Conversion;
}

int toIntClamped(double value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(t);
}

QString applyConversion(const Conversion& c, double value)
{
    QString flags = c.flags;
    if (c.conversion == 'd' || c.conversion == 'i' || c.conversion == 'u')
        flags.remove(QLatin1Char('#')); // the alternative form is undefined for these
    QString conversionText = QLatin1Char('%') + flags;
    if (c.width >= 0)
        conversionText += QString::number(c.width);
    if (c.precision >= 0)
        conversionText += QLatin1Char('.') + QString::number(c.precision);
    conversionText += QLatin1Char(c.conversion);
    const QByteArray formatBytes = conversionText.toLatin1();

    if (isFloatConversion(c.conversion))
        return QString::asprintf(formatBytes.constData(), value);
    const int integer = toIntClamped(value);
    if (c.conversion == 'd' || c.conversion == 'i')
        return QString::asprintf(formatBytes.constData(), integer);
    // %u %x %X %o read an unsigned int: pass the same bits as one.
    const QString text =
        QString::asprintf(formatBytes.constData(), static_cast<unsigned int>(integer));
    // QString::asprintf writes the "0x" prefix of "%#X" in lower case; printf writes "0X".
    return c.conversion == 'X' ? text.toUpper() : text;
}

} // namespace

QString formatNumber(const QString& format, double value)
{
    QString result;
    result.reserve(format.size() + 16);
    bool converted = false;
    qsizetype pos = 0;
    while (pos < format.size()) {
        const QChar ch = format.at(pos);
        if (ch != QLatin1Char('%')) {
            result += ch;
            ++pos;
            continue;
        }
        if (pos + 1 < format.size() && format.at(pos + 1) == QLatin1Char('%')) {
            result += QLatin1Char('%');
            pos += 2;
            continue;
        }
        Conversion conversion;
        switch (parseConversion(format, pos, conversion)) {
        case ParseResult::Literal:
            result += QLatin1Char('%');
            ++pos;
            break;
        case ParseResult::Refused:
            return QString::asprintf("%g", value);
        case ParseResult::Conversion:
            if (converted)
                return QString::asprintf("%g", value); // a second conversion
            converted = true;
            result += applyConversion(conversion, value);
            pos = conversion.end;
            break;
        }
    }
    return result;
}

} // namespace NS_Utilities

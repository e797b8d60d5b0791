#include "displaytables.h"

#include <QtMath>

#include <cmath>
#include <limits>

namespace NS_OrvelMemory {

namespace {

// Signed decimal with an explicit '+' for positive numbers ("+5", "0", "-3").
QString signedText(qint64 value)
{
    return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
}

// Floor division for the note table (negative values belong to the octave below).
qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

} // namespace

bool isBuiltinTable(int tableId)
{
    return tableId == TableDecimal || (tableId <= TableSigned && tableId >= TablePan);
}

int roundToInt(double number)
{
    if (std::isnan(number))
        return 0;
    const double rounded = std::round(number); // half away from zero
    if (rounded >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (rounded <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(rounded);
}

bool formatBuiltin(int tableId, int value, int flag, int stepScale, QString& text)
{
    const qint64 v = value; // 64-bit so that negating or offsetting INT_MIN cannot overflow
    switch (tableId) {
    case TableDecimal:
        text = QString::number(v);
        return true;
    case TableSigned:
        text = signedText(v);
        return true;
    case TableOctave:
        if (flag == 1 && v >= 0 && v <= 5) {
            static const char* const footages[] = {"32'", "16'", "8'", "4'", "2'", "1'"};
            text = QString::fromLatin1(footages[v]);
        } else if (flag == 1) {
            text = QString::number(v);
        } else {
            text = signedText(v);
        }
        return true;
    case TablePercent:
        text = QStringLiteral("%1%").arg(qint64(std::llround(double(v) * 100.0 / 127.0)));
        return true;
    case TableNote: {
        static const char* const names[] = {"C", "C#", "D", "D#", "E", "F",
                                            "F#", "G", "G#", "A", "A#", "B"};
        const qint64 octave = floorDiv(v, 12);
        const qint64 semitone = v - octave * 12;
        text = QString::fromLatin1(names[semitone]) + QString::number(octave - 1);
        return true;
    }
    case TableDecibel: {
        // Tenths of a decibel, formatted with integers so that no binary fraction shows.
        const qint64 magnitude = v < 0 ? -v : v;
        text = QStringLiteral("%1%2.%3 dB")
                   .arg(v < 0 ? QStringLiteral("-") : QString())
                   .arg(magnitude / 10)
                   .arg(magnitude % 10);
        return true;
    }
    case TableScaled:
        text = QString::asprintf("%.1f", double(v) / double(qMax(1, stepScale)));
        return true;
    case TablePan:
        if (v < 64)
            text = QStringLiteral("L%1").arg(64 - v);
        else if (v == 64)
            text = QStringLiteral("C");
        else
            text = QStringLiteral("R%1").arg(v - 64);
        return true;
    default:
        return false;
    }
}

int valueFromTypedNumber(int tableId, double number, int stepScale)
{
    if (std::isnan(number))
        return 0;
    switch (tableId) {
    case TablePercent:
        return roundToInt(number * 127.0 / 100.0);
    case TableDecibel:
        return roundToInt(number * 10.0);
    case TableScaled:
        return roundToInt(number * double(qMax(1, stepScale)));
    case TablePan:
        return roundToInt(number + 64.0);
    default:
        return roundToInt(number);
    }
}

} // namespace NS_OrvelMemory

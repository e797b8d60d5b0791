// NS_Utilities::formatNumber: printf-style formats from forms and maps, checked before use.
#include "binding/numberformat.h"

#include <QTest>

#include <cmath>

class TestNumberFormat : public QObject
{
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
};

void TestNumberFormat::formats_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    const double nan = std::nan("");
    const struct { const char* format; double value; const char* expected; } rows[] = {
        {"Cutoff %.0f Hz", 440.4, "Cutoff 440 Hz"}, {"%.1f \u00b0C", 21.5, "21.5 \u00b0C"},
        {"[%-6d]", 42, "[42    ]"}, {"%+05d", 42, "+0042"}, {"%.2e", 1500, "1.50e+03"}, {"", 3, ""},
        {"%x", -1, "ffffffff"}, {"%#X", 255, "0XFF"}, {"%#d", 42, "42"}, {"%.1f", nan, "nan"},
        // integer conversions: truncated toward zero, clamped to int, NaN as 0
        {"%d", -3.99, "-3"}, {"%d", 1e300, "2147483647"}, {"%i", -1e300, "-2147483648"}, {"%d", nan, "0"},
        // a '%' that begins no conversion stays text
        {"%d%%", 50, "50%"}, {"100%%", 4, "100%"}, {"%d %", 4, "4 %"}, {"%", 4, "%"}, {"%5.2", 4, "%5.2"},
        {"%s", 4, "%s"}, {"%n", 4, "%n"}, {"%p", 4, "%p"}, {"%\u0663d", 4, "%\u0663d"},
        // formats that are not used: "%g" of the value
        {"%d and %d", 1.5, "1.5"}, {"%d %.1f", -2e9, "-2e+09"}, {"%ld", 1.5, "1.5"}, {"%hd", 1.5, "1.5"},
        {"%Lf", 1.5, "1.5"}, {"%zu", 1.5, "1.5"}, {"%*d", 1.5, "1.5"}, {"%.*f", 1.5, "1.5"},
        {"%100d", 1.5, "1.5"}, {"%.100f", 1.5, "1.5"}, {"%99999999999999999999d", 1.5, "1.5"},
    };
    for (const auto& r : rows) {
        QTest::addRow("\"%s\" %g", r.format, r.value)
            << QString::fromUtf8(r.format) << r.value << QString::fromUtf8(r.expected);
    }
    QTest::newRow("widest field") << QStringLiteral("%99d") << 1.0
                                  << QString(98, QLatin1Char(' ')) + QLatin1Char('1');
}

void TestNumberFormat::formats()
{
    QFETCH(QString, format);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(NS_Utilities::formatNumber(format, value), expected);
}

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"

// Fuzz target: the text slider's format path: stringForValue with its format label, unit,
// rangeDiv, step scales, match label and display tables (string, format and built-in tables,
// the parameter's own format through table -1), acceptNum for typed numbers, and
// NS_Utilities::formatNumber on its own.
//
// Input, split by FuzzedDataProvider: a flag byte, the numbers (value, rangeDiv, step scales,
// table id, match value, a typed number, a raw double) and the texts (format label, unit, match
// label, the format table's and the parameter's formats). Each input gets a fresh memory.
// Promises checked (a broken one aborts):
// - formatNumber's text stays bounded (format length plus one number's digits), whatever the
//   format and the value (NaN and infinities included);
// - stringForValue of the match value with a match label shows that label;
// - typed numbers and set values leave the memory inside the parameter's range.
#include "fuzzsupport.h"

#include "binding/numberformat.h"
#include "memory/referencememory.h"
#include "sliders/ctextslider.h"

#include <QCoreApplication>
#include <QUndoStack>

#include <climits>
#include <cmath>
#include <limits>

namespace {

void check(bool ok, const char* what)
{
    if (ok)
        return;
    fprintf(stderr, "broken promise: %s\n", what);
    abort();
}

// The longest a formatted number may be: 309 integer digits of DBL_MAX, a sign, a point, and
// width and precision of at most 99 each.
constexpr int MaxNumberLength = 512;

void formatAlone(const QString& format, double value)
{
    const QString text = NS_Utilities::formatNumber(format, value);
    check(text.size() <= format.size() + MaxNumberLength, "formatNumber's text stays bounded");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    OrvelFuzz::application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const quint8 flags = in.ConsumeIntegral<quint8>();
    const int minimum = in.ConsumeIntegral<int>();
    const int maximum = in.ConsumeIntegralInRange(minimum, INT_MAX);
    const int value = in.ConsumeIntegral<int>();
    const int rangeDiv = in.ConsumeIntegralInRange(-2, 100000);
    const int globalScale = in.ConsumeIntegralInRange(-1, 100000);
    const int tableScale = in.ConsumeIntegralInRange(-1, 100000);
    const int paramScale = in.ConsumeIntegralInRange(0, 100000);
    const int tableId = in.ConsumeIntegralInRange(-9, 4);
    const int matchValue = in.ConsumeIntegral<int>();
    const double typed = in.ConsumeFloatingPoint<double>();
    const double raw = in.ConsumeBool() ? std::numeric_limits<double>::quiet_NaN() : in.ConsumeFloatingPoint<double>();
    const QString formatLabel = OrvelFuzz::consumeText(in, 64);
    const QString unit = OrvelFuzz::consumeText(in, 16);
    const QString matchLabel = OrvelFuzz::consumeText(in, 16);
    const QString tableFormat = OrvelFuzz::consumeText(in, 32);
    const QString paramFormat = OrvelFuzz::consumeText(in, 32);

    formatAlone(formatLabel + unit, raw);
    formatAlone(formatLabel + unit, double(value) / (rangeDiv > 0 ? rangeDiv : 10));
    formatAlone(formatLabel, std::copysign(std::numeric_limits<double>::infinity(), raw));

    TReferenceMemory_Orvel memory;
    memory.setGlobalStepScale(globalScale);
    memory.registerStringTable(1, {QStringLiteral("zero"), unit, matchLabel});
    memory.registerFormatTable(2, tableFormat, tableScale);
    memory.registerFormatTable(3, formatLabel, tableScale);
    TParameterSpec_Orvel p;
    p.high = 0;
    p.mid = 6;
    p.low = 0;
    p.minimum = minimum;
    p.maximum = maximum;
    p.value = p.defaultValue = minimum;
    p.format = paramFormat;
    p.stepScale = paramScale;
    p.displayTable = (flags & 0x04) ? 2 : 0;
    memory.addParameter(p);

    CTextSlider_Orvel slider(minimum, maximum, 10, minimum, nullptr);
    slider.resize(60, 16); // a control's size: faces are rendered at the widget's size
    slider.setFormatLabel(formatLabel);
    slider.setValueLabel(unit);
    slider.setRangeDiv(rangeDiv);
    slider.setTableId(tableId);
    slider.setUseTableId(flags & 0x01);
    if (flags & 0x02) {
        slider.setMatchValue(matchValue);
        slider.setMatchLabel(matchLabel);
    }
    slider.setNamedAddress(QStringLiteral("0:6:0"));
    slider.setMemAPI(&memory);
    slider.forceUpdate();

    QString text = QStringLiteral("unchanged");
    slider.stringForValue(value, text);
    if ((flags & 0x02) && !matchLabel.isEmpty() && slider.memAPIReady()) {
        slider.stringForValue(matchValue, text);
        check(text == matchLabel, "the match value shows the match label");
    }
    slider.setValue(value);
    slider.acceptNum(typed);
    if (flags & 0x08)
        slider.acceptNum(raw);
    QCoreApplication::sendPostedEvents();
    const int stored = memory.value(0, 6, 0);
    check(stored >= minimum && stored <= maximum, "the memory's value stays in range");
    check(slider.value() >= minimum && slider.value() <= maximum, "the slider's value stays in range");
    if (flags & 0x10) {
        QImage face(60, 16, QImage::Format_ARGB32_Premultiplied);
        slider.render(&face);
    }
    memory.undoStack()->clear();
    return 0;
}

// Fuzz target: the JSON parameter map loader (TReferenceMemory_Orvel::loadMapData,
// docs/parameter-map.md) and what a loaded map feeds: display texts, string tables, names and
// position curves.
//
// Input: the map bytes. Each input goes to a fresh memory that already holds two parameters and
// a name, so maps can collide with what is there. Promises checked (a broken one aborts):
// - a refused map leaves the memory as it was and says why, one problem a line;
// - an accepted map adds parameters whose values lie inside their ranges, whose names resolve
//   to them, and whose display texts and curves answer inside their ranges.
#include "fuzzsupport.h"

#include "memory/referencememory.h"

#include <QByteArray>
#include <QCoreApplication>

namespace {

void check(bool ok, const char* what)
{
    if (ok)
        return;
    fprintf(stderr, "broken promise: %s\n", what);
    abort();
}

void addBase(TReferenceMemory_Orvel& memory)
{
    TParameterSpec_Orvel p;
    p.name = QStringLiteral("base.level");
    p.high = 0;
    p.mid = 0;
    p.low = 0;
    p.maximum = 127;
    p.value = p.defaultValue = 100;
    memory.addParameter(p);
    p.name = QStringLiteral("base.pan");
    p.low = 1;
    p.minimum = -64;
    p.maximum = 63;
    p.value = p.defaultValue = 0;
    memory.addParameter(p);
    memory.registerName(QStringLiteral("pan"), 0, 0, 1);
    memory.registerStringTable(9, {QStringLiteral("nine")});
}

void exercise(TReferenceMemory_Orvel& memory, const TParameterSpec_Orvel& p)
{
    check(p.minimum <= p.maximum, "min <= max");
    check(p.value >= p.minimum && p.value <= p.maximum, "value in range");
    const int d = memory.defaultValue(p.high, p.mid, p.low, 0, nullptr);
    check(d >= p.minimum && d <= p.maximum, "default in range");
    int none = 0;
    const int alt = memory.defaultValue(p.high, p.mid, p.low, 1, &none);
    if (!none)
        check(alt >= p.minimum && alt <= p.maximum, "alternative default in range");
    if (!p.name.isEmpty()) {
        TParamAddress a;
        check(memory.lookupName(p.name, a) && a.high == p.high && a.mid == p.mid && a.low == p.low,
              "a parameter's name finds it");
    }
    QString text;
    for (int v : {p.minimum, p.maximum, p.value, d, p.minimum / 2 + p.maximum / 2})
        memory.formatValue(p.low, -1, text, nullptr, v, 0, p.high, p.mid);
    if (p.displayTable >= 1) {
        QStringList strings;
        memory.fillStringList(p.displayTable, strings);
    }
    for (int length : {0, 1, 100, 4096}) {
        for (int position : {0, length / 3, length}) {
            int inOut = length;
            if (memory.valueForPosition(inOut, p.high, p.mid, position) == 0)
                check(inOut >= p.minimum && inOut <= p.maximum, "a curve's value lies in the range");
        }
        for (int v : {p.minimum, p.value, p.maximum}) {
            int inOut = length;
            if (memory.positionForValue(inOut, p.high, p.mid, v) == 0)
                check(inOut >= 0 && inOut <= qMax(length, 0), "a curve's position lies on the slide");
        }
    }
    const int written = memory.write(p.high, p.mid, p.low, p.maximum) ? memory.value(p.high, p.mid, p.low) : p.maximum;
    check(written == p.maximum, "the maximum can be written");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    OrvelFuzz::application(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    TReferenceMemory_Orvel memory;
    addBase(memory);
    const int before = memory.parameterCount();
    const int scaleBefore = memory.globalStepScale();

    QString error;
    const bool loaded = memory.loadMapData(json, &error, QStringLiteral("fuzz.json"));
    if (!loaded) {
        check(!error.isEmpty(), "a refused map says why");
        for (const QString& line : error.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (!line.startsWith(QLatin1String("fuzz.json:"))) {
                fprintf(stderr, "error text:\n%s\n", qPrintable(error));
                check(false, "each problem names the source");
            }
        check(memory.parameterCount() == before, "a refused map adds no parameter");
        check(memory.globalStepScale() == scaleBefore, "a refused map keeps the step scale");
        TParamAddress a;
        check(memory.lookupName(QStringLiteral("pan"), a) && a.low == 1, "a refused map keeps the names");
        QStringList strings;
        memory.fillStringList(9, strings);
        check(strings == QStringList{QStringLiteral("nine")}, "a refused map keeps the tables");
    } else {
        check(memory.parameterCount() >= before, "an accepted map removes nothing");
        for (const TParameterSpec_Orvel& p : memory.parameters())
            exercise(memory, p);
    }
    QCoreApplication::sendPostedEvents();
    return 0;
}

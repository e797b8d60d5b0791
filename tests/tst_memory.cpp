// The reference parameter memory on one thread: named addresses, the JSON map, values, display
// tables, position curves, records and the binding of proxies.
#include "tst_memory_proxy.h"

#include "binding/records.h"

#include <QPainter>
#include <QTest>
#include <QUndoStack>
#include <QWidget>

#include <cmath>

// formatValue's text; on an error, "failed, " and the text it should have left alone.
static QString text(TReferenceMemory_Orvel& memory, int table, int value, qint16 low = 0)
{
    QString out = QStringLiteral("untouched");
    const int status = memory.formatValue(low, table, out, nullptr, value, 0, 0, 0);
    return status == 0 ? out : QStringLiteral("failed, ") + out;
}

// positionForValue / valueForPosition as a value; INT_MIN when the memory does not answer.
static int toPosition(TReferenceMemory_Orvel& m, int length, qint16 high, qint16 mid, int value)
{
    return m.positionForValue(length, high, mid, value) == 0 ? length : INT_MIN;
}
static int toValue(TReferenceMemory_Orvel& m, int length, qint16 high, qint16 mid, int position)
{
    return m.valueForPosition(length, high, mid, position) == 0 ? length : INT_MIN;
}

class TestMemory : public QObject
{
    Q_OBJECT

private slots:
    void resolveAddress_data();
    void resolveAddress();
    void mapErrors_data();
    void mapErrors();
    void mapAppliesAllOrNothing();
    void valuesAndUnknownAddresses();
    void display_data();
    void display();
    void typedNumbers();
    void curves();
    void binding();
    void hostServices();
};

// Parsing and resolution: numbers fit 16 bits, offsets count for the display only, names resolve
// only to defined parameters and a whole name wins over reading "-N" as an offset.
void TestMemory::resolveAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("resolved"); // "no": malformed or nothing there
    const char* const rows[][2] = {
        {" 0x10 : 0X1f :2047 ", "16:31:2047@0"}, {"16:31:2047+4", "16:31:2047@4"}, {"env-2", "0:3:2@0"},
        {"-512:+4:0 - 0x10", "-512:4:0@-16"},  {" cutoff + 2 ", "16:31:2047@2"},
        {"fc-1", "16:31:2047@-1"},             {"lfo-2", "-512:4:0@-2"}, {"env - 2", "0:3:0@-2"},
        {"16:31:2046", "no"}, {"600:0:0", "no"},    {"resonance", "no"}, {"0:3:0x10000", "no"},
        {"0:3:0+32768", "no"}, {"", "no"},          {"0:3", "no"},       {"0:3:0:4", "no"},
        {"0:3:0+", "no"},     {"0:3:0 4", "no"},    {"0:3:0--1", "no"},  {"0:3:0;", "no"},
        {"cutoff 2", "no"},   {"cutoff+-2", "no"},  {"env!", "no"},      {"f\xc3\xbcr", "no"},
    };
    for (const auto& row : rows)
        QTest::addRow("\"%s\"", row[0]) << QString::fromUtf8(row[0]) << QString::fromLatin1(row[1]);
}

void TestMemory::resolveAddress()
{
    QFETCH(QString, address);
    QFETCH(QString, resolved);
    TReferenceMemory_Orvel memory;
    QVERIFY(memory.addParameter(param(16, 31, 2047, 0, 127, QStringLiteral("cutoff"))));
    QVERIFY(memory.addParameter(param(-512, 4, 0, 0, 127, QStringLiteral("lfo"))));
    QVERIFY(memory.addParameter(param(0, 3, 0, 0, 127, QStringLiteral("env"))));
    QVERIFY(memory.addParameter(param(0, 3, 2, 0, 127, QStringLiteral("env-2"))));
    QVERIFY(memory.registerName(QStringLiteral("fc"), 16, 31, 2047));
    TParamAddress a{7, 7, 7, 7};
    const bool found = memory.resolveAddress(address, a);
    QCOMPARE(found, resolved != QLatin1String("no"));
    QCOMPARE(QStringLiteral("%1:%2:%3@%4").arg(a.high).arg(a.mid).arg(a.low).arg(a.lowOffset),
             found ? resolved : QStringLiteral("7:7:7@7")); // left alone when nothing resolves
}

// Every error names the entry and the line of its key; the memory (which holds 9:0:0) is left as
// it was.
void TestMemory::mapErrors_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");
    // The fields of a second parameter entry (line 3) and the error they give.
    const char* const rows[][3] = {
        {"min above max", "\"name\": \"osc\", \"address\": \"0:0:1\", \"min\": 10, \"max\": 5",
         "params.json:3: parameter 1 (\"osc\"): min 10 > max 5"},
        {"unknown key", "\"address\": \"0:0:1\", \"min\": 0, \"max\": 5, \"colour\": 1",
         "params.json:3: parameter 1: unknown key \"colour\""},
        {"wrong type", "\"address\": \"0:0:1\", \"min\": \"0\", \"max\": 5",
         "params.json:3: parameter 1: \"min\" must be an integer, not a string"},
        {"duplicate name", "\"name\": \"first\", \"address\": \"0:0:1\", \"min\": 0, \"max\": 5",
         "params.json:3: parameter 1 (\"first\"): name \"first\" is already defined"},
        {"duplicate address", "\"name\": \"b\",\n \"address\": \"0:0:0\", \"min\": 0, \"max\": 5",
         "params.json:4: parameter 1 (\"b\"): address 0:0:0 is already defined"},
        {"address in the memory", "\"address\": \"9:0:0\", \"min\": 0, \"max\": 5",
         "params.json:3: parameter 1: address 9:0:0 is already defined"},
        {"curves differ", "\"address\": \"0:0:1\", \"min\": 0, \"max\": 5, \"curve\": \"db\"",
         "params.json:3: parameter 1: curve \"db\" differs from the curve \"none\""},
        {"line of the key", "\"address\": \"0:0:1\",\n \"min\": 0, \"max\": 5,\n \"default\": 9",
         "params.json:5: parameter 1: default 9 outside 0..5"},
        {"bad JSON", "\"address\": \"0:0:1\" \"min\": 0", "params.json:3:24: invalid JSON:"},
        // Raw control characters and line separators inside a key stay on the problem's line.
        {"control characters in a key", "\"address\": \"0:0:1\", \"min\": 0, \"max\": 5, \"a\nb\tc\xe2\x80\xa8\x01\": 1",
         "params.json:3: parameter 1: unknown key \"a\\nb\\tc\\u2028\\u0001\""},
    };
    // Table entries (line 1) and the error they give.
    const char* const tables[][3] = {
        {"strings and format", "\"id\": 2, \"strings\": [], \"format\": \"%g\"",
         "params.json:1: table 0: a table has either \"strings\" or \"format\""},
        {"neither strings nor format", "\"id\": 2", "params.json:1: table 0: a table has either"},
        {"scale without format", "\"id\": 2, \"strings\": [], \"stepScale\": 10",
         "params.json:1: table 0: \"stepScale\" belongs to a format table"},
        {"scale below 1", "\"id\": 2, \"format\": \"%g\", \"stepScale\": 0",
         "params.json:1: table 0: stepScale 0 is not 1 or more"},
        {"empty format", "\"id\": 2, \"format\": \"\"", "params.json:1: table 0: the format is empty"},
    };
    for (const auto& row : tables) {
        QTest::newRow(row[0]) << "{\"format\": \"orvelkit-parameter-map\", \"version\": 1, \"tables\": [{"
                                     + QByteArray(row[1]) + "}], \"parameters\": []}"
                              << QString::fromUtf8(row[2]);
    }
    for (const auto& row : rows) {
        QTest::newRow(row[0])
            << "{\"format\": \"orvelkit-parameter-map\", \"version\": 1, \"parameters\": [\n"
               "  {\"name\": \"first\", \"address\": \"0:0:0\", \"min\": 0, \"max\": 5},\n  {"
                   + QByteArray(row[1]) + "}]}"
            << QString::fromUtf8(row[2]);
    }
}

void TestMemory::mapErrors()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    TReferenceMemory_Orvel memory;
    QVERIFY(memory.addParameter(param(9, 0, 0)));
    QString error;
    QVERIFY(!memory.loadMapData(json, &error, QStringLiteral("params.json")));
    QVERIFY2(error.contains(expected), qPrintable(error));
    for (const QString& line : error.split(QLatin1Char('\n')))
        QVERIFY2(line.startsWith(QLatin1String("params.json:")), qPrintable(error)); // one problem a line
    QCOMPARE(memory.parameterCount(), 1);
}

void TestMemory::mapAppliesAllOrNothing()
{
    TReferenceMemory_Orvel memory;
    QVERIFY(memory.addParameter(param(1, 0, 0)));
    const QByteArray json =
        "{\"format\": \"orvelkit-parameter-map\", \"version\": 1, \"stepScale\": 100,\n"
        " \"tables\": [{\"id\": 7, \"strings\": [\"a\"]}], \"names\": {\"alias\": \"0:0:0\"},\n"
        " \"parameters\": [{\"name\": \"p0\", \"address\": \"0:0:0\", \"min\": 0, \"max\": 1},\n"
        "  {\"name\": \"p1\", \"address\": \"1:0:0\", \"min\": 0, \"max\": 1}]}";
    QString error;
    QVERIFY(!memory.loadMapData(json, &error, QStringLiteral("synth.json")));
    QCOMPARE(error,
             QStringLiteral("synth.json:4: parameter 1 (\"p1\"): address 1:0:0 is already defined"));
    QCOMPARE(memory.parameterCount(), 1);
    QCOMPARE(memory.globalStepScale(), 10);
    QCOMPARE(text(memory, 7, 0), QStringLiteral("failed, untouched"));
    QVERIFY(!memory.parameterByName(QStringLiteral("alias")));
    QVERIFY2(memory.loadMapData(QByteArray(json).replace("1:0:0", "1:0:1"), &error), qPrintable(error));
    QCOMPARE(memory.parameterCount(), 3);
    QCOMPARE(memory.globalStepScale(), 100);
    QCOMPARE(text(memory, 7, 0), QStringLiteral("a"));
    QVERIFY(memory.parameterByName(QStringLiteral("alias")));
}

// Values are clamped. Unknown addresses, and fields outside the ranges (whose packed bits alias
// other parameters), are refused with a non-zero status; records fit only an existing low.
void TestMemory::valuesAndUnknownAddresses()
{
    TReferenceMemory_Orvel memory;
    QVERIFY(memory.addParameter(param(0, 0, 1, -64, 63)));
    QVERIFY(memory.addParameter(param(0, 1, 0)));
    QVERIFY(memory.addParameter(param(-512, 2047, 2047))); // the corner of the ranges
    QVERIFY(!memory.addParameter(param(0, 2048, 0)));
    QVERIFY(!memory.addParameter(param(512, 0, 0)));
    QCOMPARE(memory.setValue(0, 0, 1, 1000, TUndoContext{}, 0), 0);
    QCOMPARE(memory.currentValue(0, 0, 1, 0, 0), 63);
    QVERIFY(memory.write(0, 0, 1, INT_MIN));
    QCOMPARE(memory.value(0, 0, 1), -64);

    QVERIFY(memory.write(0, 1, 0, 99));
    TestProxy proxy;
    proxy.addrLow = 2048; // packs to the bits of 0:1:0
    QVERIFY(memory.connectProxy(&proxy, proxy.packedAddress(), 0) != 0);
    QVERIFY(memory.setValue(0, 0, 2048, 5, TUndoContext{}, 1) != 0);
    QVERIFY(!memory.write(5, 5, 5, 1));
    QCOMPARE(memory.value(0, 0, 2048) + memory.minimum(5, 5, 5, 0) + memory.maximum(5, 5, 5, 0), 0);
    QCOMPARE(memory.value(0, 1, 0), 99);
    QVERIFY(memory.acceptsRecord(0, 1, 0, 0));
    QVERIFY(!memory.acceptsRecord(0, 1, 1, 0));
    QVERIFY(!memory.acceptsRecord(0, 0, TParamInfoReader_Orvel::InvalidLow, 0)); // corrupt
}

void TestMemory::display_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("low"); // table -1: the display of parameter 0:0:low
    QTest::addColumn<QString>("expected");
    const struct { int table, value, low; const char* text; } rows[] = {
        {0, -1234, 0, "-1234"}, {-2, 5, 0, "+5"}, {-2, 0, 0, "0"}, {-3, -2, 0, "-2"}, {-4, 64, 0, "50%"},
        {-5, 61, 0, "C#4"}, {-5, INT_MIN, 0, "E-178956972"}, {-6, -5, 0, "-0.5 dB"}, {-8, 0, 0, "L64"},
        {-6, INT_MIN, 0, "-214748364.8 dB"}, {-8, INT_MIN, 0, "L2147483712"}, {-7, 1234, 0, "123.4"},
        {1, 2, 0, "2"}, {-1, 1, 0, "Square"}, {-1, 1234, 1, "123.4 Hz"}, {-1, 1234, 2, "12.34"},
        {-1, -125, 3, "-12.5 dB"}, {-1, 7, 4, "#7"}, {-1, 7, 9, "7"}, {-9, 1, 0, "failed, untouched"},
        {77, 1, 0, "failed, untouched"}, {2, 125, 0, "1.25 s"}, {3, 125, 0, "12.5 ms"},
    };
    for (const auto& r : rows) {
        QTest::addRow("%d: %d @%d", r.table, r.value, r.low)
            << r.table << r.value << r.low << QString::fromUtf8(r.text);
    }
}

void TestMemory::display()
{
    QFETCH(int, table);
    QFETCH(int, value);
    QFETCH(int, low);
    QFETCH(QString, expected);
    TReferenceMemory_Orvel memory; // global step scale 10
    QVERIFY(memory.registerStringTable(1, {QStringLiteral("Saw"), QStringLiteral("Square")}));
    // Format tables with their own step scale and with the global one; no address needed.
    QVERIFY(memory.registerFormatTable(2, QStringLiteral("%.2f s"), 100));
    QVERIFY(memory.registerFormatTable(3, QStringLiteral("%.1f ms")));
    // By low: table 1, formats scaled globally and by their own, table -6, table 42 (never made).
    const struct { int table; const char* format; int stepScale; } displays[] = {
        {1, "", 0}, {0, "%.1f Hz", 0}, {0, "%.2f", 100}, {-6, "", 0}, {42, "#%.0f", 1}};
    for (qint16 l = 0; l < 5; ++l) {
        TParameterSpec_Orvel p = param(0, 0, l, -2000, 2000);
        p.displayTable = displays[l].table;
        p.format = QString::fromLatin1(displays[l].format);
        p.stepScale = displays[l].stepScale;
        QVERIFY(memory.addParameter(p));
    }
    QCOMPARE(text(memory, table, value, qint16(low)), expected);
}

// Typed numbers are rounded and clamped (NaN gives 0); the number shown for a value, typed
// back, gives the value again (percent: within one step).
void TestMemory::typedNumbers()
{
    TReferenceMemory_Orvel memory; // step scale 10: one decimal shows every step of -6 and -7
    const struct { int table; float number; int value; } edges[] = {
        {0, 2.5f, 3}, {0, -2.5f, -3}, {0, std::nanf(""), 0}, {0, 1e20f, INT_MAX},
        {-2, -1e20f, INT_MIN}, {-6, 1e30f, INT_MAX}, {3, 1.4f, 1}, {5, 1.25f, 125}, {6, 1.25f, 13}};
    // Format tables scale typed numbers by their own step scale, or the global one. A string
    // table of the same id replaces a format table.
    QVERIFY(memory.registerFormatTable(5, QStringLiteral("%.2f s"), 100));
    QVERIFY(memory.registerFormatTable(6, QStringLiteral("%.1f")));
    QVERIFY(memory.registerFormatTable(3, QStringLiteral("%.1f")));
    QVERIFY(memory.registerStringTable(3, {QStringLiteral("x")}));
    QVERIFY(!memory.registerFormatTable(0, QStringLiteral("%.1f")));
    QVERIFY(!memory.registerFormatTable(7, QString()));
    for (const auto& e : edges)
        QCOMPARE(memory.valueFromNumber(e.table, e.number, 0), e.value);
    for (int table : {-2, -4, -6, -7, -8, 0}) {
        for (int value = -300; value <= 300; ++value) {
            QString shown = text(memory, table, value);
            if (table == -8) // "L12", "C", "R12"
                shown = shown == "C" ? "0" : (shown[0] == 'L' ? "-" : "") + shown.mid(1);
            const float typed = QString(shown).remove(" dB").remove('%').toFloat();
            const int back = memory.valueFromNumber(table, typed, 0);
            if (std::abs(back - value) > (table == -4 ? 1 : 0))
                QFAIL(qPrintable(QStringLiteral("table %1: %2 -> \"%3\" -> %4")
                                     .arg(table).arg(value).arg(shown).arg(back)));
        }
    }
}

// Linear and decibel families over 0..1000 and over -559038801..2125315823: the ends, the middle,
// clamping, slides of no length; monotonic, and positions come back (decibel: where a value step
// is finer than a position).
void TestMemory::curves()
{
    TReferenceMemory_Orvel memory;
    const int low = -559038801, high = 2125315823;
    for (qint16 mid : {0, 1}) {
        const auto curve = mid == 0 ? TParameterCurve_Orvel::Linear : TParameterCurve_Orvel::Decibel;
        QVERIFY(memory.addParameter(param(1, mid, 0, 0, 1000, {}, curve)));
        QVERIFY(memory.addParameter(param(2, mid, 0, low, high, {}, curve)));
        for (int length : {-1, 0, 1, 1000, INT_MAX}) { // no slide: the minimum at position 0
            QCOMPARE(toPosition(memory, length, 2, mid, INT_MAX), qMax(length, 0));
            QCOMPARE(toPosition(memory, length, 2, mid, INT_MIN), 0);
            QCOMPARE(toValue(memory, length, 2, mid, INT_MAX), length > 0 ? high : low);
            QCOMPARE(toValue(memory, length, 2, mid, INT_MIN), low);
        }
        int previous = 0;
        for (int position = 0; position <= 300; ++position) {
            const int value = toValue(memory, 300, 1, mid, position);
            const int back = toPosition(memory, 300, 1, mid, value);
            QVERIFY(value >= previous);
            previous = value;
            if (mid == 0 ? back != position : value >= 50 && std::abs(back - position) > 1)
                QFAIL(qPrintable(QStringLiteral("%1 -> %2 -> %3").arg(position).arg(value).arg(back)));
        }
    }
    const int middle = int((qint64(low) + high) / 2);
    QCOMPARE(toPosition(memory, 1000, 2, 0, middle), 500);
    QCOMPARE(toValue(memory, 1000, 2, 0, 500), middle);
    QCOMPARE(toPosition(memory, INT_MAX, 2, 0, high - 1), INT_MAX - 1); // needs double precision
    QCOMPARE(toPosition(memory, 300, 1, 1, 100), 200); // 60 dB over the slide: -20 dB
    QCOMPARE(toPosition(memory, 300, 1, 1, 1), 0);     // -60 dB
    QCOMPARE(toValue(memory, 300, 1, 1, 200), 100);
    QCOMPARE(toValue(memory, 300, 1, 1, 0), 0);
    QVERIFY(memory.addParameter(param(3, 2, 0))); // no curve: the control maps on its own
    for (auto family : {std::pair<qint16, qint16>{3, 2}, {3, 9}, {600, 0}}) {
        QCOMPARE(toPosition(memory, 100, family.first, family.second, 50), INT_MIN);
        QCOMPARE(toValue(memory, 100, family.first, family.second, 50), INT_MIN);
    }
}

// A proxy bound with an offset shows the display of low + offset; connecting elsewhere moves the
// registration. A memory destroyed before its proxies clears their `api` and `addressValid`.
void TestMemory::binding()
{
    auto memory = std::make_unique<TReferenceMemory_Orvel>();
    QVERIFY(memory->addParameter(param(0, 2, 0, 0, 127, QStringLiteral("cutoff"))));
    TParameterSpec_Orvel hz = param(0, 2, 1);
    hz.format = QStringLiteral("%.1f Hz");
    QVERIFY(memory->addParameter(hz));
    TestProxy proxy(QStringLiteral("cutoff+1"));
    TestProxy attachedOnly(QStringLiteral("unknown"));
    proxy.setMemAPI(memory.get());
    attachedOnly.setMemAPI(memory.get());
    QString shown;
    const qint16 low = qint16(proxy.addrLow + proxy.addrLowOffset);
    QCOMPARE(memory->formatValue(low, -1, shown, nullptr, 55, 0, proxy.addrHigh, proxy.addrMid), 0);
    QCOMPARE(shown, QStringLiteral("5.5 Hz"));
    proxy.addrLow = 1;
    QCOMPARE(memory->connectProxy(&proxy, proxy.packedAddress(), 0), 0);
    memory->write(0, 2, 0, 6);
    memory->write(0, 2, 1, 6);
    QCOMPARE(proxy.calls.load(), 1);

    memory.reset();
    QVERIFY(!proxy.api);
    QVERIFY(!proxy.addressValid);
    QVERIFY(!attachedOnly.api);
} // the proxies' destructors run afterwards, with nothing left to call

// What a host sets up besides parameters: editors, pictures, availability, grouped undo steps.
void TestMemory::hostServices()
{
    TReferenceMemory_Orvel memory;
    QVERIFY(memory.addParameter(param(0, 1, 0, 0, 2)));
    TestProxy proxy(QStringLiteral("0:1:0"));
    proxy.setMemAPI(&memory);

    TEditorRegistry_Orvel editors;
    const QUuid id = QUuid::createUuid();
    editors.registerEditor(id, 3, [](QWidget* parent) { return new QWidget(parent); });
    memory.setEditorFactory(&editors);
    QWidget* editor = nullptr;
    QCOMPARE(memory.editorFactory()->createEditor(id, 3, &editor, nullptr, 0), 0);
    QVERIFY(editor);
    delete editor;
    editor = nullptr;
    QVERIFY(memory.editorFactory()->createEditor(id, 4, &editor, nullptr, 0) != 0);
    QVERIFY(!editor);

    QPixmap saw(8, 8);
    saw.fill(Qt::red);
    QVERIFY(memory.registerStringTable(7, {QStringLiteral("Saw"), QStringLiteral("Square")}));
    QVERIFY(memory.registerPixmapTable(7, {saw}));
    QString text;
    QPixmap picture;
    QCOMPARE(memory.formatValue(0, 7, text, &picture, 0, 0, 0, 1), 0);
    QCOMPARE(text, QStringLiteral("Saw"));
    QCOMPARE(picture.toImage().pixelColor(4, 4), QColor(Qt::red));
    QCOMPARE(memory.formatValue(0, 7, text, &picture, 1, 0, 0, 1), 0);
    QVERIFY(picture.isNull()); // no picture for "Square": nothing stale is left

    // A display or availability change reaches the proxies with extra 1; a repeat does not.
    memory.refresh(0, 1, 0);
    QCOMPARE(proxy.lastExtra.load(), 1u);
    const int calls = proxy.calls.load();
    QVERIFY(memory.setParameterAvailable(0, 1, 0, false));
    QVERIFY(!memory.parameterAvailable(0, 1, 0));
    QCOMPARE(proxy.calls.load(), calls + 1);
    memory.setParameterAvailable(0, 1, 0, false);
    QCOMPARE(proxy.calls.load(), calls + 1);

    memory.beginUndoMacro(QStringLiteral("Init patch"));
    QCOMPARE(memory.setValue(0, 1, 0, 1, proxy.undoContext(0), 1), 0);
    QCOMPARE(memory.setValue(0, 1, 0, 2, proxy.undoContext(0), 1), 0);
    memory.endUndoMacro();
    QCOMPARE(memory.undoStack()->count(), 1);
    QCOMPARE(memory.undoStack()->undoText(), QStringLiteral("Init patch"));
    memory.undoStack()->undo();
    QCOMPARE(memory.value(0, 1, 0), 0);
}

QTEST_MAIN(TestMemory)
#include "tst_memory.moc"

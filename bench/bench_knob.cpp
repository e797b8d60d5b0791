// bench_knob: what the knob costs, timed beside references in the same run.
//
// Refresh: an automation write to the memory that the knob follows (on the GUI thread the
// memory calls the knob's process() synchronously: value, three signals, update() scheduled).
// References: the same write to a parameter no control is bound to, the floor widget's value
// change (an int member and update()), and Qt's QDial::setValue.
//
// Repaint: a synchronous repaint() of a shown 64x64 knob, and of knobs showing the focus tint and
// the grey disabled look. References: the floor widget, whose paintEvent is one
// QPainter::drawPixmap of the same cell from the same strip, a widget that paints nothing (the
// cost of Qt's repaint itself), and Qt's QDial in the Fusion style.
//
// All widgets are children of one shown window, so every repaint goes through the same backing
// store. The tables report medians of interleaved rounds and ratios; see docs/performance.md.

#include "benchsupport.h"

#include <orvelkit/knob/cdial.h>
#include <orvelkit/memory/referencememory.h>

#include <QApplication>
#include <QDial>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

using namespace OrvelBench;

namespace {

constexpr int kCell = 64;
constexpr int kRows = 64;
constexpr int kMax = 127; // the range of the parameters in the map below is 0..kMax

// The floor: the least a strip control can do. It keeps its value in a member, schedules a
// repaint when it changes, and draws the cell for its value with one drawPixmap.
class FloorWidget : public QWidget
{
public:
    FloorWidget(const QPixmap& strip, QWidget* parent) : QWidget(parent), m_strip(strip)
    {
        setFixedSize(kCell, kCell);
    }

    void setCellValue(int v)
    {
        if (v == m_value)
            return;
        m_value = v;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const int row = qBound(0, m_value * kRows / (kMax + 1), kRows - 1);
        QPainter p(this);
        p.drawPixmap(QPoint(0, 0), m_strip, QRect(0, row * kCell, kCell, kCell));
    }

private:
    QPixmap m_strip;
    int m_value = 0;
};

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Options options;
    if (!app.readOptions(options))
        return app.exitCode();

    // ---- the memory ----
    // bench.knob is followed by the knob under test, bench.free by nothing; the knobs of the
    // composed looks follow parameters of their own, so that a write to bench.knob notifies
    // exactly one knob.
    TReferenceMemory_Orvel memory;
    QString error;
    const QByteArray map = R"({
        "format": "orvelkit-parameter-map", "version": 1,
        "parameters": [
            {"name": "bench.knob",     "address": "0:0:1", "min": 0, "max": 127},
            {"name": "bench.free",     "address": "0:0:2", "min": 0, "max": 127},
            {"name": "bench.focused",  "address": "0:0:3", "min": 0, "max": 127, "value": 64},
            {"name": "bench.disabled", "address": "0:0:4", "min": 0, "max": 127, "value": 64}
        ]})";
    if (!memory.loadMapData(map, &error, QStringLiteral("bench_knob"))) {
        std::fprintf(stderr, "bench_knob: %s\n", qPrintable(error));
        return 1;
    }

    // ---- the widgets, side by side in one shown window ----
    const QPixmap strip = makeKnobStrip(kCell, kRows);
    QWidget host;
    host.resize(6 * kCell, kCell);

    CDial_Orvel knob(&host);
    knob.setCombinedImage(strip);
    knob.setnSubImages(kRows);
    knob.setnImageCategories(1);
    knob.setNamedAddress(QStringLiteral("bench.knob"));
    knob.setMemAPI(&memory);
    knob.ensurePolished();
    knob.move(0, 0);

    FloorWidget floor(strip, &host);
    floor.move(kCell, 0);

    QDial dial(&host);
    dial.setRange(0, kMax);
    dial.setFixedSize(kCell, kCell);
    dial.move(2 * kCell, 0);

    QWidget empty(&host);
    empty.setFixedSize(kCell, kCell);
    empty.move(3 * kCell, 0);

    // The knob in its two composed looks, made from the cell on every paint: the focus tint
    // (a focus colour while it has the focus) and the grey look of a disabled knob.
    CDial_Orvel focusedKnob(&host);
    CDial_Orvel disabledKnob(&host);
    int column = 4;
    for (CDial_Orvel* k : {&focusedKnob, &disabledKnob}) {
        k->setCombinedImage(strip);
        k->setnSubImages(kRows);
        k->setnImageCategories(1);
        k->setNamedAddress(k == &focusedKnob ? QStringLiteral("bench.focused")
                                             : QStringLiteral("bench.disabled"));
        k->setMemAPI(&memory);
        k->ensurePolished();
        k->move(column++ * kCell, 0);
    }
    focusedKnob.setFocusColor(QColor(255, 160, 0));
    disabledKnob.setEnabled(false);

    // Trivial receivers for every signal a refresh emits.
    quint64 knobValueSignals = 0, knobTextSignals = 0, knobAltSignals = 0, dialSignals = 0;
    QObject::connect(&knob, &CDial_Orvel::memoryAPIValueChange, &host,
                     [&](int) { ++knobValueSignals; });
    QObject::connect(&knob, &CDial_Orvel::textualValueChange, &host,
                     [&](const QString&) { ++knobTextSignals; });
    QObject::connect(&knob, &CDial_Orvel::altAddressMode, &host,
                     [&](bool) { ++knobAltSignals; });
    QObject::connect(&dial, &QDial::valueChanged, &host, [&](int) { ++dialSignals; });

    host.show();
    check(waitExposed(host), "the window is exposed");
    check(knob.size() == QSize(kCell, kCell), "the knob sized itself to one cell");
    check(knob.memAPIReady(), "the knob is bound");
    QApplication::setActiveWindow(&host);
    focusedKnob.setFocus();
    QCoreApplication::processEvents();
    check(focusedKnob.hasFocus(), "the focus-tinted knob has the focus");

    // ---- refresh ----
    // Every operation steps through the values 0..127 so that each call changes the value; the
    // repaints update() schedules run between batches, untimed.
    int knobNext = 0, freeNext = 0, floorNext = 0, dialNext = 0;
    quint64 knobWrites = 0;
    memory.resetStatistics();
    knobValueSignals = knobTextSignals = knobAltSignals = dialSignals = 0; // showing emitted once
    const qint64 refreshN = options.count(200000);
    const std::vector<Variant> refreshVariants{
        {QStringLiteral("a  knob: memory write + knob refresh"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 knobNext = (knobNext + 1) & kMax;
                 memory.write(0, 0, 1, knobNext);
             }
             knobWrites += quint64(n);
         }},
        {QStringLiteral("b  memory only: the same write, nothing bound"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 freeNext = (freeNext + 1) & kMax;
                 memory.write(0, 0, 2, freeNext);
             }
         }},
        {QStringLiteral("c  floor: int member + update()"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 floorNext = (floorNext + 1) & kMax;
                 floor.setCellValue(floorNext);
             }
         }},
        {QStringLiteral("d  QDial::setValue (signal + update())"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 dialNext = (dialNext + 1) & kMax;
                 dial.setValue(dialNext);
             }
         }},
    };
    const auto flush = [] { QCoreApplication::processEvents(); };
    const std::vector<Result> refresh = measure(refreshVariants, refreshN, options.rounds, flush);

    // One synchronous refresh per write, all three signals each time, nothing posted.
    const TMemoryStatistics_Orvel stats = memory.statistics();
    check(stats.notifications == knobWrites, "one knob notification per write");
    check(stats.observerEventsPosted == 0, "no observer events posted on the GUI thread");
    check(knobValueSignals == knobWrites && knobTextSignals == knobWrites
              && knobAltSignals == knobWrites,
          "every knob refresh emitted its three signals");
    check(knob.value() == memory.value(0, 0, 1), "the knob follows the memory");
    check(dialSignals > 0, "QDial emitted valueChanged");

    Table refreshTable(
        QStringLiteral("Knob refresh: value change, median of %1 rounds x %2")
            .arg(options.rounds)
            .arg(refreshN),
        QStringLiteral("repaint scheduled, not run; signals connected to trivial slots"));
    for (const Result& r : refresh)
        refreshTable.addResult(r);
    const double kRefresh = refresh[0].median, memOnly = refresh[1].median,
                 floorSet = refresh[2].median, dialSet = refresh[3].median;
    refreshTable.addRatio(QStringLiteral("a / (b + c)  knob vs memory only + floor"),
                          kRefresh / (memOnly + floorSet));
    refreshTable.addRatio(QStringLiteral("a / (b + d)  knob vs memory only + QDial"),
                          kRefresh / (memOnly + dialSet));
    refreshTable.print(options.markdown);

    // ---- repaint ----
    memory.write(0, 0, 1, 64);
    floor.setCellValue(64);
    dial.setValue(64);
    flush();

    // The knob and the floor show the same cell.
    check(knob.grab().toImage() == floor.grab().toImage(), "knob and floor draw the same pixels");

    const qint64 repaintN = options.count(20000);
    // n synchronous repaints of one widget.
    const auto repaints = [](QWidget& w) {
        return [&w](qint64 n) {
            for (qint64 i = 0; i < n; ++i)
                w.repaint();
        };
    };
    const std::vector<Variant> repaintVariants{
        {QStringLiteral("a  knob: repaint()"), repaints(knob)},
        {QStringLiteral("b  floor: drawPixmap of the same cell"), repaints(floor)},
        {QStringLiteral("c  QDial, Fusion: repaint()"), repaints(dial)},
        {QStringLiteral("a2 knob, focused with a focus colour: repaint()"), repaints(focusedKnob)},
        {QStringLiteral("a3 knob, disabled (grey look): repaint()"), repaints(disabledKnob)},
        {QStringLiteral("e  empty widget: repaint() (Qt's part)"), repaints(empty)},
    };
    const std::vector<Result> repaint = measure(repaintVariants, repaintN, options.rounds, flush);

    // Each repaint() is one paint event (checked after timing, the filter costs time).
    PaintCounter counter;
    for (QWidget* w : {static_cast<QWidget*>(&knob), static_cast<QWidget*>(&floor),
                       static_cast<QWidget*>(&dial), static_cast<QWidget*>(&focusedKnob),
                       static_cast<QWidget*>(&disabledKnob), &empty}) {
        counter.paints = 0;
        w->installEventFilter(&counter);
        w->repaint();
        w->removeEventFilter(&counter);
        check(counter.paints == 1, "repaint() delivers one paint event");
    }

    Table repaintTable(
        QStringLiteral("Knob repaint: 64x64 cell, median of %1 rounds x %2")
            .arg(options.rounds)
            .arg(repaintN),
        QStringLiteral("synchronous repaint() of a shown child widget"));
    for (const Result& r : repaint)
        repaintTable.addResult(r);
    const double kPaint = repaint[0].median, floorPaint = repaint[1].median,
                 dialPaint = repaint[2].median, focusedPaint = repaint[3].median,
                 disabledPaint = repaint[4].median, emptyPaint = repaint[5].median;
    repaintTable.addRatio(QStringLiteral("a / b  knob vs floor (aim: 1.20 or less)"),
                          kPaint / floorPaint);
    repaintTable.addRatio(QStringLiteral("c / a  QDial vs knob"), dialPaint / kPaint);
    repaintTable.addRatio(QStringLiteral("(a - e) / (b - e)  painting alone, knob vs floor"),
                          (kPaint - emptyPaint) / (floorPaint - emptyPaint));
    repaintTable.addRatio(QStringLiteral("a2 / b  focused knob vs floor"),
                          focusedPaint / floorPaint);
    repaintTable.addRatio(QStringLiteral("a3 / b  disabled knob vs floor"),
                          disabledPaint / floorPaint);
    repaintTable.print(options.markdown);

    return checksExitCode();
}

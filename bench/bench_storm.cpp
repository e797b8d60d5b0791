// bench_storm: an automation storm on a full editor panel, measured beside the same writes to a
// memory with nothing bound, in the same run.
//
// The panel is a Designer form generated here and loaded through OrvelUiLoader as an
// application loads its forms: 500 parameters of the reference memory, each shown by one bound
// control of every bound kind of the catalogue in turn (knob, fader, on/off button, radio
// selector, text slider, pull-down menu, popup selector, state display). A radio selector is four
// radio buttons, one per value, in an exclusive button group (a lone radio button does not
// switch itself off), so 500 parameters drive 689 controls. Under each fader a value label is fed
// by the form's own textualValueChange -> setText connection. The window is shown (offscreen)
// and painted before the first storm.
//
// A storm: 4 worker threads write 1,000,000 values in all as fast as they can, to parameters and
// values drawn from a per-thread xorshift sequence (each value within its parameter's range),
// while the GUI thread runs its event loop. Measured per storm:
// - refreshes per control per event-loop pass: the posted deliveries the memory makes to each
//   control on the GUI thread (see CountingMemory) and the paint events each control gets, per
//   pass (passes are delimited by the event dispatcher's awake() signal); the maximum over every
//   control and pass, and the mean over the (control, pass) pairs that had any;
// - GUI-thread CPU time (CLOCK_THREAD_CPUTIME_ID) from the start of the storm until every
//   control shows the final values, per 1,000 writes, and the share of it inside the refreshes;
// - the writers' throughput and CPU time per write, beside the same writes (same seeds) to a
//   second memory with the same parameters and nothing bound (the reference);
// - the time from the last write until every control shows the last value written to its
//   parameter, judged by what the control exposes (value, checked state, text, selection) as it
//   was at its latest paint, and the GUI-thread CPU time in that window; then, once the loop is
//   idle, a check that every control still shows it, both as painted and as exposed now.
// Bound and reference storms alternate round by round after one warm-up of each; the tables
// report medians and min–max. --smoke: 20 parameters, 2 threads, 10,000 writes, 2 rounds.

#include "benchsupport.h"

#include <orvelkit/buttons/conoffbutton.h>
#include <orvelkit/buttons/cradiobutton.h>
#include <orvelkit/designer/orveluiloader.h>
#include <orvelkit/fader/cfader.h>
#include <orvelkit/knob/cdial.h>
#include <orvelkit/labels/clabeldisplay.h>
#include <orvelkit/memory/referencememory.h>
#include <orvelkit/menu/cpulldownmenu.h>
#include <orvelkit/popup/cpopup.h>
#include <orvelkit/sliders/ctextslider.h>
#include <orvelkit/status/statedisplaywidget.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <pthread.h>

using namespace OrvelBench;

namespace {

using Clock = std::chrono::steady_clock;

constexpr qint16 kHigh = 0;
constexpr qint16 kMid = 1;
// The table the faders format their text with (their tableId), shown by the value labels.
constexpr int kFaderTable = 5;

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// ---------------------------------------------------------------------------------------------
// The control kinds of the panel.

struct Kind
{
    const char* className;
    int minimum;
    int maximum;
    QSize size;
    // Extra <property> elements of the form (images as file paths in `dir`).
    std::function<QString(int index, const QString& dir)> properties;
};

QString property(const char* name, const QString& element)
{
    return QStringLiteral("   <property name=\"%1\">%2</property>\n").arg(QLatin1String(name), element);
}

QString number(int v)
{
    return QStringLiteral("<number>%1</number>").arg(v);
}

QString pixmapFile(const QString& dir, const char* file)
{
    return QStringLiteral("<pixmap>%1</pixmap>").arg(QDir(dir).filePath(QLatin1String(file)));
}

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> list{
        {"CDial", 0, 127, QSize(48, 48),
         [](int, const QString& dir) {
             return property("combinedImage", pixmapFile(dir, "knob.png")) + property("nSubImages", number(32));
         }},
        {"CFader", 0, 127, QSize(24, 100),
         [](int, const QString& dir) {
             return property("pixmap", pixmapFile(dir, "faderback.png")) + property("tableId", number(kFaderTable))
                    + property("thumbImage", pixmapFile(dir, "thumb.png")) + property("nSubImages", number(2));
         }},
        {"COnOffButton", 0, 1, QSize(32, 32),
         [](int, const QString& dir) {
             return property("combinedImage", pixmapFile(dir, "button.png")) + property("nSubImages", number(4));
         }},
        // A selector: one radio button per value (onValue), in an exclusive button group.
        {"CRadioButton", 0, 3, QSize(24, 24),
         [](int, const QString& dir) {
             return property("combinedImage", pixmapFile(dir, "radio.png")) + property("nSubImages", number(3));
         }},
        {"CTextSlider", 0, 1000, QSize(48, 18), [](int, const QString&) { return QString(); }},
        {"CPullDownMenu", 0, 7, QSize(100, 20),
         [](int, const QString&) {
             return property("menuItemList", QStringLiteral("<string>Sine;Saw;Square;Triangle;Noise;Pulse;Ramp;Step</string>"));
         }},
        {"CPopup", 0, 3, QSize(60, 18),
         [](int, const QString&) {
             return property("labels", QStringLiteral("<string>Off;Low;Mid;High</string>"))
                    + property("text", QStringLiteral("<string>Off</string>"));
         }},
        {"StateDisplayWidget", 0, 3, QSize(16, 16),
         [](int, const QString& dir) {
             return property("combinedImage", pixmapFile(dir, "lamp.png")) + property("nSubImages", number(4));
         }},
    };
    return list;
}

QPixmap rows(QSize cell, const std::vector<QColor>& colours)
{
    QImage image(cell.width(), cell.height() * int(colours.size()), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (size_t r = 0; r < colours.size(); ++r)
        p.fillRect(0, int(r) * cell.height(), cell.width(), cell.height(), colours[r]);
    p.end();
    return QPixmap::fromImage(image);
}

bool writeStrips(const QString& dir)
{
    const QColor on(230, 120, 30), off(60, 60, 70), track(250, 200, 90), grey(120, 120, 120);
    bool ok = makeKnobStrip(48, 32).save(QDir(dir).filePath("knob.png"));
    ok = ok && rows(QSize(24, 100), {QColor(40, 40, 48)}).save(QDir(dir).filePath("faderback.png"));
    ok = ok && rows(QSize(24, 12), {QColor(200, 200, 210), grey}).save(QDir(dir).filePath("thumb.png"));
    ok = ok && rows(QSize(32, 32), {on, off, track, grey}).save(QDir(dir).filePath("button.png"));
    ok = ok && rows(QSize(24, 24), {off, track, on}).save(QDir(dir).filePath("radio.png"));
    ok = ok && rows(QSize(16, 16), {off, Qt::green, Qt::yellow, Qt::red}).save(QDir(dir).filePath("lamp.png"));
    return ok;
}

bool isKind(const Kind& k, const char* className)
{
    return qstrcmp(k.className, className) == 0;
}

// The controls a parameter gets: one, or a radio button per value.
int controlsFor(const Kind& k)
{
    return isKind(k, "CRadioButton") ? k.maximum - k.minimum + 1 : 1;
}

// The form: controls laid out in rows 1,200 pixels wide, one control (or radio selector) per
// parameter; a value label under each fader, fed by a form connection. Controls are named
// c<parameter>_<n>, labels label<parameter>.
QByteArray formXml(int count, const QString& dir)
{
    QString body;
    QString connections;
    QString groups;
    int x = 4, y = 4, rowHeight = 0;
    for (int i = 0; i < count; ++i) {
        const Kind& k = kinds()[size_t(i) % kinds().size()];
        const bool fader = isKind(k, "CFader");
        const int n = controlsFor(k);
        const int height = k.size.height() + (fader ? 20 : 0);
        const int width = std::max(n * (k.size.width() + 2) - 2, fader ? 40 : 0);
        if (x + width > 1196) {
            x = 4;
            y += rowHeight + 4;
            rowHeight = 0;
        }
        if (n > 1)
            groups += QStringLiteral("  <buttongroup name=\"group%1\"/>\n").arg(i);
        for (int j = 0; j < n; ++j) {
            body += QStringLiteral("  <widget class=\"%1\" name=\"c%2_%3\">\n").arg(QLatin1String(k.className)).arg(i).arg(j);
            if (n > 1) {
                body += QStringLiteral("   <attribute name=\"buttonGroup\"><string notr=\"true\">group%1</string></attribute>\n").arg(i);
                body += property("onValue", number(k.minimum + j));
            }
            body += property("geometry", QStringLiteral("<rect><x>%1</x><y>%2</y><width>%3</width><height>%4</height></rect>")
                                             .arg(x + j * (k.size.width() + 2)).arg(y).arg(k.size.width()).arg(k.size.height()));
            body += property("namedAddress", QStringLiteral("<string>storm%1</string>").arg(i));
            body += k.properties(i, dir);
            body += QStringLiteral("  </widget>\n");
        }
        if (fader) {
            body += QStringLiteral("  <widget class=\"CLabelDisplay\" name=\"label%1\">\n").arg(i);
            body += property("geometry", QStringLiteral("<rect><x>%1</x><y>%2</y><width>40</width><height>16</height></rect>")
                                             .arg(x).arg(y + k.size.height() + 2));
            body += QStringLiteral("  </widget>\n");
            connections += QStringLiteral("  <connection><sender>c%1_0</sender><signal>textualValueChange(QString)</signal>"
                                          "<receiver>label%1</receiver><slot>setText(QString)</slot></connection>\n")
                               .arg(i);
        }
        x += width + 4;
        rowHeight = std::max(rowHeight, height);
    }
    const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n"
                                       " <class>StormPanel</class>\n <widget class=\"QWidget\" name=\"StormPanel\">\n")
                        + property("geometry", QStringLiteral("<rect><x>0</x><y>0</y><width>1200</width><height>%1</height></rect>")
                                                   .arg(y + rowHeight + 8))
                        + body + QStringLiteral(" </widget>\n <connections>\n") + connections
                        + QStringLiteral(" </connections>\n <buttongroups>\n") + groups
                        + QStringLiteral(" </buttongroups>\n</ui>\n");
    return xml.toUtf8();
}

struct Target
{
    qint16 low;
    int minimum;
    quint32 span;
};

bool defineParameters(TReferenceMemory_Orvel& memory, int count, std::vector<Target>& targets)
{
    targets.clear();
    if (!memory.registerFormatTable(kFaderTable, QStringLiteral("%.1f dB"), 10))
        return false;
    for (int i = 0; i < count; ++i) {
        const Kind& k = kinds()[size_t(i) % kinds().size()];
        TParameterSpec_Orvel p;
        p.name = QStringLiteral("storm%1").arg(i);
        p.high = kHigh;
        p.mid = kMid;
        p.low = qint16(i);
        p.minimum = k.minimum;
        p.maximum = k.maximum;
        p.value = p.defaultValue = k.minimum;
        QString error;
        if (!memory.addParameter(p, &error)) {
            std::fprintf(stderr, "bench_storm: %s\n", qPrintable(error));
            return false;
        }
        targets.push_back({qint16(i), k.minimum, quint32(k.maximum - k.minimum + 1)});
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Counting the refreshes.

struct Probe;

// The reference memory, with each posted GUI-thread delivery attributed to the control it
// refreshes: the only control of the parameter the refresh reads back (every bound control asks
// currentValue() first in its refresh), or the radio button whose refresh emits stateChanged.
// A radio button's refresh can switch another button of its group off, which emits that
// button's stateChanged from inside the first emission; the outermost emission's receiver runs
// last, so the last radio button reported is the refreshed one.
// The writers' path (write, process on the worker thread, postObserverEvent) is the memory's own.
class CountingMemory : public TReferenceMemory_Orvel
{
public:
    Probe* probe = nullptr;
    std::thread::id guiThread = std::this_thread::get_id();

    int currentValue(qint16 high, qint16 mid, qint16 low, int flags, int reserved) override;
    // Reports the control a posted delivery refreshes (`last`: a later report replaces this one).
    // Calls outside deliveries are ignored.
    void attribute(int control, bool last);

protected:
    void customEvent(QEvent* event) override;

private:
    bool m_inDelivery = false;
    int m_control = -1;
    bool m_final = false;
};

// What every control showed, per pass and when painted.
struct Probe : QObject
{
    struct Control
    {
        QWidget* widget = nullptr;
        std::function<qint64()> shown;            // what the control exposes now
        std::function<qint64(int value)> expected; // what it should expose for a value
        int parameter = 0;
        qint64 painted = 0;   // `shown` at its last paint
        quint64 deliveryPass = 0, paintPass = 0;
        int deliveriesInPass = 0, paintsInPass = 0;
        qint64 want = 0;      // the expected state once the writers are done
    };
    std::vector<Control> controls;
    std::vector<int> controlOfParameter; // parameter index -> its only control, -1 none or several

    quint64 pass = 0;
    // per storm
    quint64 deliveries = 0, deliveryPairs = 0, paints = 0, paintPairs = 0, unattributed = 0;
    quint64 samePaints = 0; // paints showing the state the control showed at its paint before
    int maxDeliveriesPerPass = 0, maxPaintsPerPass = 0;
    quint64 passes = 0;
    qint64 refreshCpu = 0; // GUI-thread CPU inside posted refreshes
    bool counting = false;
    // settling
    bool settling = false;
    int stale = 0;
    Clock::time_point settledAt{};
    qint64 settledCpu = 0; // GUI-thread CPU clock when settled
    QEventLoop* loop = nullptr;

    void reset()
    {
        deliveries = deliveryPairs = paints = paintPairs = unattributed = samePaints = 0;
        maxDeliveriesPerPass = maxPaintsPerPass = 0;
        passes = 0;
        refreshCpu = 0;
        settling = false;
        stale = 0;
        for (Control& c : controls)
            c.deliveryPass = c.paintPass = 0;
    }

    void onAwake()
    {
        ++pass;
        if (counting)
            ++passes;
    }

    void delivered(int at)
    {
        if (!counting)
            return;
        if (at < 0) {
            ++unattributed;
            return;
        }
        Control& c = controls[size_t(at)];
        ++deliveries;
        if (c.deliveryPass != pass) {
            c.deliveryPass = pass;
            c.deliveriesInPass = 0;
            ++deliveryPairs;
        }
        maxDeliveriesPerPass = std::max(maxDeliveriesPerPass, ++c.deliveriesInPass);

    }

    // The writers are done: from now on, the storm ends when every control was painted showing
    // the final value of its parameter.
    void startSettling(const TReferenceMemory_Orvel& memory)
    {
        stale = 0;
        for (Control& c : controls) {
            c.want = c.expected(memory.value(kHigh, kMid, qint16(c.parameter)));
            if (c.painted != c.want)
                ++stale;
        }
        settling = true;
        if (stale == 0)
            settle();
    }

    void settle()
    {
        settling = false;
        settledAt = Clock::now();
        settledCpu = threadCpuNs();
        if (loop)
            loop->quit();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        const int at = watched->property("stormIndex").toInt();
        Control& c = controls[size_t(at)];
        const qint64 before = c.painted;
        c.painted = c.shown();
        if (counting) {
            ++paints;
            samePaints += c.painted == before;
            if (c.paintPass != pass) {
                c.paintPass = pass;
                c.paintsInPass = 0;
                ++paintPairs;
            }
            maxPaintsPerPass = std::max(maxPaintsPerPass, ++c.paintsInPass);
        }
        if (settling) {
            const bool wasStale = before != c.want, isStale = c.painted != c.want;
            stale += int(isStale) - int(wasStale);
            if (stale == 0)
                settle();
        }
        return false;
    }
};

int CountingMemory::currentValue(qint16 high, qint16 mid, qint16 low, int flags, int reserved)
{
    // Only the GUI thread reads the delivery state (worker threads never get here in a storm:
    // bound controls hand their refresh to the GUI thread before reading the value).
    if (std::this_thread::get_id() == guiThread && m_inDelivery && probe && high == kHigh
        && mid == kMid && low >= 0 && low < int(probe->controlOfParameter.size())) {
        const int at = probe->controlOfParameter[size_t(low)];
        if (at >= 0)
            attribute(at, false);
    }
    return TReferenceMemory_Orvel::currentValue(high, mid, low, flags, reserved);
}

void CountingMemory::attribute(int control, bool last)
{
    if (!m_inDelivery || (m_final && !last))
        return;
    m_control = control;
    m_final = true;
}

void CountingMemory::customEvent(QEvent* event)
{
    m_inDelivery = true;
    m_control = -1;
    m_final = false;
    const qint64 cpu0 = probe && probe->counting ? threadCpuNs() : 0;
    TReferenceMemory_Orvel::customEvent(event);
    m_inDelivery = false;
    if (probe && probe->counting) {
        const qint64 spent = threadCpuNs() - cpu0;
        probe->refreshCpu += spent;
        probe->delivered(m_control);
    }
}

// How each kind exposes what it shows, and what that is for a value.
bool describe(QWidget* w, TReferenceMemory_Orvel& memory, Probe::Control& c)
{
    if (auto* knob = qobject_cast<CDial_Orvel*>(w)) {
        c.shown = [knob] { return qint64(knob->value()); };
        c.expected = [](int v) { return qint64(v); };
    } else if (auto* fader = qobject_cast<CFader_Orvel*>(w)) {
        c.shown = [fader] { return qint64(fader->value()); };
        c.expected = [](int v) { return qint64(v); };
    } else if (auto* popup = qobject_cast<CPopup_Orvel*>(w)) { // before its base, the on/off button
        c.shown = [popup] { return qint64(qHash(popup->text())); };
        const QStringList labels = popup->labels().split(QLatin1Char(';'));
        c.expected = [labels](int v) { return qint64(qHash(labels.value(v))); };
    } else if (auto* button = qobject_cast<COnOffButton_Orvel*>(w)) {
        c.shown = [button] { return qint64(button->isOn()); };
        c.expected = [](int v) { return qint64(v == 1); };
    } else if (auto* radio = qobject_cast<CRadioButton_Orvel*>(w)) {
        c.shown = [radio] { return qint64(radio->isChecked()); };
        const int onValue = radio->onValue();
        c.expected = [onValue](int v) { return qint64(v == onValue); };
    } else if (auto* text = qobject_cast<CTextSlider_Orvel*>(w)) {
        c.shown = [text] { return qint64(qHash(text->text())) ^ (qint64(text->value()) << 32); };
        c.expected = [text](int v) {
            QString s;
            text->stringForValue(v, s);
            return qint64(qHash(s)) ^ (qint64(v) << 32);
        };
    } else if (auto* menu = qobject_cast<CPullDownMenu_Orvel*>(w)) {
        c.shown = [menu] { return qint64(menu->currentItem()); };
        c.expected = [](int v) { return qint64(v); };
    } else if (auto* lamp = qobject_cast<StateDisplayWidget_Orvel*>(w)) {
        c.shown = [lamp] { return qint64(lamp->value()); };
        c.expected = [](int v) { return qint64(v); };
    } else if (auto* label = qobject_cast<CLabelDisplay_Orvel*>(w)) {
        // A value label shows its fader's text for the value.
        auto* source = w->parentWidget()->findChild<CFader_Orvel*>(QLatin1Char('c') + w->objectName().mid(5) + QLatin1String("_0"));
        if (!source)
            return false;
        c.shown = [label] { return qint64(qHash(label->text())); };
        c.expected = [&memory, source](int v) {
            QString s;
            memory.formatValue(qint16(source->addrLow + source->addrLowOffset), source->tableId(), s, nullptr, v, 0, 0, 0);
            return qint64(qHash(s));
        };
    } else {
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The writers.

struct StormResult
{
    double writesPerSecond = 0;
    double writerCpuNsPerWrite = 0; // CPU time of the writer threads per write
    qint64 writes = 0;
    Clock::time_point lastWrite{};
};

// Runs `threads` writers of `perThread` writes each; `onDone` runs on the last one to finish.
class Writers
{
public:
    Writers(TReferenceMemory_Orvel& memory, const std::vector<Target>& targets, int threads, qint64 perThread,
            quint32 seed, std::function<void()> onDone)
        : m_memory(memory), m_targets(targets), m_perThread(perThread), m_onDone(std::move(onDone)),
          m_begin(size_t(threads)), m_end(size_t(threads)), m_cpu(size_t(threads))
    {
        m_left.store(threads);
        for (int t = 0; t < threads; ++t)
            m_threads.emplace_back([this, t, seed] { run(t, seed * 7919u + quint32(t) * 104729u + 1u); });
    }
    ~Writers() { join(); }

    void start() { m_go.store(true, std::memory_order_release); }
    void join()
    {
        for (std::thread& t : m_threads)
            if (t.joinable())
                t.join();
    }
    StormResult result() const
    {
        const auto first = *std::min_element(m_begin.begin(), m_begin.end());
        const auto last = *std::max_element(m_end.begin(), m_end.end());
        StormResult r;
        r.writes = m_perThread * qint64(m_threads.size());
        r.writesPerSecond = double(r.writes) / std::chrono::duration<double>(last - first).count();
        r.lastWrite = last;
        qint64 cpu = 0;
        for (size_t t = 0; t < m_cpu.size(); ++t)
            cpu += m_cpu[t];
        r.writerCpuNsPerWrite = double(cpu) / double(r.writes);
        return r;
    }

private:
    void run(int index, quint32 state)
    {
        while (!m_go.load(std::memory_order_acquire))
            std::this_thread::yield();
        const size_t n = m_targets.size();
        m_begin[size_t(index)] = Clock::now();
        const qint64 cpu0 = threadCpuNs();
        for (qint64 i = 0; i < m_perThread; ++i) {
            // xorshift32
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const Target& t = m_targets[state % n];
            m_memory.write(kHigh, kMid, t.low, t.minimum + int((state >> 11) % t.span));
        }
        m_cpu[size_t(index)] = threadCpuNs() - cpu0;
        m_end[size_t(index)] = Clock::now();
        if (m_left.fetch_sub(1) == 1 && m_onDone)
            m_onDone();
    }

    TReferenceMemory_Orvel& m_memory;
    const std::vector<Target>& m_targets;
    const qint64 m_perThread;
    std::function<void()> m_onDone;
    std::vector<Clock::time_point> m_begin, m_end; // each written by its own thread, read after join
    std::vector<qint64> m_cpu;
    std::atomic<bool> m_go{false};
    std::atomic<int> m_left{0};
    std::vector<std::thread> m_threads;
};

// ---------------------------------------------------------------------------------------------
// Reporting.

struct Series
{
    Series(QString l, QString u, QString t) : label(std::move(l)), unit(std::move(u)), target(std::move(t)) {}

    QString label;
    QString unit;
    QString target;
    std::vector<double> values;

    double median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        if (v.empty())
            return 0;
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }
    double min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

QString figure(double v)
{
    return QString::number(v, 'f', v < 10 ? 2 : v < 1000 ? 1 : 0);
}

void printTable(const QString& title, const QString& note, const std::vector<const Series*>& rows, bool markdown)
{
    QTextStream out(stdout);
    if (markdown) {
        out << "### " << title << "\n\n" << note << "\n\n";
        out << "| measure | median | rounds min–max | unit | target |\n|---|---:|---:|---|---|\n";
        for (const Series* s : rows)
            out << "| " << s->label << " | " << figure(s->median()) << " | " << figure(s->min()) << "–"
                << figure(s->max()) << " | " << s->unit << " | " << s->target << " |\n";
        out << "\n";
    } else {
        int width = 0;
        for (const Series* s : rows)
            width = std::max(width, int(s->label.size()));
        out << title << "\n  " << note << "\n";
        for (const Series* s : rows)
            out << "  " << s->label.leftJustified(width) << "  " << figure(s->median()).rightJustified(10) << "  "
                << (figure(s->min()) + "-" + figure(s->max())).rightJustified(19) << "  " << s->unit
                << (s->target.isEmpty() ? QString() : QStringLiteral("  (target %1)").arg(s->target)) << "\n";
        out << "\n";
    }
    out.flush();
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Options options;
    if (!app.readOptions(options))
        return app.exitCode();
    const int controlCount = options.smoke ? 20 : 500;
    const int threadCount = options.smoke ? 2 : 4;
    const qint64 totalWrites = options.iterations > 0 ? options.iterations : options.smoke ? 10000 : 1000000;
    const qint64 perThread = std::max<qint64>(1, totalWrites / threadCount);
    const int rounds = options.rounds;

    // Two memories with the same parameters: one with the panel bound, one with nothing bound.
    CountingMemory memory;
    TReferenceMemory_Orvel reference;
    std::vector<Target> targets, referenceTargets;
    if (!defineParameters(memory, controlCount, targets) || !defineParameters(reference, controlCount, referenceTargets))
        return 1;

    QTemporaryDir dir;
    check(dir.isValid() && writeStrips(dir.path()), "the strips are written for the form");
    QByteArray xml = formXml(controlCount, dir.path());
    QBuffer buffer(&xml);
    buffer.open(QIODevice::ReadOnly);
    OrvelUiLoader loader(&memory);
    std::unique_ptr<QWidget> panel(loader.load(&buffer));
    if (!panel) {
        std::fprintf(stderr, "bench_storm: the form did not load: %s\n", qPrintable(loader.errorString()));
        return 1;
    }

    Probe probe;
    memory.probe = &probe;
    probe.controlOfParameter.assign(size_t(controlCount), -1);
    std::vector<int> controlsOfParameter(size_t(controlCount), 0);
    int labels = 0, bound = 0;
    for (QWidget* w : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        Probe::Control c;
        c.widget = w;
        if (!describe(w, memory, c))
            continue;
        const int index = int(probe.controls.size());
        const bool label = qobject_cast<CLabelDisplay_Orvel*>(w) != nullptr;
        c.parameter = w->objectName().mid(label ? 5 : 1).section(QLatin1Char('_'), 0, 0).toInt();
        if (c.parameter < 0 || c.parameter >= controlCount)
            continue;
        if (label) {
            ++labels;
        } else {
            ++bound;
            probe.controlOfParameter[size_t(c.parameter)] = ++controlsOfParameter[size_t(c.parameter)] == 1 ? index : -1;
        }
        if (auto* radio = qobject_cast<CRadioButton_Orvel*>(w))
            QObject::connect(radio, &CRadioButton_Orvel::stateChanged, &probe, [&memory, index] { memory.attribute(index, true); });
        w->setProperty("stormIndex", index);
        w->installEventFilter(&probe);
        probe.controls.push_back(std::move(c));
    }
    int faders = 0, expectedBound = 0;
    for (int i = 0; i < controlCount; ++i) {
        const Kind& k = kinds()[size_t(i) % kinds().size()];
        faders += isKind(k, "CFader");
        expectedBound += controlsFor(k);
    }
    check(bound == expectedBound && loader.boundControlCount() == bound && labels == faders
              && std::count(controlsOfParameter.begin(), controlsOfParameter.end(), 0) == 0,
          "every control and value label of the form is watched");

    panel->show();
    check(waitExposed(*panel), "the panel is exposed");
    QCoreApplication::processEvents();
    bool allVisible = true;
    for (const Probe::Control& c : probe.controls)
        allVisible = allVisible && !c.widget->visibleRegion().isEmpty();
    check(allVisible, "every control lies inside the panel");
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, &probe, [&probe] { probe.onAwake(); });

    Series deliveriesMax{QStringLiteral("posted refreshes per control per pass, max"), QStringLiteral("refreshes"), QStringLiteral("≤ 1")};
    Series deliveriesMean{QStringLiteral("posted refreshes per control per pass, mean"), QStringLiteral("refreshes"), {}};
    Series paintsMax{QStringLiteral("paints per control per pass, max"), QStringLiteral("paints"), QStringLiteral("≤ 1")};
    Series samePaintShare{QStringLiteral("paints that showed no change"), QStringLiteral("% of paints"), {}};
    Series refreshesPerControl{QStringLiteral("posted refreshes per control over the storm"), QStringLiteral("refreshes"), {}};
    Series writesPerControl{QStringLiteral("writes per parameter over the storm"), QStringLiteral("writes"), {}};
    Series passes{QStringLiteral("event-loop passes during the storm"), QStringLiteral("passes"), {}};
    Series guiCpu{QStringLiteral("GUI-thread CPU per 1,000 writes, panel bound"), QStringLiteral("µs"), {}};
    Series refreshShare{QStringLiteral("share of that CPU spent in the posted refreshes"), QStringLiteral("%"), {}};
    Series guiCpuRef{QStringLiteral("GUI-thread CPU per 1,000 writes, reference"), QStringLiteral("µs"), {}};
    Series throughput{QStringLiteral("writer throughput, panel bound"), QStringLiteral("M writes/s"), {}};
    Series throughputRef{QStringLiteral("writer throughput, reference (nothing bound)"), QStringLiteral("M writes/s"), {}};
    Series writerCpu{QStringLiteral("writer CPU per write, panel bound"), QStringLiteral("ns"), {}};
    Series writerCpuRef{QStringLiteral("writer CPU per write, reference"), QStringLiteral("ns"), {}};
    Series writerCpuRatio{QStringLiteral("bound / reference writer CPU per write"), QStringLiteral("ratio"), {}};
    Series settleCpu{QStringLiteral("GUI-thread CPU from the last write until settled"), QStringLiteral("ms"), {}};
    Series throughputRatio{QStringLiteral("bound / reference throughput"), QStringLiteral("ratio"), {}};
    Series latency{QStringLiteral("last write -> every control shows the last value"), QStringLiteral("ms"), QStringLiteral("< 50")};
    Series staleSeries{QStringLiteral("controls left stale (painted or exposed)"), QStringLiteral("controls"), QStringLiteral("0")};

    QObject gui; // the GUI thread's receiver for the writers' "done"
    clockid_t guiClock{};
    check(pthread_getcpuclockid(pthread_self(), &guiClock) == 0, "the GUI thread's CPU clock is readable");
    std::atomic<qint64> guiCpuAtLastWrite{0};
    const int timeoutMs = 20000; // generous: a Debug build under the sanitizers is slow
    double lastRefThroughput = 0;

    const auto boundStorm = [&](int round) {
        probe.reset();
        const TMemoryStatistics_Orvel before = memory.statistics();
        QEventLoop loop;
        probe.loop = &loop;
        Writers writers(memory, targets, threadCount, perThread, quint32(round + 1), [&] {
            timespec ts{};
            clock_gettime(guiClock, &ts);
            guiCpuAtLastWrite.store(qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec);
            QMetaObject::invokeMethod(&gui, [&] { probe.startSettling(memory); }, Qt::QueuedConnection);
        });
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(timeoutMs);
        probe.counting = true;
        const qint64 cpu0 = threadCpuNs();
        writers.start();
        loop.exec();
        const qint64 cpu = threadCpuNs() - cpu0;
        probe.counting = false;
        writers.join();
        const StormResult r = writers.result();
        const bool settled = !probe.settling && probe.settledAt > r.lastWrite;
        probe.settling = false; // after a time-out too: the loop below is gone
        probe.loop = nullptr;
        check(settled, "every control shows the last value before the time-out");
        const TMemoryStatistics_Orvel after = memory.statistics();

        // Idle: nothing may be left to change what is shown.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        int stale = 0, emptyLabels = 0;
        for (const Probe::Control& c : probe.controls) {
            const qint64 want = c.expected(memory.value(kHigh, kMid, qint16(c.parameter)));
            stale += c.painted != want || c.shown() != want;
            if (auto* label = qobject_cast<CLabelDisplay_Orvel*>(c.widget))
                emptyLabels += label->text().isEmpty();
        }
        check(emptyLabels == 0, "every value label shows its fader's text");
        check(after.writes - before.writes > quint64(r.writes) / 4, "the storm changed stored values");
        check(probe.deliveries > 0 && probe.unattributed == 0, "every posted refresh is attributed to a control");
        check(after.observerDeliveries - before.observerDeliveries == probe.deliveries,
              "the counted refreshes are the memory's own deliveries");

        deliveriesMax.values.push_back(probe.maxDeliveriesPerPass);
        deliveriesMean.values.push_back(probe.deliveryPairs ? double(probe.deliveries) / double(probe.deliveryPairs) : 0);
        paintsMax.values.push_back(probe.maxPaintsPerPass);
        samePaintShare.values.push_back(probe.paints ? 100.0 * double(probe.samePaints) / double(probe.paints) : 0);
        refreshesPerControl.values.push_back(double(probe.deliveries) / controlCount);
        writesPerControl.values.push_back(double(r.writes) / controlCount);
        passes.values.push_back(double(probe.passes));
        guiCpu.values.push_back(double(cpu) / 1000.0 / (double(r.writes) / 1000.0));
        refreshShare.values.push_back(100.0 * double(probe.refreshCpu) / double(cpu));
        throughput.values.push_back(r.writesPerSecond / 1e6);
        writerCpu.values.push_back(r.writerCpuNsPerWrite);
        settleCpu.values.push_back(settled ? double(probe.settledCpu - guiCpuAtLastWrite.load()) / 1e6 : 0);
        latency.values.push_back(settled ? std::chrono::duration<double, std::milli>(probe.settledAt - r.lastWrite).count()
                                         : double(timeoutMs));
        staleSeries.values.push_back(stale);
        return r.writesPerSecond;
    };

    const auto referenceStorm = [&](int round) {
        QEventLoop loop;
        std::atomic<bool> done{false};
        Writers writers(reference, referenceTargets, threadCount, perThread, quint32(round + 1), [&] {
            done.store(true);
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(timeoutMs);
        const qint64 cpu0 = threadCpuNs();
        writers.start();
        loop.exec();
        const qint64 cpu = threadCpuNs() - cpu0;
        writers.join();
        check(done.load(), "the reference writers finish before the time-out");
        const StormResult r = writers.result();
        guiCpuRef.values.push_back(double(cpu) / 1000.0 / (double(r.writes) / 1000.0));
        throughputRef.values.push_back(r.writesPerSecond / 1e6);
        writerCpuRef.values.push_back(r.writerCpuNsPerWrite);
        return r.writesPerSecond;
    };

    // Warm-up, then rounds in alternating order.
    boundStorm(0);
    referenceStorm(0);
    for (Series* s : {&deliveriesMax, &deliveriesMean, &paintsMax, &samePaintShare, &refreshesPerControl, &writesPerControl, &passes,
                      &guiCpu, &refreshShare, &guiCpuRef, &throughput, &throughputRef, &latency, &staleSeries, &writerCpu, &writerCpuRef,
                      &settleCpu})
        s->values.clear();
    for (int round = 1; round <= rounds; ++round) {
        double bound = 0;
        if (round % 2) {
            bound = boundStorm(round);
            lastRefThroughput = referenceStorm(round);
        } else {
            lastRefThroughput = referenceStorm(round);
            bound = boundStorm(round);
        }
        throughputRatio.values.push_back(bound / lastRefThroughput);
        writerCpuRatio.values.push_back(writerCpu.values.back() / writerCpuRef.values.back());
    }

    const QString setup = QStringLiteral("%1 parameters, %2 bound controls of %3 kinds (radio buttons: four per parameter) "
                                         "+ %4 value labels, %5 writer threads, %6 writes a storm, median of %7 rounds")
                              .arg(controlCount).arg(bound).arg(kinds().size()).arg(labels)
                              .arg(threadCount).arg(threadCount * perThread).arg(rounds);
    printTable(QStringLiteral("Automation storm: refreshes on the GUI thread"), setup,
               {&deliveriesMax, &deliveriesMean, &paintsMax, &samePaintShare, &refreshesPerControl, &writesPerControl, &passes},
               options.markdown);
    printTable(QStringLiteral("Automation storm: cost and latency"),
               QStringLiteral("reference: the same writes to a memory with the same parameters and nothing bound"),
               {&guiCpu, &refreshShare, &guiCpuRef, &throughput, &throughputRef, &throughputRatio, &writerCpu, &writerCpuRef,
                &writerCpuRatio, &latency, &settleCpu, &staleSeries},
               options.markdown);

    check(deliveriesMax.max() <= 1, "at most one posted refresh per control per pass");
    check(staleSeries.max() == 0, "no control is left showing a stale value");
    panel.reset();
    return checksExitCode();
}

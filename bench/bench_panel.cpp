// bench_panel: what it costs to open a panel of 1,000 controls, timed and weighed beside the same
// panel made of Qt's own widgets, in the same run.
//
// a  orvelkit form: 1,000 controls of eleven kinds (knobs, faders, on/off and radio buttons, text
//    sliders, pull-down menus, popup selectors, lamps, value labels, name editors, pixmap
//    switchers), their strips PNG files next to the form as a panel ships them, loaded through
//    OrvelUiLoader and bound to a reference memory of 1,000 parameters (850 controls are bound).
// b  reference: the same form, widget for widget at the same places, made of Qt's nearest widgets
//    (QDial, QSlider, QPushButton, QRadioButton, QSpinBox, QComboBox, QLabel, QLineEdit), loaded
//    through QUiLoader. The memory exists in both processes, so that only the form differs.
//
// A run measures one form in a fresh process (the program starts itself with a hidden option),
// because the peak of the resident set (getrusage ru_maxrss) only grows: load (parse, create,
// set properties, bind), then show until the window is exposed and has painted once. The two
// forms alternate round by round; the tables give medians and ratios (see docs/performance.md).
// To profile one run: `bench_panel --write-forms DIR 1000`, then
// `valgrind --tool=callgrind bench_panel --run-form DIR orvel 1000`.

#include "benchsupport.h"

#include <orvelkit/designer/orveluiloader.h>
#include <orvelkit/knob/cdial.h>
#include <orvelkit/memory/referencememory.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUiLoader>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace OrvelBench;

namespace {

constexpr int kPanelWidth = 1600;
constexpr int kMixSize = 20; // controls per repetition of the mix below

// One kind of control on the panel: its class in both forms, its size, how many of every 20
// controls are of this kind, and the properties each form gives it (%1: the control's number).
struct Kind
{
    const char* orvelClass;
    const char* qtClass;
    QSize size;
    int perMix;
    bool bound;
    const char* orvelProperties;
    const char* qtProperties;
};

QString stringProperty(const char* name, const QString& text)
{
    return QStringLiteral("<property name=\"%1\"><string>%2</string></property>").arg(QLatin1String(name), text);
}

QString numberProperty(const char* name, int n)
{
    return QStringLiteral("<property name=\"%1\"><number>%2</number></property>").arg(QLatin1String(name)).arg(n);
}

QString pixmapProperty(const char* name, const QString& file)
{
    return QStringLiteral("<property name=\"%1\"><pixmap>%2</pixmap></property>").arg(QLatin1String(name), file);
}

const std::vector<Kind>& kinds()
{
    static const std::vector<Kind> k{
        {"CDial", "QDial", {48, 48}, 5, true, "knob", "dial"},
        {"CFader", "QSlider", {40, 120}, 2, true, "fader", "slider"},
        {"COnOffButton", "QPushButton", {32, 32}, 3, true, "onoff", "checkable"},
        {"CRadioButton", "QRadioButton", {24, 24}, 2, true, "radio", "qtradio"},
        {"CTextSlider", "QSpinBox", {48, 18}, 2, true, "textslider", "spinbox"},
        {"CPullDownMenu", "QComboBox", {100, 20}, 1, true, "pulldown", "combo"},
        {"CPopup", "QPushButton", {60, 18}, 1, true, "popup", "popupbutton"},
        {"StateDisplayWidget", "QLabel", {16, 16}, 1, true, "lamp", "qtlamp"},
        {"CLabelDisplay", "QLabel", {60, 16}, 1, false, "label", "qtlabel"},
        {"CNameEditor", "QLineEdit", {100, 20}, 1, false, "name", "lineedit"},
        {"CPixmapSwitcher", "QLabel", {64, 32}, 1, false, "switcher", "qtswitcher"},
    };
    return k;
}

// The properties of control `n` of a kind in one form. `dir` holds the strips.
QString properties(const Kind& kind, bool orvel, int n, const QString& dir)
{
    const QString file = dir + QLatin1Char('/');
    const QString address = QStringLiteral("par.%1").arg(n);
    const QString key = QLatin1String(orvel ? kind.orvelProperties : kind.qtProperties);
    if (key == QLatin1String("knob"))
        return pixmapProperty("combinedImage", file + "knob.png") + numberProperty("nSubImages", 64)
               + stringProperty("namedAddress", address);
    if (key == QLatin1String("fader"))
        return pixmapProperty("pixmap", file + "fader-back.png") + pixmapProperty("thumbImage", file + "fader-thumb.png")
               + numberProperty("nSubImages", 2) + stringProperty("namedAddress", address);
    if (key == QLatin1String("onoff"))
        return pixmapProperty("combinedImage", file + "button.png") + numberProperty("nSubImages", 4)
               + stringProperty("namedAddress", address);
    if (key == QLatin1String("radio"))
        return pixmapProperty("combinedImage", file + "radio.png") + numberProperty("nSubImages", 3)
               + numberProperty("onValue", 1) + stringProperty("namedAddress", address);
    if (key == QLatin1String("textslider"))
        return stringProperty("formatLabel", "%d") + stringProperty("namedAddress", address);
    if (key == QLatin1String("pulldown"))
        return stringProperty("menuItemList", "Saw;Square;Triangle;Noise") + stringProperty("namedAddress", address);
    if (key == QLatin1String("popup"))
        return stringProperty("labels", "Off;Low;Mid;High") + stringProperty("text", "Off")
               + stringProperty("namedAddress", address);
    if (key == QLatin1String("lamp"))
        return pixmapProperty("combinedImage", file + "lamp.png") + numberProperty("nSubImages", 2)
               + stringProperty("namedAddress", address);
    if (key == QLatin1String("label"))
        return pixmapProperty("combinedImage", file + "label.png") + numberProperty("nSubImages", 1)
               + stringProperty("text", QStringLiteral("%1").arg(n));
    if (key == QLatin1String("name"))
        return stringProperty("text", QStringLiteral("Patch %1").arg(n));
    if (key == QLatin1String("switcher"))
        return pixmapProperty("combinedImage", file + "switcher.png") + numberProperty("nSubImages", 4);
    // Qt's widgets
    if (key == QLatin1String("dial"))
        return numberProperty("maximum", 127);
    if (key == QLatin1String("slider"))
        return numberProperty("maximum", 127)
               + QStringLiteral("<property name=\"orientation\"><enum>Qt::Vertical</enum></property>");
    if (key == QLatin1String("checkable"))
        return QStringLiteral("<property name=\"checkable\"><bool>true</bool></property>");
    if (key == QLatin1String("qtradio"))
        return {};
    if (key == QLatin1String("spinbox"))
        return numberProperty("maximum", 127);
    if (key == QLatin1String("combo")) {
        QString items;
        for (const char* item : {"Saw", "Square", "Triangle", "Noise"})
            items += QStringLiteral("<item><property name=\"text\"><string>%1</string></property></item>")
                         .arg(QLatin1String(item));
        return items;
    }
    if (key == QLatin1String("popupbutton"))
        return stringProperty("text", "Off");
    if (key == QLatin1String("qtlamp"))
        return pixmapProperty("pixmap", file + "lamp-cell.png");
    if (key == QLatin1String("qtlabel"))
        return stringProperty("text", QStringLiteral("%1").arg(n));
    if (key == QLatin1String("lineedit"))
        return stringProperty("text", QStringLiteral("Patch %1").arg(n));
    if (key == QLatin1String("qtswitcher"))
        return pixmapProperty("pixmap", file + "switcher-cell.png");
    return {};
}

// The kind of the n-th control: the mix repeats every 20 controls.
const Kind& kindOf(int n)
{
    int slot = n % kMixSize;
    for (const Kind& k : kinds()) {
        if (slot < k.perMix)
            return k;
        slot -= k.perMix;
    }
    return kinds().front();
}

int boundCount(int controls)
{
    int bound = 0;
    for (int n = 0; n < controls; ++n)
        bound += kindOf(n).bound ? 1 : 0;
    return bound;
}

// The form: `controls` widgets under a plain QWidget at absolute places (as many hand-drawn
// panels are), grouped by kind the way a panel groups its sections: rows of knobs, rows of
// faders, and so on. Control n is bound to parameter n.
QByteArray form(bool orvel, int controls, const QString& dir)
{
    QString body;
    int y = 4;
    for (const Kind& k : kinds()) {
        int x = 4, rowHeight = 0;
        for (int n = 0; n < controls; ++n) {
            if (&kindOf(n) != &k)
                continue;
            if (x + k.size.width() > kPanelWidth - 4) {
                x = 4;
                y += rowHeight + 6;
            }
            body += QStringLiteral("  <widget class=\"%1\" name=\"control%2\">\n   <property name=\"geometry\"><rect>"
                                   "<x>%3</x><y>%4</y><width>%5</width><height>%6</height></rect></property>\n   ")
                        .arg(QLatin1String(orvel ? k.orvelClass : k.qtClass))
                        .arg(n).arg(x).arg(y).arg(k.size.width()).arg(k.size.height());
            body += properties(k, orvel, n, dir);
            body += QStringLiteral("\n  </widget>\n");
            x += k.size.width() + 6;
            rowHeight = k.size.height();
        }
        if (rowHeight > 0)
            y += rowHeight + 6;
    }
    QString xml;
    QTextStream out(&xml);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\">\n <class>Panel</class>\n"
        << " <widget class=\"QWidget\" name=\"Panel\">\n"
        << "  <property name=\"geometry\"><rect><x>0</x><y>0</y><width>" << kPanelWidth << "</width><height>"
        << y << "</height></rect></property>\n"
        << body << " </widget>\n</ui>\n";
    out.flush();
    return xml.toUtf8();
}

// A strip of `rows` cells of `cell` size, one colour a row, with a darker border.
bool writeStrip(const QString& file, QSize cell, int rows)
{
    QImage image(cell.width(), cell.height() * rows, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int r = 0; r < rows; ++r) {
        const QColor c = QColor::fromHsv((r * 47) % 360, 160, 90 + 150 * r / std::max(1, rows - 1));
        p.setPen(c.darker(200));
        p.setBrush(c);
        p.drawRoundedRect(QRectF(0.5, r * cell.height() + 0.5, cell.width() - 1, cell.height() - 1), 3, 3);
    }
    p.end();
    return image.save(file, "PNG");
}

bool writeFiles(const QString& dir, int controls)
{
    bool ok = writeStrip(dir + "/knob.png", {48, 48}, 64) && writeStrip(dir + "/fader-back.png", {40, 120}, 1)
              && writeStrip(dir + "/fader-thumb.png", {40, 20}, 2) && writeStrip(dir + "/button.png", {32, 32}, 4)
              && writeStrip(dir + "/radio.png", {24, 24}, 3) && writeStrip(dir + "/lamp.png", {16, 16}, 2)
              && writeStrip(dir + "/lamp-cell.png", {16, 16}, 1) && writeStrip(dir + "/label.png", {60, 16}, 1)
              && writeStrip(dir + "/switcher.png", {64, 32}, 4) && writeStrip(dir + "/switcher-cell.png", {64, 32}, 1);
    for (bool orvel : {true, false}) {
        QFile f(dir + (orvel ? "/orvel.ui" : "/qt.ui"));
        ok = ok && f.open(QIODevice::WriteOnly) && f.write(form(orvel, controls, dir)) > 0;
    }
    return ok;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// ---- one measured run, in its own process ----

int runOnce(const QString& dir, bool orvel, int controls)
{
    TReferenceMemory_Orvel memory;
    for (int n = 0; n < 1000 || n < controls; ++n) {
        TParameterSpec_Orvel p;
        p.name = QStringLiteral("par.%1").arg(n);
        p.low = qint16(n % 2048);
        p.mid = qint16(n / 2048);
        p.maximum = 127;
        p.value = (n * 37) % 128;
        memory.addParameter(p);
    }
    QCoreApplication::processEvents();

    const long rssBefore = peakRssKb();
    const size_t heapBefore = heapInUse();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QWidget> panel;
    int bound = -1;
    {
        std::unique_ptr<QUiLoader> loader(orvel ? new OrvelUiLoader(&memory) : new QUiLoader);
        QFile file(dir + (orvel ? "/orvel.ui" : "/qt.ui"));
        if (file.open(QIODevice::ReadOnly)) {
            if (orvel) {
                auto* o = static_cast<OrvelUiLoader*>(loader.get());
                panel.reset(o->load(&file));
                bound = o->boundControlCount();
            } else {
                panel.reset(loader->load(&file));
            }
        }
    }
    const qint64 loadNs = timer.nsecsElapsed();
    if (!panel) {
        std::fprintf(stderr, "bench_panel: the form did not load\n");
        return 1;
    }
    // The form's first paint event starts the window's first sync, which paints every child
    // before processEvents() returns.
    PaintCounter watch;
    panel->installEventFilter(&watch);
    panel->show();
    QElapsedTimer limit;
    limit.start();
    while (watch.paints == 0 && limit.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    const qint64 totalNs = timer.nsecsElapsed();
    const long rssPeak = peakRssKb();
    const size_t heapAfter = heapInUse();

    // What was measured (untimed).
    check(watch.paints > 0, "the panel painted");
    const auto children = panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    check(children.size() == controls, "every control of the form was created");
    if (orvel) {
        check(bound == boundCount(controls), "every control with an address was bound");
        const auto knobs = panel->findChildren<CDial_Orvel*>();
        bool values = !knobs.isEmpty(), shared = !knobs.isEmpty();
        for (CDial_Orvel* knob : knobs) {
            TParamAddress a;
            values = values && memory.resolveAddress(knob->namedAddress(), a)
                     && knob->value() == memory.value(a.high, a.mid, a.low);
            shared = shared && knob->combinedImage().cacheKey() == knobs.first()->combinedImage().cacheKey();
        }
        check(values, "every knob shows its parameter's value");
        check(shared, "every knob uses the same strip pixmap");
    }
    std::printf("result %lld %lld %ld %ld %lld\n", static_cast<long long>(loadNs), static_cast<long long>(totalNs),
                rssBefore, rssPeak, static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore));
    std::fflush(stdout);
    panel.reset();
    return checksExitCode();
}

struct Run
{
    double loadMs = 0, totalMs = 0, rssMb = 0, rssGrowthMb = 0, heapMb = 0;
};

bool spawn(const QString& dir, bool orvel, int controls, Run* run)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--run-form"), dir, QLatin1String(orvel ? "orvel" : "qt"), QString::number(controls)});
    if (!child.waitForFinished(300000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "bench_panel: the %s run failed (exit code %d)\n", orvel ? "orvelkit" : "Qt",
                     child.exitCode());
        return false;
    }
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 6 && f[0] == "result") {
            run->loadMs = f[1].toDouble() / 1e6;
            run->totalMs = f[2].toDouble() / 1e6;
            run->rssMb = f[4].toDouble() / 1024.0;
            run->rssGrowthMb = (f[4].toDouble() - f[3].toDouble()) / 1024.0;
            run->heapMb = f[5].toDouble() / (1024.0 * 1024.0);
            return true;
        }
    }
    std::fprintf(stderr, "bench_panel: the %s run printed no result\n", orvel ? "orvelkit" : "Qt");
    return false;
}

Result summary(const QString& label, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {label, 0, 0, 0};
    const size_t m = v.size();
    const double median = m % 2 ? v[m / 2] : (v[m / 2 - 1] + v[m / 2]) / 2.0;
    return {label, median, v.front(), v.back()};
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 4 && args.first() == QLatin1String("--run-form"))
        return runOnce(args.at(1), args.at(2) == QLatin1String("orvel"), args.at(3).toInt());
    // For profiling one run by hand: --write-forms DIR N writes the strips and both forms of N
    // controls into DIR, then `--run-form DIR orvel|qt N` measures one of them.
    if (args.size() == 3 && args.first() == QLatin1String("--write-forms"))
        return QDir().mkpath(args.at(1)) && writeFiles(args.at(1), args.at(2).toInt()) ? 0 : 1;

    Options options;
    int exitCode = 0;
    if (!parseOptions(args, options, &exitCode))
        return exitCode;
    const int controls = options.smoke ? 60 : int(options.iterations > 0 ? options.iterations : 1000);
    const int rounds = options.rounds;

    QTemporaryDir dir;
    check(dir.isValid() && writeFiles(dir.path(), controls), "the strips and forms were written");
    if (checksExitCode() != 0)
        return 1;

    // Untimed warm-up of both (file cache, font cache), then interleaved rounds.
    std::vector<Run> runs[2];
    int failed = 0;
    Run scratch;
    if (!options.smoke)
        for (bool orvel : {true, false})
            failed += spawn(dir.path(), orvel, controls, &scratch) ? 0 : 1;
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < 2; ++k) {
            const bool orvel = (k + round) % 2 == 0;
            Run run;
            if (spawn(dir.path(), orvel, controls, &run))
                runs[orvel ? 0 : 1].push_back(run);
            else
                ++failed;
        }
    }
    check(failed == 0, "every run loaded and painted its form and passed its checks");
    if (runs[0].empty() || runs[1].empty())
        return checksExitCode();

    const auto column = [&](int variant, double Run::*field) {
        std::vector<double> v;
        for (const Run& r : runs[variant])
            v.push_back(r.*field);
        return v;
    };
    const QString a = QStringLiteral("a  orvelkit form, OrvelUiLoader + binding");
    const QString b = QStringLiteral("b  Qt widgets form, QUiLoader (reference)");
    const QString note = QStringLiteral("%1 controls (%2 bound), one fresh process per run, median of %3 rounds")
                             .arg(controls).arg(boundCount(controls)).arg(rounds);

    Table time(QStringLiteral("Open a panel of %1 controls: load, bind, show, first paint").arg(controls), note);
    time.setValueHeader(QStringLiteral("ms (median)"));
    const Result ta = summary(a + QStringLiteral(": total"), column(0, &Run::totalMs));
    const Result tb = summary(b + QStringLiteral(": total"), column(1, &Run::totalMs));
    const Result la = summary(a + QStringLiteral(": load and bind"), column(0, &Run::loadMs));
    const Result lb = summary(b + QStringLiteral(": load"), column(1, &Run::loadMs));
    for (const Result& r : {ta, tb, la, lb})
        time.addResult(r);
    time.addRatio(QStringLiteral("a / b  total (target: 1.50 or less)"), ta.median / tb.median);
    time.addRatio(QStringLiteral("a / b  load"), la.median / lb.median);
    time.addRatio(QStringLiteral("a / b  show and first paint"),
                  (ta.median - la.median) / std::max(1e-9, tb.median - lb.median));

    Table memory(QStringLiteral("Memory of a panel of %1 controls").arg(controls), note);
    memory.setValueHeader(QStringLiteral("MiB (median)"));
    const Result ga = summary(a + QStringLiteral(": peak RSS growth"), column(0, &Run::rssGrowthMb));
    const Result gb = summary(b + QStringLiteral(": peak RSS growth"), column(1, &Run::rssGrowthMb));
    const Result pa = summary(a + QStringLiteral(": peak RSS of the process"), column(0, &Run::rssMb));
    const Result pb = summary(b + QStringLiteral(": peak RSS of the process"), column(1, &Run::rssMb));
    const Result ha = summary(a + QStringLiteral(": heap in use after the paint"), column(0, &Run::heapMb));
    const Result hb = summary(b + QStringLiteral(": heap in use after the paint"), column(1, &Run::heapMb));
    for (const Result& r : {ga, gb, pa, pb, ha, hb})
        memory.addResult(r);
    memory.addRatio(QStringLiteral("a / b  peak RSS growth (target: 1.50 or less)"), ga.median / gb.median);
    memory.addRatio(QStringLiteral("a / b  peak RSS of the process"), pa.median / pb.median);
    memory.addRatio(QStringLiteral("a / b  heap in use"), ha.median / hb.median);
    time.print(options.markdown);
    memory.print(options.markdown);
    return checksExitCode();
}

// bench_memory: the heap a control of each kind takes, beside Qt's nearest widget, in one run.
//
// For every kind, a batch creates N controls under a fresh window the way a form does (created
// by class name from the control catalogue, properties set by name), binds the bound kinds to a
// reference memory and refreshes them once (as OrvelUiLoader does), shows the window and waits
// for its first paint, so that what a control builds when it is shown or painted (faces, cut
// images, text layouts) is counted. The growth of the heap in use (mallinfo2: allocated bytes
// plus mmapped blocks), less that of the same window without controls, divided by N, is the
// size of one control. Every control of a kind uses the same strip QPixmap, made once before
// the batches, so strips are not counted. The reference batch makes N of Qt's nearest widget
// with equivalent settings. Batches are interleaved round by round; medians are reported.
//
// On/off buttons are weighed twice: each with its own record (no cache server) and sharing one
// record under a TCacheServer window; bench_buttons measures the same sharing, and its time,
// on 1,000 buttons.

#include "benchsupport.h"

#include <orvelkit/binding/memproxy.h>
#include <orvelkit/binding/services.h>
#include <orvelkit/buttons/conoffbutton.h>
#include <orvelkit/designer/controls.h>
#include <orvelkit/memory/referencememory.h>

#include <QApplication>
#include <QComboBox>
#include <QDial>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextStream>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <vector>

using namespace OrvelBench;

namespace {

constexpr QSize kWindow(1200, 900);

class ServerWindow : public QWidget, public TCacheServer
{
};

size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

QPixmap strip(QSize cell, int rows)
{
    QImage image(cell.width(), cell.height() * rows, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    for (int r = 0; r < rows; ++r)
        p.fillRect(QRect(0, r * cell.height(), cell.width(), cell.height()).adjusted(1, 1, -1, -1),
                   QColor::fromHsv((r * 47) % 360, 160, 200));
    p.end();
    return QPixmap::fromImage(image);
}

using Properties = std::vector<std::pair<const char*, QVariant>>;

// One kind: the catalogue class with its properties (a pixmap property gets the kind's shared
// strip), and the reference widget.
struct Kind
{
    QString label;
    QString className;
    QSize size;
    Properties properties;
    bool bound;
    bool shareRecords; // on/off buttons under a cache server, all of one name
    QString qtLabel;
    std::function<QWidget*(QWidget* parent)> makeQt;
    std::vector<double> bytes, qtBytes;
};

// Shows the window and waits for its first paint (which paints every child).
bool showAndPaint(QWidget& window)
{
    PaintCounter watch;
    window.installEventFilter(&watch);
    window.show();
    for (int i = 0; i < 100000 && watch.paints == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    window.removeEventFilter(&watch);
    return watch.paints > 0;
}

// Places widget n of a batch on a grid that fits the window.
void place(QWidget* w, int n, QSize size)
{
    const int columns = std::max(1, kWindow.width() / (size.width() + 2));
    const int rows = std::max(1, kWindow.height() / (size.height() + 2));
    const int cell = n % (columns * rows); // large kinds overlap once the window is full
    w->setGeometry((cell % columns) * (size.width() + 2), (cell / columns) * (size.height() + 2), size.width(),
                   size.height());
}

// The heap growth of one batch: `make(window, n)` creates widget n.
double weigh(const std::function<QWidget*()>& window, int count,
             const std::function<QWidget*(QWidget* parent, int n)>& make,
             const std::function<void(QWidget* window)>& after = {})
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const size_t before = heapInUse();
    std::unique_ptr<QWidget> w(window());
    w->resize(kWindow);
    for (int n = 0; n < count; ++n)
        make(w.get(), n);
    if (after)
        after(w.get());
    check(showAndPaint(*w), "the window painted");
    const double grown = double(heapInUse()) - double(before);
    w.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return grown;
}

// Whether the allocator reports through mallinfo2 (AddressSanitizer's does not: it reads 0).
bool heapIsCounted()
{
    return heapInUse() > 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return 0;
    const size_t m = v.size();
    return m % 2 ? v[m / 2] : (v[m / 2 - 1] + v[m / 2]) / 2.0;
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Options options;
    if (!app.readOptions(options))
        return app.exitCode();
    const int count = int(options.count(200));
    const int rounds = options.rounds;

    TReferenceMemory_Orvel memory;
    for (int n = 0; n < count; ++n) {
        TParameterSpec_Orvel p;
        p.name = QStringLiteral("par.%1").arg(n);
        p.low = qint16(n);
        p.value = (n * 37) % 128;
        memory.addParameter(p);
    }

    const QPixmap knob = strip({48, 48}, 64), faderBack = strip({40, 120}, 1), thumb = strip({40, 20}, 2),
                  button = strip({32, 32}, 4), radio = strip({24, 24}, 3), switcher = strip({64, 32}, 4),
                  label = strip({60, 16}, 1), lamp = strip({16, 16}, 2), lampCell = strip({16, 16}, 1),
                  switcherCell = strip({64, 32}, 1);
    const auto qtLabelPixmap = [](const QPixmap& p) {
        return [p](QWidget* parent) {
            auto* l = new QLabel(parent);
            l->setPixmap(p);
            return l;
        };
    };
    const QString items = QStringLiteral("Saw;Square;Triangle;Noise");
    std::vector<Kind> kinds{
        {"knob", "CDial", {48, 48}, {{"combinedImage", knob}, {"nSubImages", 64}}, true, false, "QDial",
         [](QWidget* p) { auto* d = new QDial(p); d->setMaximum(127); return d; }, {}, {}},
        {"fader", "CFader", {40, 120}, {{"pixmap", faderBack}, {"thumbImage", thumb}, {"nSubImages", 2}}, true, false,
         "QSlider, vertical",
         [](QWidget* p) { auto* s = new QSlider(Qt::Vertical, p); s->setMaximum(127); return s; }, {}, {}},
        {"on/off button, own record", "COnOffButton", {32, 32}, {{"nSubImages", 4}, {"combinedImage", button}}, true,
         false, "QPushButton, checkable",
         [](QWidget* p) { auto* b = new QPushButton(p); b->setCheckable(true); return b; }, {}, {}},
        {"on/off button, shared record", "COnOffButton", {32, 32}, {{"nSubImages", 4}, {"combinedImage", button}}, true,
         true, "QPushButton, checkable",
         [](QWidget* p) { auto* b = new QPushButton(p); b->setCheckable(true); return b; }, {}, {}},
        {"radio button", "CRadioButton", {24, 24}, {{"combinedImage", radio}, {"nSubImages", 3}, {"onValue", 1}}, true,
         false, "QRadioButton", [](QWidget* p) { return new QRadioButton(p); }, {}, {}},
        {"text slider", "CTextSlider", {48, 18}, {}, true, false, "QSpinBox",
         [](QWidget* p) { auto* s = new QSpinBox(p); s->setMaximum(127); return s; }, {}, {}},
        {"pull-down menu", "CPullDownMenu", {100, 20}, {{"menuItemList", items}}, true, false, "QComboBox",
         [items](QWidget* p) { auto* c = new QComboBox(p); c->addItems(items.split(';')); return c; }, {}, {}},
        {"popup selector", "CPopup", {60, 18}, {{"labels", QStringLiteral("Off;Low;Mid;High")}}, true, false,
         "QPushButton", [](QWidget* p) { return new QPushButton(QStringLiteral("Off"), p); }, {}, {}},
        {"lamp (state display)", "StateDisplayWidget", {16, 16}, {{"combinedImage", lamp}, {"nSubImages", 2}}, true,
         false, "QLabel, pixmap", qtLabelPixmap(lampCell), {}, {}},
        {"value label", "CLabelDisplay", {60, 16}, {{"combinedImage", label}, {"nSubImages", 1}, {"text", "64"}},
         false, false, "QLabel, text", [](QWidget* p) { return new QLabel(QStringLiteral("64"), p); }, {}, {}},
        {"hotspot label", "CHotspotLabel", {60, 16}, {{"text", "64"}}, false, false, "QLabel, text",
         [](QWidget* p) { return new QLabel(QStringLiteral("64"), p); }, {}, {}},
        {"name editor", "CNameEditor", {100, 20}, {{"text", "Patch"}}, false, false, "QLineEdit",
         [](QWidget* p) { return new QLineEdit(QStringLiteral("Patch"), p); }, {}, {}},
        {"pixmap switcher", "CPixmapSwitcher", {64, 32}, {{"combinedImage", switcher}, {"nSubImages", 4}}, false,
         false, "QLabel, pixmap", qtLabelPixmap(switcherCell), {}, {}},
    };

    const auto plainWindow = [] { return new QWidget; };
    std::vector<double> emptyWindow;
    const auto orvelBatch = [&](Kind& k) {
        const auto make = [&k](QWidget* parent, int n) {
            QWidget* w = OrvelControls::create(k.className, parent,
                                               k.shareRecords ? QStringLiteral("bench-button")
                                                              : QStringLiteral("control%1").arg(n));
            place(w, n, k.size); // geometry first, as a form sets it
            for (const auto& [name, value] : k.properties)
                w->setProperty(name, value);
            if (k.bound)
                w->setProperty("namedAddress", QStringLiteral("par.%1").arg(n));
            return w;
        };
        const auto bind = [&k, &memory](QWidget* window) {
            if (!k.bound)
                return;
            const int bound = bindMemAPI(window, &memory);
            check(bound == window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).size(),
                  "every control of a bound kind was bound");
            for (QObject* child : window->children())
                if (TMemProxy_Orvel* proxy = memProxyOf(child))
                    proxy->process(nullptr, 0, 0);
        };
        const std::function<QWidget*()> window = k.shareRecords ? std::function<QWidget*()>([] { return new ServerWindow; })
                                                                : std::function<QWidget*()>(plainWindow);
        return weigh(window, count, make, bind);
    };
    const auto qtBatch = [&](Kind& k) {
        return weigh(plainWindow, count, [&k](QWidget* parent, int n) {
            QWidget* w = k.makeQt(parent);
            place(w, n, k.size);
            return w;
        });
    };

    // Set-up checks, untimed: the controls exist, share the strip and (on/off) the record.
    {
        for (const Kind& k : kinds)
            check(OrvelControls::find(k.className) != nullptr, "every kind is in the control catalogue");
        ServerWindow window;
        QWidget* dial = OrvelControls::create("CDial", &window, "knob");
        dial->setProperty("combinedImage", knob);
        dial->ensurePolished();
        check(dial->property("combinedImage").value<QPixmap>().cacheKey() == knob.cacheKey(),
              "a knob keeps the shared strip (no copy)");
        for (int n = 0; n < 3; ++n) {
            auto* b = qobject_cast<COnOffButton_Orvel*>(OrvelControls::create("COnOffButton", &window, "bench-button"));
            b->setnSubImages(4);
            b->setCombinedImage(button);
            b->ensurePolished();
            check(b->record()->useCount == n + 1, "buttons of one name under a cache server share one record");
        }
    }

    // Warm-up, then interleaved rounds (the order of the batches rotates).
    for (Kind& k : kinds) {
        orvelBatch(k);
        qtBatch(k);
    }
    weigh(plainWindow, 0, {});
    const int batches = int(kinds.size()) * 2 + 1;
    for (int round = 0; round < rounds; ++round) {
        for (int b = 0; b < batches; ++b) {
            const int i = (b + round) % batches;
            if (i == batches - 1)
                emptyWindow.push_back(weigh(plainWindow, 0, {}));
            else if (i % 2 == 0)
                kinds[size_t(i / 2)].bytes.push_back(orvelBatch(kinds[size_t(i / 2)]));
            else
                kinds[size_t(i / 2)].qtBytes.push_back(qtBatch(kinds[size_t(i / 2)]));
        }
    }

    const double window = median(emptyWindow);
    const auto perControl = [&](const std::vector<double>& v) { return (median(v) - window) / count; };
    QTextStream out(stdout);
    const QString title = QStringLiteral("Heap per control, %1 controls a batch, median of %2 rounds").arg(count).arg(rounds);
    const QString note = QStringLiteral("heap growth (mallinfo2) after binding, showing and the first paint, less the "
                                        "same window without controls (%1 bytes), divided by %2; strips shared, not "
                                        "counted")
                             .arg(window, 0, 'f', 0)
                             .arg(count);
    if (options.markdown)
        out << "### " << title << "\n\n" << note << "\n\n"
            << "| kind | bytes per control | Qt's nearest widget | bytes per widget | ratio |\n"
            << "|---|---:|---|---:|---:|\n";
    else
        out << title << "\n  " << note << "\n";
    for (const Kind& k : kinds) {
        const double a = perControl(k.bytes), q = perControl(k.qtBytes);
        const QString name = QStringLiteral("%1 (%2)").arg(k.label, k.className);
        if (options.markdown)
            out << "| " << name << " | " << QString::number(a, 'f', 0) << " | " << k.qtLabel << " | "
                << QString::number(q, 'f', 0) << " | " << QString::number(a / q, 'f', 2) << " |\n";
        else
            out << "  " << name.leftJustified(48) << QString::number(a, 'f', 0).rightJustified(9) << "  "
                << k.qtLabel.leftJustified(24) << QString::number(q, 'f', 0).rightJustified(9) << "  "
                << QString::number(a / q, 'f', 2) << "x\n";
    }
    const double own = perControl(kinds[2].bytes), shared = perControl(kinds[3].bytes);
    if (options.markdown)
        out << "\nOn/off buttons: a shared record saves " << QString::number(own - shared, 'f', 0)
            << " bytes per button (shared / own " << QString::number(shared / own, 'f', 2) << ").\n\n";
    else
        out << "  on/off buttons, shared record saves " << QString::number(own - shared, 'f', 0)
            << " bytes per button (shared / own " << QString::number(shared / own, 'f', 2) << "x)\n\n";
    if (!heapIsCounted())
        out << (options.markdown ? "" : "  ")
            << "The allocator does not report the heap (mallinfo2), as under AddressSanitizer: every figure above is 0.\n\n";
    out.flush();
    check(!heapIsCounted() || shared < own, "a shared record makes an on/off button lighter");
    return checksExitCode();
}

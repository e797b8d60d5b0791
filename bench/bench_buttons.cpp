// bench_buttons: what it costs to create and polish on/off buttons, with and without sharing
// their cut images through a cache server, timed and weighed beside a reference in the same run.
//
// a  1,000 on/off buttons with one object name under a TCacheServer window: the first cuts the
//    strip, the other 999 adopt its record (one set of images for all).
// b  the same 1,000 buttons under a plain window: each keeps its own record and cuts the strip.
// c  reference: 1,000 checkable QPushButtons under a plain window, polished the same way.
//
// Each batch creates its buttons under a fresh window, polishes them (ensurePolished: the
// Polish event, the cache look-up, the cut and the first face) and is then destroyed untimed.
// The heap in use (mallinfo2) is read before the window is destroyed. Batches are interleaved
// round by round; the tables report medians and ratios (see docs/performance.md).

#include "benchsupport.h"

#include <orvelkit/binding/services.h>
#include <orvelkit/buttons/conoffbutton.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <vector>

using namespace OrvelBench;

namespace {

constexpr int kCell = 32;

class ServerWindow : public QWidget, public TCacheServer
{
};

// One column of four cells (on, off, tracking, disabled), opaque.
QPixmap makeButtonStrip()
{
    QImage image(kCell, 4 * kCell, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    const QColor colours[4] = {QColor(230, 120, 30), QColor(60, 60, 70), QColor(250, 200, 90), QColor(120, 120, 120)};
    for (int r = 0; r < 4; ++r)
        p.fillRect(0, r * kCell, kCell, kCell, colours[r]);
    p.end();
    return QPixmap::fromImage(image);
}

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

struct Batch
{
    QString label;
    std::function<std::unique_ptr<QWidget>(int count)> build; // creates and polishes
    std::vector<double> nsPerButton;
    std::vector<double> bytesPerButton;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Options options;
    if (!app.readOptions(options))
        return app.exitCode();
    const int count = int(options.count(1000));
    const int rounds = options.smoke ? 2 : options.rounds;
    const QPixmap strip = makeButtonStrip();

    const auto onOffButtons = [&strip](QWidget* window, int n) {
        for (int i = 0; i < n; ++i) {
            auto* b = new COnOffButton_Orvel(window, "bench-button");
            b->setnSubImages(4);
            b->setCombinedImage(strip);
            b->ensurePolished();
        }
    };
    std::vector<Batch> batches{
        {QStringLiteral("a  on/off buttons sharing one record (cache server)"),
         [&](int n) {
             std::unique_ptr<QWidget> w(new ServerWindow);
             onOffButtons(w.get(), n);
             return w;
         }, {}, {}},
        {QStringLiteral("b  on/off buttons, each its own record"),
         [&](int n) {
             auto w = std::make_unique<QWidget>();
             onOffButtons(w.get(), n);
             return w;
         }, {}, {}},
        {QStringLiteral("c  checkable QPushButton (reference)"),
         [](int n) {
             auto w = std::make_unique<QWidget>();
             for (int i = 0; i < n; ++i) {
                 auto* b = new QPushButton(w.get());
                 b->setCheckable(true);
                 b->ensurePolished();
             }
             return w;
         }, {}, {}},
    };

    // Warm-up, then interleaved rounds (the order rotates).
    for (Batch& b : batches)
        b.build(count).reset();
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < batches.size(); ++k) {
            Batch& b = batches[(k + size_t(round)) % batches.size()];
            QCoreApplication::processEvents();
            const size_t before = heapInUse();
            QElapsedTimer timer;
            timer.start();
            std::unique_ptr<QWidget> window = b.build(count);
            const qint64 ns = timer.nsecsElapsed();
            const size_t after = heapInUse();
            b.nsPerButton.push_back(double(ns) / count);
            b.bytesPerButton.push_back((double(after) - double(before)) / count);

            // What each batch is made of (checked untimed).
            const auto buttons = window->findChildren<COnOffButton_Orvel*>();
            if (&b == &batches[0]) {
                check(!buttons.isEmpty() && buttons.first()->record()->useCount == count,
                      "every button shares the first one's record");
                check(buttons.last()->size() == QSize(kCell, kCell), "a sharing button takes the cell size");
            } else if (&b == &batches[1]) {
                check(buttons.size() == count && !buttons.first()->recordFromCache()
                          && buttons.first()->record() != buttons.last()->record(),
                      "without a server every button keeps its own record");
                check(!buttons.last()->record()->images[3].isNull(), "each button cut its images");
            }
            window.reset();
        }
    }

    Table time(QStringLiteral("Create and polish %1 buttons, time per button, median of %2 rounds")
                   .arg(count).arg(rounds),
               QStringLiteral("one 32x32 cell a row, four rows; window destroyed untimed"));
    time.setValueHeader(QStringLiteral("ns per button (median)"));
    Table heap(QStringLiteral("Heap in use per button after polishing %1 buttons, median of %2 rounds")
                   .arg(count).arg(rounds),
               QStringLiteral("mallinfo2 uordblks, bytes per button"));
    heap.setValueHeader(QStringLiteral("heap bytes per button (median)"));
    for (Batch& b : batches) {
        const auto [tmin, tmax] = std::minmax_element(b.nsPerButton.begin(), b.nsPerButton.end());
        time.addResult({b.label, median(b.nsPerButton), *tmin, *tmax});
        const auto [hmin, hmax] = std::minmax_element(b.bytesPerButton.begin(), b.bytesPerButton.end());
        heap.addResult({b.label, median(b.bytesPerButton), *hmin, *hmax});
    }
    const double ta = median(batches[0].nsPerButton), tb = median(batches[1].nsPerButton),
                 tc = median(batches[2].nsPerButton);
    const double ha = median(batches[0].bytesPerButton), hb = median(batches[1].bytesPerButton),
                 hc = median(batches[2].bytesPerButton);
    time.addRatio(QStringLiteral("a / b  shared vs own records"), ta / tb);
    time.addRatio(QStringLiteral("a / c  shared vs QPushButton"), ta / tc);
    time.addRatio(QStringLiteral("b / c  own records vs QPushButton"), tb / tc);
    heap.addRatio(QStringLiteral("a / b  shared vs own records"), ha / hb);
    heap.addRatio(QStringLiteral("a / c  shared vs QPushButton"), ha / hc);
    heap.addRatio(QStringLiteral("b / c  own records vs QPushButton"), hb / hc);
    time.print(options.markdown);
    heap.print(options.markdown);

    return checksExitCode();
}

// bench_fader: what a fader's thumb move and paint cost, beside references in the same run.
//
// Area: a thumb move (setValue, then the paint it schedules) repaints only the part of the old
// thumb that the new one uncovers and the new thumb. The painted area per move is counted from
// the paint events and set beside the whole fader, and beside Qt's QSlider, which repaints
// itself whole on every value change.
//
// Time: a move with its paint, a full repaint of the fader, and QSlider::setValue with its
// paint; then a synchronous repaint() of the fader beside the floor (a widget whose paintEvent
// is the two drawPixmap calls of the same background and thumb row), QSlider in the Fusion style
// and an empty widget (Qt's own part). All widgets are 40 x 200 children of one shown window.
// The tables report medians of interleaved rounds and ratios; see docs/performance.md.

#include "benchsupport.h"

#include <orvelkit/fader/cfader.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QSlider>
#include <QWidget>
#include <QWindow>

#include <cstdio>

using namespace OrvelBench;

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 200;
constexpr int kThumb = 20;

QPixmap makeBackground()
{
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(40, 44, 52));
    p.fillRect(kWidth / 2 - 2, 8, 4, kHeight - 16, QColor(15, 15, 18));
    for (int y = 10; y < kHeight; y += 10)
        p.fillRect(4, y, 8, 1, QColor(160, 160, 170));
    return QPixmap::fromImage(image);
}

// Two rows of 40 x 20: the normal thumb and the disabled one, half-transparent edges.
QPixmap makeThumb()
{
    QImage image(kWidth, 2 * kThumb, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(210, 210, 220));
    p.drawRoundedRect(QRectF(2, 2, kWidth - 4, kThumb - 4), 4, 4);
    p.setBrush(QColor(120, 120, 125));
    p.drawRoundedRect(QRectF(2, kThumb + 2, kWidth - 4, kThumb - 4), 4, 4);
    return QPixmap::fromImage(image);
}

// The floor: background and thumb row drawn with two drawPixmap calls, nothing else.
class FloorWidget : public QWidget
{
public:
    FloorWidget(const QPixmap& background, const QPixmap& thumb, QWidget* parent)
        : QWidget(parent), m_background(background), m_thumb(thumb)
    {
        setFixedSize(kWidth, kHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawPixmap(QPoint(0, 0), m_background);
        p.drawPixmap(QPoint(0, 90), m_thumb, QRect(0, 0, kWidth, kThumb));
    }

private:
    QPixmap m_background;
    QPixmap m_thumb;
};

// Sums the painted area of every paint event; installed only for the counts, never while timing.
class AreaCounter : public QObject
{
public:
    qint64 paints = 0;
    qint64 pixels = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            ++paints;
            for (const QRect& r : static_cast<QPaintEvent*>(e)->region())
                pixels += qint64(r.width()) * r.height();
        }
        return false;
    }
};

// The value of the k-th move: 64 of 1024 steps, about 11 pixels, so that the old and the new
// thumb overlap as in a drag.
int moveValue(qint64 k)
{
    return int((k * 64) % 1024);
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Options options;
    if (!app.readOptions(options))
        return app.exitCode();

    const QPixmap background = makeBackground();
    const QPixmap thumb = makeThumb();
    QWidget host;
    host.resize(5 * kWidth, kHeight);

    CFader_Orvel fader(&host);
    fader.setPixmap(background);
    fader.setThumbImage(thumb);
    fader.setnSubImages(2);
    fader.setGeometry(0, 0, kWidth, kHeight);

    FloorWidget floor(background, thumb, &host);
    floor.move(kWidth, 0);

    QSlider slider(Qt::Vertical, &host);
    slider.setRange(0, 1023);
    slider.setGeometry(2 * kWidth, 0, kWidth, kHeight);

    QWidget empty(&host);
    empty.setGeometry(3 * kWidth, 0, kWidth, kHeight);

    host.show();
    check(waitExposed(host), "the window is exposed");
    const auto flush = [] { QCoreApplication::processEvents(); };
    flush();

    // ---- painted area per move (counted, not timed) ----
    const qint64 areaMoves = options.smoke ? 20 : 1024;
    AreaCounter faderArea, sliderArea;
    fader.installEventFilter(&faderArea);
    slider.installEventFilter(&sliderArea);
    for (qint64 k = 1; k <= areaMoves; ++k) {
        fader.setValue(moveValue(k));
        slider.setValue(moveValue(k));
        flush();
    }
    fader.removeEventFilter(&faderArea);
    slider.removeEventFilter(&sliderArea);
    const double fullArea = double(kWidth) * kHeight;
    const double faderPerMove = double(faderArea.pixels) / double(areaMoves);
    const double sliderPerMove = double(sliderArea.pixels) / double(areaMoves);
    check(faderArea.paints == areaMoves, "one fader paint per move");
    check(faderPerMove < fullArea / 2, "a fader move repaints less than half the fader");
    check(faderPerMove <= 2.0 * kWidth * kThumb, "a fader move repaints at most the two thumbs");

    std::printf(options.markdown ? "### Area painted per thumb move\n\n%lld moves of 64 values (about 11 px), counted "
                                   "from the paint events' regions.\n"
                                 : "\nFader: area painted per thumb move (%lld moves of 64 values, about 11 px)\n",
                static_cast<long long>(areaMoves));
    std::printf(options.markdown ? "\n| widget | paints per move | pixels per move | share of the widget |\n|---|---:|---:|---:|\n"
                                 : "  widget                      paints/move  pixels/move  share\n");
    const auto areaRow = [&](const char* label, const AreaCounter& c, double perMove) {
        std::printf(options.markdown ? "| %s | %.2f | %.0f | %.1f %% |\n" : "  %-27s %11.2f %12.0f %5.1f %%\n", label,
                    double(c.paints) / double(areaMoves), perMove, 100.0 * perMove / fullArea);
    };
    areaRow("fader", faderArea, faderPerMove);
    areaRow("QSlider, Fusion", sliderArea, sliderPerMove);
    if (options.markdown)
        std::printf("| whole widget | | %.0f | 100.0 %% |\n\n", fullArea);
    else
        std::printf("  %-27s %11s %12.0f 100.0 %%\n", "whole widget", "", fullArea);

    // ---- time of a move and of a paint ----
    qint64 faderNext = 0, sliderNext = 0;
    const qint64 moveN = options.count(5000);
    const std::vector<Variant> moveVariants{
        {QStringLiteral("a  fader: setValue + its paint (the two thumbs)"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 fader.setValue(moveValue(++faderNext));
                 flush();
             }
         }},
        {QStringLiteral("b  fader: update() of the whole fader + paint"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 fader.update();
                 flush();
             }
         }},
        {QStringLiteral("c  QSlider: setValue + its paint"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 slider.setValue(moveValue(++sliderNext));
                 flush();
             }
         }},
        {QStringLiteral("d  fader: updateErasePixmap() alone (the face)"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i)
                 fader.updateErasePixmap(nullptr);
         }},
        {QStringLiteral("e  empty widget: update() + paint (Qt's part)"),
         [&](qint64 n) {
             for (qint64 i = 0; i < n; ++i) {
                 empty.update();
                 flush();
             }
         }},
    };
    const std::vector<Result> moves = measure(moveVariants, moveN, options.rounds, flush);
    Table moveTable(QStringLiteral("Fader move: 40x200, median of %1 rounds x %2").arg(options.rounds).arg(moveN),
                    QStringLiteral("each operation includes the paint it schedules (processEvents)"));
    for (const Result& r : moves)
        moveTable.addResult(r);
    moveTable.addRatio(QStringLiteral("a / b  thumb move vs whole-fader repaint"), moves[0].median / moves[1].median);
    moveTable.addRatio(QStringLiteral("c / a  QSlider move vs fader move"), moves[2].median / moves[0].median);
    moveTable.addRatio(QStringLiteral("(a - e) / (b - e)  beyond Qt's part"),
                       (moves[0].median - moves[4].median) / (moves[1].median - moves[4].median));
    moveTable.addRatio(QStringLiteral("d / a  share of the face in a move"), moves[3].median / moves[0].median);
    moveTable.print(options.markdown);

    fader.setValue(512);
    flush();
    check(fader.sliderRect().top() == 90, "the fader thumb sits where the floor draws it");
    check(fader.grab().toImage() == floor.grab().toImage(), "fader and floor draw the same pixels");

    const qint64 paintN = options.count(20000);
    const auto repaints = [](QWidget& w) {
        return [&w](qint64 n) {
            for (qint64 i = 0; i < n; ++i)
                w.repaint();
        };
    };
    const std::vector<Variant> paintVariants{
        {QStringLiteral("a  fader: repaint()"), repaints(fader)},
        {QStringLiteral("b  floor: drawPixmap of background and thumb"), repaints(floor)},
        {QStringLiteral("c  QSlider, Fusion: repaint()"), repaints(slider)},
        {QStringLiteral("e  empty widget: repaint() (Qt's part)"), repaints(empty)},
    };
    const std::vector<Result> paints = measure(paintVariants, paintN, options.rounds, flush);
    Table paintTable(QStringLiteral("Fader repaint: 40x200, median of %1 rounds x %2").arg(options.rounds).arg(paintN),
                     QStringLiteral("synchronous repaint() of a shown child widget"));
    for (const Result& r : paints)
        paintTable.addResult(r);
    paintTable.addRatio(QStringLiteral("a / b  fader vs floor"), paints[0].median / paints[1].median);
    paintTable.addRatio(QStringLiteral("c / a  QSlider vs fader"), paints[2].median / paints[0].median);
    paintTable.addRatio(QStringLiteral("(a - e) / (b - e)  painting alone, fader vs floor"),
                        (paints[0].median - paints[3].median) / (paints[1].median - paints[3].median));
    paintTable.print(options.markdown);

    return checksExitCode();
}

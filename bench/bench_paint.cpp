// bench_paint: what painting costs for every control kind that draws from an image strip, side
// by side with the least the same pixels can cost and with Qt's own widget, in the same run.
//
// For each kind, at a typical size:
//   repaint        a synchronous repaint() of the shown control;
//   change + paint one value change through the control's own setter (setValue, setOn,
//                  setCurrentImage, setText, setSelection), then processEvents(), which runs the
//                  paint the change scheduled.
// Beside the control, in the same interleaved rounds:
//   floor          a minimal QWidget whose paintEvent draws the same pixels from the same strip
//                  (the same cells, the same text): the value index lives in an int member and a
//                  change calls update(). Before timing, grabs of the control and of the floor
//                  must be equal at several values, so the floor never draws less than the
//                  control shows.
//   Qt's widget    where Qt has one, drawn by the Fusion style: QDial, QSlider, a checkable
//                  QPushButton, QRadioButton, QLabel, QSpinBox, QComboBox, QLineEdit.
//   empty widget   a QWidget that paints nothing: Qt's own part of the operation, taken off the
//                  control and Qt's widget for the "drawing alone" ratio.
// The controls are not bound to a memory: what a memory write adds before the paint is measured
// by the refresh and storm benchmarks; here only the control's own work and its paint count.
// All widgets are children of one shown window, so every paint goes through the same backing
// store. Time is the GUI thread's CPU time (measureThreadCpu): on the offscreen platform the whole
// paint, up to the flush into the backing store, runs on that thread, and other processes on a
// loaded machine do not count. The tables report medians of interleaved rounds and ratios; see
// docs/performance.md.

#include "benchsupport.h"

#include <orvelkit/buttons/conoffbutton.h>
#include <orvelkit/buttons/cpixmapswitcher.h>
#include <orvelkit/buttons/cradiobutton.h>
#include <orvelkit/fader/cfader.h>
#include <orvelkit/knob/cdial.h>
#include <orvelkit/labels/chotspotlabel.h>
#include <orvelkit/labels/clabeldisplay.h>
#include <orvelkit/labels/cnameeditor.h>
#include <orvelkit/menu/cpulldownmenu.h>
#include <orvelkit/popup/cpopup.h>
#include <orvelkit/sliders/ctextslider.h>
#include <orvelkit/status/statedisplaywidget.h>

#include <QApplication>
#include <QComboBox>
#include <QDial>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTextStream>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace OrvelBench;

namespace {

// The floor: the value index in a member, update() when it changes, and a paintEvent that is
// only the drawing it is given.
class FloorWidget : public QWidget
{
public:
    using Paint = std::function<void(QPainter&, int index)>;

    FloorWidget(const QSize& size, Paint paint, QWidget* parent)
        : QWidget(parent), m_paint(std::move(paint))
    {
        setFixedSize(size);
    }

    void setIndex(int index)
    {
        if (index == m_index)
            return;
        m_index = index;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        m_paint(p, m_index);
    }

private:
    Paint m_paint;
    int m_index = 0;
};

// A column of `rows` cells: rounded, shaded plates with antialiased (half-transparent) edges, a
// hue per row and the row's text where `texts` has one. With `opaque` the space around the
// plates is filled, so that every pixel is opaque.
QPixmap makeCellStrip(const QSize& cell, int rows, const QStringList& texts = {}, bool opaque = false)
{
    QImage image(cell.width(), cell.height() * rows, QImage::Format_ARGB32_Premultiplied);
    image.fill(opaque ? QColor(28, 30, 36) : QColor(Qt::transparent));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int r = 0; r < rows; ++r) {
        const QRectF plate(1.5, r * cell.height() + 1.5, cell.width() - 3, cell.height() - 3);
        const QColor hue = QColor::fromHsv((r * 47) % 360, 130, 210);
        QLinearGradient shade(plate.topLeft(), plate.bottomLeft());
        shade.setColorAt(0.0, hue.lighter(130));
        shade.setColorAt(1.0, hue.darker(170));
        p.setPen(QPen(QColor(10, 10, 12, 200), 1.0));
        p.setBrush(shade);
        p.drawRoundedRect(plate, 4, 4);
        if (r < texts.size()) {
            p.setPen(QColor(250, 250, 250));
            p.drawText(plate, Qt::AlignCenter, texts.at(r));
        }
    }
    p.end();
    return QPixmap::fromImage(image);
}

// The fader's background: a dark plate with a slot and tick marks.
QPixmap makeFaderBackground(const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(40, 44, 52));
    p.fillRect(size.width() / 2 - 2, 8, 4, size.height() - 16, QColor(15, 15, 18));
    for (int y = 10; y < size.height(); y += 10)
        p.fillRect(4, y, 8, 1, QColor(160, 160, 170));
    p.end();
    return QPixmap::fromImage(image);
}

QImage pixels(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The text of the text slider for a value (also the floor's texts).
bool sliderText(QString& text, int value)
{
    text = QString::number(value / 10.0, 'f', 1) + QStringLiteral(" dB");
    return true;
}

// One control kind: the control, its floor and Qt's widget (either may be missing), and how each
// shows the value of index i (0 <= i < period; consecutive indices always differ).
struct Kind
{
    QString name;
    QWidget* control = nullptr;
    std::function<void(int)> showControl;
    FloorWidget* floor = nullptr;
    QWidget* qt = nullptr;
    QString qtName;
    std::function<void(int)> showQt;
    int period = 2;
    // Which targets apply: the floor targets to every control with a floor; the "3x faster than
    // Qt's widget" target to the controls drawn from a strip.
    bool strip = true;
};

struct Measured
{
    const Kind* kind = nullptr;
    Result control;
    std::optional<Result> floor;
    std::optional<Result> qt;
    Result empty; // Qt's own part: the empty widget, timed in the same rounds
};

constexpr double kQtFactor = 3.0;

QString number(double v)
{
    return QString::number(v, 'f', v < 100 ? 1 : 0);
}

// A summary table: one row per kind, its ratios beside the targets.
void printSummary(const QString& title, const QString& note, const std::vector<Measured>& rows,
                  double floorTarget, bool markdown, int* missed)
{
    const QString floorHead = QStringLiteral("control ÷ floor (≤ %1)").arg(floorTarget, 0, 'f', 2);
    const QString qtHead = QStringLiteral("Qt ÷ control (≥ %1)").arg(kQtFactor, 0, 'f', 0);
    const QStringList head{QStringLiteral("control, size"), QStringLiteral("control ns (min–max)"),
                           QStringLiteral("floor ns"), floorHead, QStringLiteral("Qt's widget, Fusion"),
                           QStringLiteral("Qt ns"), qtHead, QStringLiteral("Qt ÷ floor"),
                           QStringLiteral("drawing alone: Qt ÷ control"), QStringLiteral("targets")};
    std::vector<QStringList> cells;
    for (const Measured& m : rows) {
        const Kind& k = *m.kind;
        QStringList c;
        c << k.name
          << number(m.control.median) + QStringLiteral(" (") + number(m.control.min) + QStringLiteral("–")
                 + number(m.control.max) + QStringLiteral(")");
        QStringList verdict;
        if (m.floor) {
            const double r = m.control.median / m.floor->median;
            c << number(m.floor->median) << QString::number(r, 'f', 2);
            if (r > floorTarget)
                verdict << QStringLiteral("floor missed");
        } else {
            c << QStringLiteral("–") << QStringLiteral("–");
        }
        if (m.qt) {
            const double r = m.qt->median / m.control.median;
            c << k.qtName << number(m.qt->median) << QString::number(r, 'f', 2);
            // Qt ÷ floor is the most any control drawing these pixels could reach: below the
            // factor, Qt's own share of a paint (the same for every widget) decides, not the
            // control's drawing.
            const double best = m.floor ? m.qt->median / m.floor->median : 0;
            c << (m.floor ? QString::number(best, 'f', 2) : QStringLiteral("–"));
            // Both with Qt's own share of the operation (the empty widget's figure) taken off.
            const double control = m.control.median - m.empty.median;
            const double qt = m.qt->median - m.empty.median;
            c << (control > 0 && qt > 0 ? QString::number(qt / control, 'f', 2) : QStringLiteral("–"));
            if (k.strip && r < kQtFactor)
                verdict << (m.floor && best < kQtFactor ? QStringLiteral("Qt: out of reach (floor too)")
                                                        : QStringLiteral("Qt missed"));
        } else {
            c << QStringLiteral("none") << QStringLiteral("–") << QStringLiteral("–") << QStringLiteral("–")
              << QStringLiteral("–");
        }
        const bool anyTarget = m.floor || (m.qt && k.strip);
        if (!verdict.isEmpty())
            *missed += 1;
        c << (verdict.isEmpty() ? (anyTarget ? QStringLiteral("met") : QStringLiteral("none"))
                                : verdict.join(QStringLiteral(", ")));
        cells.push_back(c);
    }

    QTextStream out(stdout);
    if (markdown) {
        out << "### " << title << "\n\n" << note << "\n\n| " << head.join(QStringLiteral(" | ")) << " |\n"
            << "|---|---:|---:|---:|---|---:|---:|---:|---:|---|\n";
        for (const QStringList& c : cells)
            out << "| " << c.join(QStringLiteral(" | ")) << " |\n";
        out << "\n";
    } else {
        std::vector<int> width(size_t(head.size()), 0);
        for (int i = 0; i < head.size(); ++i)
            width[size_t(i)] = int(head.at(i).size());
        for (const QStringList& c : cells)
            for (int i = 0; i < c.size(); ++i)
                width[size_t(i)] = std::max(width[size_t(i)], int(c.at(i).size()));
        const auto line = [&](const QStringList& c) {
            out << " ";
            for (int i = 0; i < c.size(); ++i) {
                const bool left = i == 0 || i == 4 || i == 9;
                out << " " << (left ? c.at(i).leftJustified(width[size_t(i)]) : c.at(i).rightJustified(width[size_t(i)]));
            }
            out << "\n";
        };
        out << title << "\n  " << note << "\n";
        line(head);
        for (const QStringList& c : cells)
            line(c);
        out << "\n";
    }
    out.flush();
}

// The median of the empty widget's figures over the rows.
double medianOf(const std::vector<Measured>& rows)
{
    std::vector<double> v;
    for (const Measured& m : rows)
        v.push_back(m.empty.median);
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Options options;
    if (!app.readOptions(options))
        return app.exitCode();

    QWidget host;
    std::vector<Kind> kinds;
    const QStringList waves{QStringLiteral("Saw"),   QStringLiteral("Square"), QStringLiteral("Triangle"),
                            QStringLiteral("Sine"),  QStringLiteral("Noise"),  QStringLiteral("Pulse"),
                            QStringLiteral("Ramp"),  QStringLiteral("Sample")};
    QStringList readouts; // the label texts: 16 values as a value label shows them
    for (int i = 0; i < 16; ++i)
        readouts << QStringLiteral("%1 dB").arg(double(i * 3 - 24), 0, 'f', 1);

    // ---- knob 64x64: 64 cells, values 0..127 ----
    {
        const QPixmap strip = makeKnobStrip(64, 64);
        auto* knob = new CDial_Orvel(&host);
        knob->setCombinedImage(strip);
        knob->setnSubImages(64);
        knob->setnImageCategories(1);
        knob->setMinimum(0);
        knob->setMaximum(127);
        auto* dial = new QDial(&host);
        dial->setRange(0, 127);
        dial->setFixedSize(64, 64);
        Kind k;
        k.name = QStringLiteral("knob 64×64");
        k.control = knob;
        k.showControl = [knob](int i) { knob->setValue(i * 8); };
        k.floor = new FloorWidget(QSize(64, 64), [strip](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip, QRect(0, (i * 8) * 64 / 128 * 64, 64, 64));
        }, &host);
        k.qt = dial;
        k.qtName = QStringLiteral("QDial");
        k.showQt = [dial](int i) { dial->setValue(i * 8); };
        k.period = 16;
        kinds.push_back(k);
    }

    // ---- fader 40x200: background and a thumb row, values 0..1023 in steps of 64 ----
    {
        const QPixmap background = makeFaderBackground(QSize(40, 200));
        const QPixmap thumb = makeCellStrip(QSize(40, 20), 2);
        auto* fader = new CFader_Orvel(&host);
        fader->setPixmap(background);
        fader->setThumbImage(thumb);
        fader->setnSubImages(2);
        fader->setFixedSize(40, 200);
        auto* slider = new QSlider(Qt::Vertical, &host);
        slider->setRange(0, 1023);
        slider->setFixedSize(40, 200);
        // Where the thumb sits for each value is the fader's arithmetic; the floor takes the
        // positions from it once, so that it times only the drawing.
        std::vector<int> tops;
        for (int i = 0; i < 16; ++i) {
            fader->setValue(i * 64);
            tops.push_back(fader->sliderRect().top());
        }
        Kind k;
        k.name = QStringLiteral("fader 40×200");
        k.control = fader;
        k.showControl = [fader](int i) { fader->setValue(i * 64); };
        k.floor = new FloorWidget(QSize(40, 200), [background, thumb, tops](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), background);
            p.drawPixmap(QPoint(0, tops[size_t(i)]), thumb, QRect(0, 0, 40, 20));
        }, &host);
        k.qt = slider;
        k.qtName = QStringLiteral("QSlider");
        k.showQt = [slider](int i) { slider->setValue(i * 64); };
        k.period = 16;
        kinds.push_back(k);
    }

    // ---- on/off button 48x24: on, off, tracking and disabled rows ----
    {
        const QPixmap strip = makeCellStrip(QSize(48, 24), 4,
                                            {QStringLiteral("ON"), QStringLiteral("OFF"), QStringLiteral("ON"),
                                             QStringLiteral("OFF")});
        auto* button = new COnOffButton_Orvel(&host);
        button->setnSubImages(4);
        button->setCombinedImage(strip);
        auto* push = new QPushButton(QStringLiteral("ON"), &host);
        push->setCheckable(true);
        push->setFixedSize(48, 24);
        Kind k;
        k.name = QStringLiteral("on/off button 48×24");
        k.control = button;
        k.showControl = [button](int i) { button->setOn(i == 1); };
        k.floor = new FloorWidget(QSize(48, 24), [strip](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip, QRect(0, i == 1 ? 0 : 24, 48, 24));
        }, &host);
        k.qt = push;
        k.qtName = QStringLiteral("QPushButton, checkable");
        k.showQt = [push](int i) { push->setChecked(i == 1); };
        kinds.push_back(k);
    }

    // ---- radio button 48x24: on, off and tracking rows ----
    {
        const QPixmap strip = makeCellStrip(QSize(48, 24), 3,
                                            {QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("A")});
        auto* radio = new CRadioButton_Orvel(&host);
        radio->setCombinedImage(strip);
        radio->setnSubImages(3);
        radio->setFixedSize(48, 24);
        auto* qtRadio = new QRadioButton(QStringLiteral("A"), &host);
        qtRadio->setAutoExclusive(false);
        qtRadio->setFixedSize(48, 24);
        Kind k;
        k.name = QStringLiteral("radio button 48×24");
        k.control = radio;
        k.showControl = [radio](int i) { radio->setOn(i == 1); };
        k.floor = new FloorWidget(QSize(48, 24), [strip](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip, QRect(0, i == 1 ? 0 : 24, 48, 24));
        }, &host);
        k.qt = qtRadio;
        k.qtName = QStringLiteral("QRadioButton");
        k.showQt = [qtRadio](int i) { qtRadio->setChecked(i == 1); };
        kinds.push_back(k);
    }

    // ---- pixmap switcher 64x32: eight rows ----
    {
        const QPixmap strip = makeCellStrip(QSize(64, 32), 8, waves);
        auto* switcher = new CPixmapSwitcher_Orvel(&host);
        switcher->setCombinedImage(strip);
        switcher->setnSubImages(8);
        Kind k;
        k.name = QStringLiteral("pixmap switcher 64×32");
        k.control = switcher;
        k.showControl = [switcher](int i) { switcher->setCurrentImage(i); };
        k.floor = new FloorWidget(QSize(64, 32), [strip](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip, QRect(0, i * 32, 64, 32));
        }, &host);
        k.period = 8;
        kinds.push_back(k);
    }

    // ---- value label and hotspot label 80x20: a strip row under the text ----
    const auto addLabel = [&](CLabelDisplay_Orvel* label, const QString& name) {
        const QPixmap strip = makeCellStrip(QSize(80, 20), 1, {}, true);
        label->setcombinedImage(strip);
        label->setnSubImages(1);
        label->setFixedSize(80, 20);
        auto* qtLabel = new QLabel(&host);
        qtLabel->setAlignment(label->alignment());
        qtLabel->setFixedSize(80, 20);
        const int flags = int(QStyle::visualAlignment(label->layoutDirection(), label->alignment()));
        const QColor pen = label->palette().color(label->foregroundRole());
        Kind k;
        k.name = name;
        k.control = label;
        k.showControl = [label, readouts](int i) { label->setText(readouts.at(i)); };
        k.floor = new FloorWidget(QSize(80, 20), [strip, flags, pen, readouts](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip);
            p.setPen(pen);
            p.drawText(QRect(0, 0, 80, 20), flags, readouts.at(i));
        }, &host);
        k.floor->setFont(label->font());
        k.qt = qtLabel;
        k.qtName = QStringLiteral("QLabel");
        k.showQt = [qtLabel, readouts](int i) { qtLabel->setText(readouts.at(i)); };
        k.period = int(readouts.size());
        kinds.push_back(k);
    };
    addLabel(new CLabelDisplay_Orvel(&host), QStringLiteral("value label 80×20"));
    addLabel(new CHotspotLabel_Orvel(&host), QStringLiteral("hotspot label 80×20"));

    // ---- text slider 60x18: the value as text over the background ----
    {
        auto* textSlider = new CTextSlider_Orvel(&host);
        textSlider->setMinValue(0);
        textSlider->setMaxValue(1000);
        textSlider->setLookupFunc(&sliderText);
        textSlider->setFixedSize(60, 18);
        auto* spin = new QSpinBox(&host);
        spin->setRange(0, 1000);
        spin->setSuffix(QStringLiteral(" dB"));
        spin->setFixedSize(60, 18);
        QStringList texts;
        for (int i = 0; i < 16; ++i) {
            QString t;
            sliderText(t, i * 7);
            texts << t;
        }
        const QBrush background = textSlider->palette().brush(textSlider->backgroundRole());
        const QColor pen = textSlider->palette().color(textSlider->foregroundRole());
        Kind k;
        k.name = QStringLiteral("text slider 60×18");
        k.control = textSlider;
        k.showControl = [textSlider](int i) { textSlider->setValue(i * 7); };
        k.floor = new FloorWidget(QSize(60, 18), [texts, background, pen](QPainter& p, int i) {
            p.fillRect(QRect(0, 0, 60, 18), background);
            p.setPen(pen);
            p.drawText(QRect(0, 0, 60, 18), Qt::AlignCenter, texts.at(i));
        }, &host);
        k.floor->setFont(textSlider->font());
        k.qt = spin;
        k.qtName = QStringLiteral("QSpinBox");
        k.showQt = [spin](int i) { spin->setValue(i * 7); };
        k.period = 16;
        k.strip = false;
        kinds.push_back(k);
    }

    // ---- pull-down menu 100x20, image mode: one strip row per entry ----
    {
        const QPixmap strip = makeCellStrip(QSize(100, 20), 8, waves);
        auto* menu = new CPullDownMenu_Orvel(&host);
        menu->setMenuItemList(waves.join(QLatin1Char(';')));
        menu->setCombinedImage(strip);
        menu->setnSubImages(8);
        auto* combo = new QComboBox(&host);
        combo->addItems(waves);
        combo->setFixedSize(100, 20);
        Kind k;
        k.name = QStringLiteral("pull-down menu 100×20");
        k.control = menu;
        k.showControl = [menu](int i) { menu->setCurrentImage(i); };
        k.floor = new FloorWidget(QSize(100, 20), [strip](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip, QRect(0, i * 20, 100, 20));
        }, &host);
        k.qt = combo;
        k.qtName = QStringLiteral("QComboBox");
        k.showQt = [combo](int i) { combo->setCurrentIndex(i); };
        k.period = 8;
        kinds.push_back(k);
    }

    // ---- popup 60x18, text mode: the chosen entry over a plain background ----
    {
        auto* popup = new CPopup_Orvel(&host);
        popup->setLabels(waves.join(QLatin1Char(';')));
        popup->setFixedSize(60, 18);
        auto* combo = new QComboBox(&host);
        combo->addItems(waves);
        combo->setFixedSize(60, 18);
        const QColor background = popup->palette().color(popup->backgroundRole());
        const QColor pen = popup->buttonTextColor();
        const int flags = int(popup->alignment());
        Kind k;
        k.name = QStringLiteral("popup 60×18 (text)");
        k.control = popup;
        k.showControl = [popup](int i) { popup->setSelection(i); };
        k.floor = new FloorWidget(QSize(60, 18), [waves, background, pen, flags](QPainter& p, int i) {
            p.fillRect(QRect(0, 0, 60, 18), background);
            p.setPen(pen);
            p.drawText(QRect(0, 0, 60, 18), flags, waves.at(i));
        }, &host);
        k.floor->setFont(popup->font());
        k.qt = combo;
        k.qtName = QStringLiteral("QComboBox");
        k.showQt = [combo](int i) { combo->setCurrentIndex(i); };
        k.period = 8;
        k.strip = false;
        kinds.push_back(k);
    }

    // ---- state display 16x16: four slices chosen by the value ----
    {
        const QPixmap strip = makeCellStrip(QSize(16, 16), 4);
        auto* lamp = new StateDisplayWidget_Orvel(&host);
        lamp->setCombinedImage(strip);
        lamp->setnSubImages(4);
        Kind k;
        k.name = QStringLiteral("state display 16×16");
        k.control = lamp;
        k.showControl = [lamp](int i) { lamp->setValue(i); };
        k.floor = new FloorWidget(QSize(16, 16), [strip](QPainter& p, int i) {
            p.drawPixmap(QPoint(0, 0), strip, QRect(0, i * 16, 16, 16));
        }, &host);
        k.period = 4;
        kinds.push_back(k);
    }

    // ---- name editor 100x20: a line edit; beside QLineEdit only ----
    {
        auto* editor = new CNameEditor_Orvel(&host);
        editor->setFixedSize(100, 20);
        auto* line = new QLineEdit(&host);
        line->setFixedSize(100, 20);
        Kind k;
        k.name = QStringLiteral("name editor 100×20");
        k.control = editor;
        k.showControl = [editor, waves](int i) { editor->setText(waves.at(i)); };
        k.qt = line;
        k.qtName = QStringLiteral("QLineEdit");
        k.showQt = [line, waves](int i) { line->setText(waves.at(i)); };
        k.period = 8;
        k.strip = false;
        kinds.push_back(k);
    }

    // Qt's own part of a repaint and of an update() with its paint, timed in every kind's rounds.
    auto* empty = new QWidget(&host);
    empty->setFixedSize(64, 64);

    // ---- layout: one row per kind (control, floor, Qt's widget), then the empty widget ----
    int y = 0;
    for (Kind& k : kinds) {
        k.control->ensurePolished();
        int x = 0;
        int h = 0;
        for (QWidget* w : {k.control, static_cast<QWidget*>(k.floor), k.qt}) {
            if (w) {
                w->move(x, y);
                h = std::max(h, w->height());
            }
            x += 110;
        }
        y += h + 2;
    }
    empty->move(0, y);
    host.resize(330, y + 66);
    host.show();
    check(waitExposed(host), "the window is exposed");
    const auto flush = [] { QCoreApplication::processEvents(); };
    flush();

    // ---- set-up checks: sizes, and the control and its floor show the same pixels ----
    for (Kind& k : kinds) {
        if (!k.floor)
            continue;
        check(k.control->size() == k.floor->size(),
              qPrintable(QStringLiteral("%1: the control has its floor's size").arg(k.name)));
        for (int i : {1, k.period - 1, 0}) {
            k.showControl(i);
            k.floor->setIndex(i);
            flush();
            check(pixels(k.control) == pixels(k.floor),
                  qPrintable(QStringLiteral("%1: control and floor draw the same pixels at value %2")
                                 .arg(k.name)
                                 .arg(i)));
        }
    }

    // ---- timing ----
    const qint64 repaintN = options.count(5000);
    const qint64 changeN = options.count(2000);
    const auto repaints = [](QWidget* w) {
        return [w](qint64 n) {
            for (qint64 i = 0; i < n; ++i)
                w->repaint();
        };
    };
    // n changes, each followed by the paint it scheduled; `next` keeps the index running across
    // batches so that every call changes the value.
    const auto changes = [flush](std::function<void(int)> show, int period) {
        auto next = std::make_shared<qint64>(0);
        return [show, period, next, flush](qint64 n) {
            for (qint64 i = 0; i < n; ++i) {
                *next += 1;
                show(int(*next % period));
                flush();
            }
        };
    };

    std::vector<Measured> repaintRows;
    std::vector<Measured> changeRows;
    for (Kind& k : kinds) {
        std::vector<Variant> paint{{QStringLiteral("control"), repaints(k.control)},
                                   {QStringLiteral("empty"), repaints(empty)}};
        std::vector<Variant> change{{QStringLiteral("control"), changes(k.showControl, k.period)},
                                    {QStringLiteral("empty"), [empty, flush](qint64 n) {
                                         for (qint64 i = 0; i < n; ++i) {
                                             empty->update();
                                             flush();
                                         }
                                     }}};
        if (k.floor) {
            FloorWidget* floor = k.floor;
            paint.push_back({QStringLiteral("floor"), repaints(floor)});
            change.push_back({QStringLiteral("floor"), changes([floor](int i) { floor->setIndex(i); }, k.period)});
        }
        if (k.qt) {
            paint.push_back({QStringLiteral("qt"), repaints(k.qt)});
            change.push_back({QStringLiteral("qt"), changes(k.showQt, k.period)});
        }
        const auto toRow = [&k](const std::vector<Result>& r) {
            Measured m;
            m.kind = &k;
            m.control = r[0];
            m.empty = r[1];
            size_t at = 2;
            if (k.floor)
                m.floor = r[at++];
            if (k.qt)
                m.qt = r[at++];
            return m;
        };
        repaintRows.push_back(toRow(measureThreadCpu(paint, repaintN, options.rounds, flush)));
        changeRows.push_back(toRow(measureThreadCpu(change, changeN, options.rounds, flush)));
    }

    // ---- after timing: one paint event per repaint() and per change (the filter costs time) ----
    for (Kind& k : kinds) {
        PaintCounter counter;
        k.control->installEventFilter(&counter);
        k.control->repaint();
        check(counter.paints == 1, qPrintable(QStringLiteral("%1: repaint() delivers one paint event").arg(k.name)));
        counter.paints = 0;
        k.showControl(1);
        flush();
        k.showControl(0);
        flush();
        k.control->removeEventFilter(&counter);
        check(counter.paints == 2, qPrintable(QStringLiteral("%1: each change paints once").arg(k.name)));
        if (k.floor) {
            k.floor->setIndex(0);
            flush();
            check(pixels(k.control) == pixels(k.floor),
                  qPrintable(QStringLiteral("%1: control and floor agree after timing").arg(k.name)));
        }
    }

    int missed = 0;
    const QString legend = QStringLiteral(
        " \"Drawing alone\" takes Qt's own part, the figure of an empty 64×64 widget timed in the same "
        "rounds, off both the control and Qt's widget. \"Out of reach (floor too)\": even the floor is "
        "less than 3× faster than Qt's widget. The 3× target applies to the strip-drawn kinds; the text "
        "slider, the popup in text mode and the name editor draw text.");
    printSummary(QStringLiteral("Repaint: synchronous repaint() of a shown control, GUI-thread CPU ns, median of "
                                "%1 rounds × %2")
                     .arg(options.rounds)
                     .arg(repaintN),
                 QStringLiteral("Qt's own part, an empty widget's repaint(): %1 ns (median over the kinds' rounds).")
                         .arg(number(medianOf(repaintRows)))
                     + legend,
                 repaintRows, 1.2, options.markdown, &missed);
    printSummary(QStringLiteral("Value change + its repaint, GUI-thread CPU ns, median of %1 rounds × %2")
                     .arg(options.rounds)
                     .arg(changeN),
                 QStringLiteral("The control's setter, then processEvents() runs the paint it scheduled; the "
                                "controls are not bound to a memory. Qt's own part, an empty widget's update() "
                                "+ paint: %1 ns (median over the kinds' rounds).")
                         .arg(number(medianOf(changeRows)))
                     + legend,
                 changeRows, 1.5, options.markdown, &missed);
    if (!options.markdown)
        std::printf("%d row(s) missed a target\n", missed);

    return checksExitCode();
}

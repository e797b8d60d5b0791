// orvelstrips: writes the image strips of the demo editor and the Designer widget-box icons.
//
//   orvelstrips --out DIR [--set demo|icons]
//
// demo:  the strips examples/synthpanel uses, each as name.png (1x) and name@2x.png (2x).
// icons: one <kind>.png (32x32) per control kind for the Designer plug-in.
// Files are 8-bit indexed PNGs. Runs without a display (QT_QPA_PLATFORM=offscreen).
#include "stripart/stripart.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <functional>

namespace {

using namespace OrvelStripArt;

struct Strip
{
    QString name;
    std::function<QImage(qreal ratio)> draw;
};

QList<Strip> demoSet()
{
    KnobLook bipolar;
    bipolar.bipolar = true;
    KnobLook modulation;
    modulation.accent = QColor(0x3f, 0xc8, 0xe8);

    QList<Strip> set{
        {QStringLiteral("knob"), [](qreal r) { return knobStrip(64, 48, r); }},
        // An odd row count puts the centre of a symmetric range exactly on the middle row.
        {QStringLiteral("knob-bipolar"), [bipolar](qreal r) { return knobStrip(65, 48, r, bipolar); }},
        {QStringLiteral("knob-mod"), [modulation](qreal r) { return knobStrip(64, 48, r, modulation); }},
        {QStringLiteral("fader-background"),
         [](qreal r) { return faderBackground(QSize(28, 120), Qt::Vertical, 14, r); }},
        {QStringLiteral("fader-thumb"), [](qreal r) { return faderThumbStrip(QSize(28, 14), Qt::Vertical, r); }},
        {QStringLiteral("lamp-green"), [](qreal r) { return lampStrip(14, r, QColor(0x4c, 0xe0, 0x6a)); }},
        {QStringLiteral("lamp-amber"), [](qreal r) { return lampStrip(14, r, QColor(0xff, 0xa8, 0x30), true); }},
    };
    const QStringList captions{QStringLiteral("SYNC"), QStringLiteral("ON"), QStringLiteral("SAW"),
                               QStringLiteral("SQUARE"), QStringLiteral("TRI"), QStringLiteral("SINE"),
                               QStringLiteral("NOISE"), QStringLiteral("PITCH"), QStringLiteral("CUTOFF"),
                               QStringLiteral("AMP"), QStringLiteral("PAN")};
    for (const QString& caption : captions) {
        ButtonLook look;
        look.text = caption;
        set.append({QStringLiteral("button-") + caption.toLower(),
                    [look](qreal r) { return buttonStrip(QSize(48, 24), r, look); }});
    }
    // Pull-down faces for the LFO shape and the voice mode, one row per entry of the menu.
    set.append({QStringLiteral("menu-lfo-shape"), [](qreal r) {
                    return menuStrip(QSize(86, 20), {QStringLiteral("Sine"), QStringLiteral("Triangle"),
                                                     QStringLiteral("Saw Up"), QStringLiteral("Saw Down"),
                                                     QStringLiteral("Square"), QStringLiteral("S & H")}, r);
                }});
    set.append({QStringLiteral("menu-voice-mode"), [](qreal r) {
                    return menuStrip(QSize(86, 20), {QStringLiteral("Poly"), QStringLiteral("Mono"),
                                                     QStringLiteral("Legato"), QStringLiteral("Unison")}, r);
                }});
    // Readout fields behind the value labels and the text sliders.
    set.append({QStringLiteral("display-value"), [](qreal r) { return displayStrip(QSize(60, 16), r); }});
    // The demo's page header: one row per page, for a tabbed image switcher.
    set.append({QStringLiteral("page-tabs"), [](qreal r) {
                    return tabStrip(QSize(130, 24), {QStringLiteral("VOICE"), QStringLiteral("MODULATION")}, r);
                }});
    return set;
}

bool write(const QImage& image, const QString& path)
{
    QString error;
    if (!savePng(image, path, &error)) {
        std::fprintf(stderr, "orvelstrips: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Writes the demo strips or the Designer icons as PNG files."));
    cli.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder to write to (created)."),
                                       QStringLiteral("dir"));
    const QCommandLineOption setOption(QStringLiteral("set"), QStringLiteral("What to write: demo or icons."),
                                       QStringLiteral("set"), QStringLiteral("demo"));
    cli.addOptions({outOption, setOption});
    cli.process(app);

    const QString out = cli.value(outOption);
    const QString set = cli.value(setOption);
    if (out.isEmpty()) {
        std::fprintf(stderr, "orvelstrips: --out DIR is required\n");
        return 2;
    }
    if (set != QLatin1String("demo") && set != QLatin1String("icons")) {
        std::fprintf(stderr, "orvelstrips: unknown set \"%s\" (demo or icons)\n", qPrintable(set));
        return 2;
    }
    QDir dir(out);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "orvelstrips: cannot create %s\n", qPrintable(out));
        return 1;
    }

    int written = 0;
    if (set == QLatin1String("icons")) {
        for (const QString& kind : iconKinds()) {
            if (!write(icon(kind, 32), dir.filePath(kind + QStringLiteral(".png"))))
                return 1;
            ++written;
        }
    } else {
        for (const Strip& strip : demoSet()) {
            if (!write(strip.draw(1.0), dir.filePath(strip.name + QStringLiteral(".png")))
                || !write(strip.draw(2.0), dir.filePath(strip.name + QStringLiteral("@2x.png"))))
                return 1;
            written += 2;
        }
    }
    std::printf("orvelstrips: %d files in %s\n", written, qPrintable(QDir::cleanPath(dir.absolutePath())));
    return 0;
}

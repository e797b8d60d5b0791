// The orvelkit demo: an editor panel for a small synthesizer (two oscillators, filter, amplifier
// envelope, LFO, master), laid out in a Qt Designer form that is loaded at run time and bound to
// the reference parameter memory. See README.md beside this file.
//
//   orvelkit_synthpanel [--set name=value]... [--automate] [--page n] [--screenshot file.png]
//                       [--print-geometry] [--context-menu control] [--map file.json] [--form file.ui]
#include "synthwindow.h"

#include <orvelkit/binding/conveniences.h>
#include <orvelkit/binding/memproxy.h>
#include <orvelkit/memory/referencememory.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QStyleFactory>
#include <QWindow>

#include <cstdio>

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "orvelkit_synthpanel: %s\n", qPrintable(message));
}

// A dark palette for the window around the panel, to match the panel's own style sheet.
void useDarkLook(QApplication& app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2a, 0x2d, 0x34));
    p.setColor(QPalette::WindowText, QColor(0xd8, 0xdb, 0xe0));
    p.setColor(QPalette::Base, QColor(0x15, 0x17, 0x1b));
    p.setColor(QPalette::AlternateBase, QColor(0x24, 0x27, 0x2d));
    p.setColor(QPalette::Text, QColor(0xd8, 0xdb, 0xe0));
    p.setColor(QPalette::Button, QColor(0x30, 0x33, 0x3a));
    p.setColor(QPalette::ButtonText, QColor(0xd8, 0xdb, 0xe0));
    p.setColor(QPalette::Highlight, QColor(0xff, 0x9b, 0x30));
    p.setColor(QPalette::HighlightedText, QColor(0x1f, 0x21, 0x26));
    p.setColor(QPalette::ToolTipBase, QColor(0x15, 0x17, 0x1b));
    p.setColor(QPalette::ToolTipText, QColor(0xff, 0xb4, 0x5c));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6a, 0x70, 0x7a));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6a, 0x70, 0x7a));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6a, 0x70, 0x7a));
    app.setPalette(p);
}

// Applies "name=value" settings (raw parameter values) before the window shows. False, with a
// message, for a malformed setting, an unknown name or a value outside the parameter's range.
bool applySettings(TReferenceMemory_Orvel& memory, const QStringList& settings)
{
    for (const QString& setting : settings) {
        const qsizetype eq = setting.indexOf(QLatin1Char('='));
        const QString name = setting.left(eq).trimmed();
        bool ok = false;
        const int value = eq > 0 ? setting.mid(eq + 1).trimmed().toInt(&ok, 0) : 0;
        if (eq <= 0 || !ok) {
            fail(QStringLiteral("--set %1: expected name=integer").arg(setting));
            return false;
        }
        const auto param = memory.parameterByName(name);
        if (!param) {
            fail(QStringLiteral("--set %1: \"%2\" is not a parameter of the map").arg(setting, name));
            return false;
        }
        if (value < param->minimum || value > param->maximum) {
            fail(QStringLiteral("--set %1: %2 is outside %3..%4")
                     .arg(setting).arg(value).arg(param->minimum).arg(param->maximum));
            return false;
        }
        memory.write(param->high, param->mid, param->low, value);
    }
    return true;
}

// Shows the window and lets it settle: exposed, laid out, every queued refresh delivered.
void settle(QWidget& window)
{
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000 && !(window.windowHandle() && window.windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// One line per bound control on show (not those of hidden pages): objectName namedAddress
// x y w h, in the pixels of a screenshot of `window` (device pixels: logical ones times the ratio).
void printGeometry(SynthWindow& window)
{
    const qreal ratio = window.devicePixelRatioF();
    for (QWidget* w : window.boundControls()) {
        if (!w->isVisible())
            continue;
        const QRect r(w->mapTo(&window, QPoint(0, 0)), w->size());
        const QRect px(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
                       qRound(r.height() * ratio));
        std::printf("%s %s %d %d %d %d\n", qPrintable(w->objectName()),
                    qPrintable(memProxyOf(w)->namedAddress()), px.x(), px.y(), px.width(), px.height());
    }
    std::fflush(stdout);
}

// Opens the context menu of control `name` at its centre. False, with a message, when the panel
// has no such bound control.
bool openContextMenu(SynthWindow& window, const QString& name)
{
    QWidget* control = window.panel()->findChild<QWidget*>(name);
    auto* conveniences = window.panel()->findChild<TEditorConveniences_Orvel*>();
    if (!control || !memProxyOf(control) || !conveniences
        || !conveniences->openContextMenu(control, control->mapToGlobal(control->rect().center()))) {
        fail(QStringLiteral("--context-menu %1: no bound control of that name on the panel").arg(name));
        return false;
    }
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    return true;
}

// The window as it shows, with an open context menu (a window of its own) drawn where it is.
QPixmap grabWithMenu(SynthWindow& window)
{
    QPixmap shot = window.grab();
    auto* conveniences = window.panel()->findChild<TEditorConveniences_Orvel*>();
    QMenu* menu = conveniences ? conveniences->menu() : nullptr;
    if (menu && menu->isVisible()) {
        QPainter p(&shot);
        p.drawPixmap(menu->pos() - window.mapToGlobal(QPoint(0, 0)), menu->grab());
    }
    return shot;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvelkit_synthpanel"));
    useDarkLook(app);

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("The orvelkit demo: a synthesizer editor panel."));
    cli.addHelpOption();
    const QCommandLineOption setOption(QStringLiteral("set"),
                                       QStringLiteral("Set a parameter (raw value) before showing; repeatable."),
                                       QStringLiteral("name=value"));
    const QCommandLineOption automateOption(QStringLiteral("automate"), QStringLiteral("Start the automation at launch."));
    const QCommandLineOption shotOption(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the window into a PNG file and exit."), QStringLiteral("file"));
    const QCommandLineOption geometryOption(QStringLiteral("print-geometry"),
                                            QStringLiteral("Print 'objectName namedAddress x y w h' per bound control "
                                                           "(screenshot pixels) and exit."));
    const QCommandLineOption mapOption(QStringLiteral("map"), QStringLiteral("Parameter map to load."),
                                       QStringLiteral("file.json"), QStringLiteral(":/synthpanel/synthpanel.json"));
    const QCommandLineOption formOption(QStringLiteral("form"), QStringLiteral("Designer form to load."),
                                        QStringLiteral("file.ui"), QStringLiteral(":/synthpanel/synthpanel.ui"));
    const QCommandLineOption pageOption(QStringLiteral("page"), QStringLiteral("Show page n of the panel (0: the first)."),
                                        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption menuOption(QStringLiteral("context-menu"),
                                        QStringLiteral("Open the context menu of a control before the screenshot."),
                                        QStringLiteral("control"));
    cli.addOptions({setOption, automateOption, pageOption, shotOption, geometryOption, menuOption, mapOption, formOption});
    cli.process(app);

    // The memory outlives the window (declared first): the window stops the automation thread
    // and its controls detach before the memory goes.
    TReferenceMemory_Orvel memory;
    QString error;
    const qreal ratio = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->devicePixelRatio() : 1.0;
    QWidget* panel = SynthWindow::loadPanel(memory, cli.value(mapOption), cli.value(formOption), ratio, &error);
    if (!panel) {
        fail(error);
        return 1;
    }
    SynthWindow window(&memory, panel);
    if (!applySettings(memory, cli.values(setOption)))
        return 2;

    if (cli.isSet(automateOption))
        window.automationAction()->setChecked(true);
    bool pageOk = false;
    const int page = cli.value(pageOption).toInt(&pageOk);
    if (!pageOk || !window.showPage(page)) {
        fail(QStringLiteral("--page %1: the panel has pages 0 to %2").arg(cli.value(pageOption)).arg(window.pageCount() - 1));
        return 2;
    }

    if (!cli.isSet(shotOption) && !cli.isSet(geometryOption)) {
        window.show();
        return QApplication::exec();
    }

    settle(window);
    if (cli.isSet(menuOption) && !openContextMenu(window, cli.value(menuOption)))
        return 2;
    if (cli.isSet(geometryOption))
        printGeometry(window);
    if (cli.isSet(shotOption)) {
        const QString file = cli.value(shotOption);
        if (!grabWithMenu(window).save(file, "PNG")) {
            fail(QStringLiteral("cannot write the screenshot to %1").arg(file));
            return 1;
        }
    }
    return 0;
}

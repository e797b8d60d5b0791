// The orvelkit demo editor: a panel bound to the reference memory.
//
//   orvelkit_demo [--map file.json] [--screenshot file.png] [--automate name]
//
// A worker thread plays "automation" into one parameter while the window is open, so changes
// arriving off the GUI thread can be watched; edits made with the mouse are undoable.
#include "parameterrow.h"

#include <orvelkit/memory/referencememory.h>

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {

QString addressText(const TParameterSpec_Orvel& p)
{
    return p.name.isEmpty() ? QStringLiteral("%1:%2:%3").arg(p.high).arg(p.mid).arg(p.low) : p.name;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvelkit demo"));

    QCommandLineParser cli;
    cli.addHelpOption();
    const QCommandLineOption mapOption("map", "Parameter map (JSON) to load.", "file", ":/demo/params.json");
    const QCommandLineOption shotOption("screenshot", "Render the window offscreen into a PNG and exit.", "file");
    const QCommandLineOption automateOption("automate", "Parameter a worker thread automates.", "name",
                                            "filter.cutoff");
    cli.addOptions({mapOption, shotOption, automateOption});
    cli.process(app);

    TReferenceMemory_Orvel memory;
    QString error;
    if (!memory.loadMap(cli.value(mapOption), &error)) {
        std::fprintf(stderr, "orvelkit_demo: %s\n", qPrintable(error));
        return 1;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("orvelkit demo"));
    auto* outer = new QVBoxLayout(&window);
    auto* buttons = new QHBoxLayout;
    auto* undo = new QPushButton(QStringLiteral("Undo"), &window);
    auto* redo = new QPushButton(QStringLiteral("Redo"), &window);
    QUndoStack* stack = memory.undoStack();
    QObject::connect(undo, &QPushButton::clicked, stack, &QUndoStack::undo);
    QObject::connect(redo, &QPushButton::clicked, stack, &QUndoStack::redo);
    QObject::connect(stack, &QUndoStack::canUndoChanged, undo, &QWidget::setEnabled);
    QObject::connect(stack, &QUndoStack::canRedoChanged, redo, &QWidget::setEnabled);
    undo->setEnabled(false);
    redo->setEnabled(false);
    auto* status = new QLabel(&window);
    QObject::connect(stack, &QUndoStack::indexChanged, status, [stack, status] {
        status->setText(stack->canUndo() ? QStringLiteral("Last step: %1").arg(stack->undoText()) : QString());
    });
    buttons->addWidget(undo);
    buttons->addWidget(redo);
    buttons->addWidget(status, 1);
    outer->addLayout(buttons);

    auto* panel = new QWidget;
    auto* rows = new QVBoxLayout(panel);
    const QList<TParameterSpec_Orvel> parameters = memory.parameters();
    for (const TParameterSpec_Orvel& p : parameters)
        rows->addWidget(new ParameterRow(p.label.isEmpty() ? addressText(p) : p.label, addressText(p), panel));
    rows->addStretch(1);
    auto* scroll = new QScrollArea(&window);
    scroll->setWidget(panel);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll, 1);
    bindMemAPI(panel, &memory);

    // Automation from a worker thread: a slow sine sweep over the chosen parameter's range.
    TParamAddress automated;
    std::atomic<bool> stop{false};
    std::thread automation;
    if (memory.resolveAddress(cli.value(automateOption), automated)) {
        const int min = memory.minimum(automated.high, automated.mid, automated.low, 0);
        const int max = memory.maximum(automated.high, automated.mid, automated.low, 0);
        automation = std::thread([&memory, &stop, automated, min, max] {
            for (int step = 0; !stop.load(); ++step) {
                const double phase = 0.5 + 0.5 * std::sin(step * 0.05);
                memory.write(automated.high, automated.mid, automated.low,
                             min + int(std::lround(phase * (double(max) - double(min)))));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }

    window.resize(560, 640);
    window.show();

    int rc = 0;
    if (cli.isSet(shotOption)) {
        QTimer::singleShot(400, &window, [&] {
            const QString file = cli.value(shotOption);
            if (!window.grab().save(file)) {
                std::fprintf(stderr, "orvelkit_demo: cannot write %s\n", qPrintable(file));
                rc = 1;
            }
            QApplication::quit();
        });
        QApplication::exec();
    } else {
        rc = QApplication::exec();
    }
    stop = true;
    if (automation.joinable())
        automation.join();
    return rc;
}

// Binds a minimal proxy and a knob to the reference memory from the installed package, writes
// from a worker thread and checks that the change arrives on the GUI thread, coalesced.
#include <orvelkit/binding/memproxy.h>
#include <orvelkit/designer/orveluiloader.h>
#include <orvelkit/knob/cdial.h>
#include <orvelkit/binding/utilities.h>
#include <orvelkit/memory/referencememory.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QLabel>
#include <QPluginLoader>
#include <QThread>

#include <cstdio>
#include <memory>
#include <thread>

class ValueLabel : public QLabel, public TMemProxy
{
    Q_OBJECT
public:
    ~ValueLabel() override { detachMemAPI(); }
    void process(const Q_UINT8*, int, Q_UINT32) override
    {
        if (!memAPIReady())
            return;
        if (!NS_Utilities::mainThreadRunning()) {
            MAPI_postObserverEvent(api, this);
            return;
        }
        ++guiRefreshes;
        QString text;
        const int v = api->currentValue(addrHigh, addrMid, addrLow, 0, 0);
        api->formatValue(qint16(addrLow + addrLowOffset), -1, text, nullptr, v, 0, addrHigh, addrMid);
        setText(text);
    }
    int guiRefreshes = 0;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The installed Designer plug-in is a loadable Qt plug-in offering a widget collection.
    if (argc > 1) {
        QPluginLoader plugin(QString::fromLocal8Bit(argv[1]));
        const QString iid = plugin.metaData().value(QStringLiteral("IID")).toString();
        if (!plugin.load() || !plugin.instance()
            || iid != QLatin1String("org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")) {
            std::fprintf(stderr, "the installed Designer plug-in did not load: %s\n", qPrintable(plugin.errorString()));
            return 1;
        }
    }
    TReferenceMemory_Orvel memory;
    TParameterSpec_Orvel cutoff;
    cutoff.name = QStringLiteral("filter.cutoff");
    cutoff.high = 1;
    cutoff.mid = 2;
    cutoff.low = 3;
    cutoff.minimum = 0;
    cutoff.maximum = 1000;
    QString error;
    if (!memory.addParameter(cutoff, &error)) {
        std::fprintf(stderr, "addParameter: %s\n", qPrintable(error));
        return 1;
    }

    ValueLabel label;
    label.setNamedAddress(QStringLiteral("filter.cutoff"));
    label.setMemAPI(&memory);
    if (!label.memAPIReady()) {
        std::fprintf(stderr, "the label did not bind\n");
        return 1;
    }
    // The knob comes from a form, the way editors build their panels.
    QByteArray form("<ui version=\"4.0\"><widget class=\"QWidget\" name=\"panel\">"
                    "<widget class=\"CDial\" name=\"cutoff\"><property name=\"namedAddress\">"
                    "<string>filter.cutoff</string></property></widget></widget></ui>");
    QBuffer buffer(&form);
    buffer.open(QIODevice::ReadOnly);
    OrvelUiLoader loader(&memory);
    std::unique_ptr<QWidget> panel(loader.load(&buffer));
    CDial_Orvel* found = panel ? panel->findChild<CDial_Orvel*>(QStringLiteral("cutoff")) : nullptr;
    if (!found || loader.boundControlCount() != 1 || !found->memAPIReady()) {
        std::fprintf(stderr, "the form did not load and bind: %s\n", qPrintable(loader.errorString()));
        return 1;
    }
    CDial_Orvel& knob = *found;
    QString knobText;
    QObject::connect(&knob, &CDial_Orvel::textualValueChange, [&knobText](const QString& t) { knobText = t; });
    const int before = label.guiRefreshes;

    std::thread writer([&memory] {
        for (int v = 1; v <= 500; ++v)
            memory.write(1, 2, 3, v);
    });
    writer.join();

    QElapsedTimer timer;
    timer.start();
    while ((label.text() != QLatin1String("500") || knob.value() != 500) && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const int refreshes = label.guiRefreshes - before;
    std::printf("label shows %s after %d GUI-thread refreshes; knob at %d shows %s\n", qPrintable(label.text()),
                refreshes, knob.value(), qPrintable(knobText));
    return label.text() == QLatin1String("500") && refreshes >= 1 && refreshes < 500 && knob.value() == 500
                   && knobText == label.text()
               ? 0
               : 1;
}

#include "main.moc"

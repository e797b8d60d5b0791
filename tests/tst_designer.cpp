// The Designer plug-in, QUiLoader with the plug-in and OrvelUiLoader, used as real clients use
// them: one form that sets every designer property of every control goes through each.
#include "support/formsample.h"

#include <orvelkit/binding/memproxy.h>
#include <orvelkit/designer/controls.h>
#include <orvelkit/designer/orveluiloader.h>
#include <orvelkit/fader/cfader.h>
#include <orvelkit/knob/cdial.h>
#include <orvelkit/memory/referencememory.h>
#include <orvelkit/status/ctabwidget.h>

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QBuffer>
#include <QFileInfo>
#include <QPluginLoader>
#include <QTabBar>
#include <QTest>
#include <QUiLoader>
#include <QXmlStreamReader>

#include <thread>

class TestDesigner : public QObject
{
    Q_OBJECT

#ifdef ORVELKIT_DESIGNER_PLUGIN
    static QString pluginFile() { return QStringLiteral(ORVELKIT_DESIGNER_PLUGIN); }
#else
    static QString pluginFile() { return {}; }
#endif

    static QWidget* loadForm(QUiLoader& loader, const QString& xml)
    {
        QByteArray data = xml.toUtf8();
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        return loader.load(&buffer);
    }

private slots:
    void pluginOffersEveryControl()
    {
        if (pluginFile().isEmpty())
            QSKIP("built without the Designer plug-in");
        QPluginLoader plugin(pluginFile());
        auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(plugin.instance());
        QVERIFY2(collection, qPrintable(plugin.errorString()));
        const QList<QDesignerCustomWidgetInterface*> widgets = collection->customWidgets();
        QCOMPARE(widgets.size(), OrvelControls::all().size());

        for (int i = 0; i < widgets.size(); ++i) {
            QDesignerCustomWidgetInterface* w = widgets[i];
            const OrvelControls::Entry& e = OrvelControls::all()[i];
            QCOMPARE(w->name(), e.className);
            QCOMPARE(w->group(), QStringLiteral("orvelkit"));
            QVERIFY(!w->icon().isNull());
            QVERIFY(!w->toolTip().isEmpty() && !w->whatsThis().isEmpty());
            QVERIFY2(QFileInfo::exists(QStringLiteral(ORVELKIT_INCLUDE_ROOT "/") + w->includeFile()),
                     qPrintable(w->includeFile()));

            // domXml: the class, and exactly the properties whose setter uic cannot guess, with stdset="0".
            QStringList nonStd;
            for (const QMetaProperty& p : OrvelControls::designerProperties(e.metaObject))
                if (!p.hasStdCppSet() && p.metaType().id() != QMetaType::QPixmap)
                    nonStd << QLatin1String(p.name());
            QStringList written;
            QString widgetClass;
            QXmlStreamReader xml(w->domXml());
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement)
                    continue;
                if (xml.name() == QLatin1String("widget") && widgetClass.isEmpty()) // the control, not its pages
                    widgetClass = xml.attributes().value("class").toString();
                if (xml.name() == QLatin1String("property") && xml.attributes().value("stdset") == QLatin1String("0"))
                    written << xml.attributes().value("name").toString();
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QCOMPARE(widgetClass, e.className);
            QCOMPARE(written, nonStd);

            std::unique_ptr<QWidget> made(w->createWidget(nullptr));
            QCOMPARE(QLatin1String(made->metaObject()->className()), e.className);
        }
        QVERIFY(!OrvelControls::all().isEmpty());
        QVERIFY(OrvelControls::find(QStringLiteral("CDial")));
        QCOMPARE(OrvelControls::find(QStringLiteral("CDial"))->baseClass, QStringLiteral("QDial"));
        QVERIFY(!OrvelControls::find(QStringLiteral("CDial_Orvel")));
    }

    // Designer sets resource strips after a control was first shown; the plug-in's controls
    // still draw them (a control made by the library alone keeps its one polish).
    void pluginControlsDrawStripsSetAfterShow()
    {
        if (pluginFile().isEmpty())
            QSKIP("built without the Designer plug-in");
        QPluginLoader plugin(pluginFile());
        auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(plugin.instance());
        QVERIFY(collection);
        QDesignerCustomWidgetInterface* knobInterface = nullptr;
        for (QDesignerCustomWidgetInterface* w : collection->customWidgets())
            if (w->name() == QLatin1String("CDial"))
                knobInterface = w;
        QVERIFY(knobInterface);

        const auto drawnPixels = [](QWidget* w) {
            QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    opaque += qAlpha(image.pixel(x, y)) != 0;
            return opaque;
        };
        QWidget window;
        std::unique_ptr<QWidget> designed(knobInterface->createWidget(&window));
        CDial_Orvel plain(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QWidget* w : {designed.get(), static_cast<QWidget*>(&plain)}) {
            w->setProperty("nSubImages", 4);
            w->setProperty("combinedImage", QPixmap(FormSample::stripResource()));
        }
        QCOMPARE(drawnPixels(&plain), 0);
        QCOMPARE(drawnPixels(designed.get()), 16 * 16);
        QCOMPARE(designed->size(), QSize(16, 16));
    }

    // Both spellings of the form: as Designer saves it, and with stdset="0".
    void formsSetEveryProperty_data()
    {
        QTest::addColumn<bool>("viaPlugin");
        QTest::addColumn<bool>("stdsetZero");
        QTest::newRow("plug-in, Designer spelling") << true << false;
        QTest::newRow("plug-in, stdset=0") << true << true;
        QTest::newRow("OrvelUiLoader, Designer spelling") << false << false;
        QTest::newRow("OrvelUiLoader, stdset=0") << false << true;
    }
    void formsSetEveryProperty()
    {
        QFETCH(bool, viaPlugin);
        QFETCH(bool, stdsetZero);
        if (viaPlugin && pluginFile().isEmpty())
            QSKIP("built without the Designer plug-in");
        QUiLoader plain;
        OrvelUiLoader orvel;
        QUiLoader& loader = viaPlugin ? plain : static_cast<QUiLoader&>(orvel);
        loader.clearPluginPaths();
        if (viaPlugin)
            loader.addPluginPath(QFileInfo(pluginFile()).absolutePath());
        const QStringList available = viaPlugin ? loader.availableWidgets() : orvel.availableWidgets();
        for (const OrvelControls::Entry& e : OrvelControls::all())
            QVERIFY2(available.contains(e.className), qPrintable(e.className));

        std::unique_ptr<QWidget> form(loadForm(loader, FormSample::formXml(stdsetZero)));
        QVERIFY(form);
        const QStringList wrong = FormSample::mismatches(form.get());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }

    // A tab container arrives in Designer with pages, and a form with pages inside it loads
    // through both loaders with its pages and their children.
    void tabContainerPages_data()
    {
        QTest::addColumn<bool>("viaPlugin");
        QTest::newRow("plug-in") << true;
        QTest::newRow("OrvelUiLoader") << false;
    }
    void tabContainerPages()
    {
        QFETCH(bool, viaPlugin);
        if (viaPlugin && pluginFile().isEmpty())
            QSKIP("built without the Designer plug-in");
        const OrvelControls::Entry* e = OrvelControls::find(QStringLiteral("CTabWidget"));
        QVERIFY(e && e->container);
        QCOMPARE(OrvelControls::domXml(*e).count(QLatin1String("<widget class=\"QWidget\"")), 2);

        QUiLoader plain;
        OrvelUiLoader orvel;
        QUiLoader& loader = viaPlugin ? plain : static_cast<QUiLoader&>(orvel);
        loader.clearPluginPaths();
        if (viaPlugin)
            loader.addPluginPath(QFileInfo(pluginFile()).absolutePath());
        QString form = OrvelControls::domXml(*e);
        form.replace(QLatin1String("<ui language=\"c++\">"), QLatin1String("<ui version=\"4.0\">"));
        form.replace(QLatin1String("  </widget>\n </widget>"),
                     QLatin1String("   <widget class=\"CDial\" name=\"knobOnPage2\"/>\n  </widget>\n </widget>"));
        std::unique_ptr<QWidget> loaded(loadForm(loader, form));
        QVERIFY(loaded);
        auto* tabs = qobject_cast<CTabWidget_Orvel*>(loaded.get());
        QVERIFY2(tabs, loaded->metaObject()->className());
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->getTabBar()->tabText(1), QStringLiteral("Tab 2"));
        QVERIFY(tabs->widget(1)->findChild<CDial_Orvel*>(QStringLiteral("knobOnPage2")));
    }

    // The demo panel through OrvelUiLoader: every control with an address gets bound, and a
    // write on a worker thread reaches the knob on the GUI thread.
    void loaderBindsTheDemoPanel()
    {
        TReferenceMemory_Orvel memory;
        QString error;
        QVERIFY2(memory.loadMap(QStringLiteral(SYNTHPANEL_DIR "/synthpanel.json"), &error), qPrintable(error));
        OrvelUiLoader loader(&memory);
        std::unique_ptr<QWidget> panel(loader.load(QStringLiteral(SYNTHPANEL_DIR "/synthpanel.ui")));
        QVERIFY2(panel, qPrintable(loader.errorString()));

        int addressed = 0;
        CDial_Orvel* cutoff = nullptr;
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            TMemProxy_Orvel* proxy = memProxyOf(w);
            if (!proxy || proxy->namedAddress().isEmpty())
                continue;
            ++addressed;
            QVERIFY2(proxy->api == &memory && proxy->addressValid, qPrintable(proxy->namedAddress()));
            if (proxy->namedAddress() == QLatin1String("filter.cutoff"))
                cutoff = qobject_cast<CDial_Orvel*>(w);
        }
        QVERIFY(addressed > 0);
        QCOMPARE(loader.boundControlCount(), addressed);
        QVERIFY(cutoff);

        TParamAddress address;
        QVERIFY(memory.lookupName(QStringLiteral("filter.cutoff"), address));
        const auto param = memory.parameterByName(QStringLiteral("filter.cutoff"));
        QVERIFY(param);
        QCOMPARE(cutoff->value(), param->value);
        // A fader only connects when bound; the loader's refresh shows the memory's value at once.
        auto* sustain = panel->findChild<CFader_Orvel*>(QStringLiteral("ampSustain"));
        const auto sustainParam = memory.parameterByName(QStringLiteral("amp.sustain"));
        QVERIFY(sustain && sustainParam && sustainParam->value != 0);
        QCOMPARE(sustain->value(), sustainParam->value);
        const int target = param->value == param->maximum ? param->minimum : param->maximum;
        std::thread writer([&] { memory.write(address.high, address.mid, address.low, target); });
        writer.join();
        QTRY_COMPARE(cutoff->value(), target);
    }

    void loaderReportsBadForms()
    {
        OrvelUiLoader loader;
        QVERIFY(!loader.load(QStringLiteral("/nonexistent/panel.ui")));
        QVERIFY(loader.errorString().contains(QLatin1String("/nonexistent/panel.ui")));
        QVERIFY(!loader.load(static_cast<QIODevice*>(nullptr)));
        QVERIFY(!loader.errorString().isEmpty());
        QVERIFY(!loadForm(loader, QStringLiteral("<ui version=\"4.0\"><widget class=")));
        QVERIFY(!loader.errorString().isEmpty());

        // An unknown class still gives the form (QUiLoader's rule), without the widget; a known
        // one beside it is created and, with no memory, left unbound.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unable to create a widget of the class 'NoSuchKnob'"));
        std::unique_ptr<QWidget> form(loadForm(loader, QStringLiteral(
            "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"f\">"
            "<widget class=\"NoSuchKnob\" name=\"a\"/><widget class=\"CDial\" name=\"b\">"
            "<property name=\"namedAddress\"><string>filter.cutoff</string></property></widget>"
            "</widget></ui>")));
        QVERIFY(form);
        QVERIFY(!form->findChild<QWidget*>(QStringLiteral("a")));
        auto* knob = form->findChild<CDial_Orvel*>(QStringLiteral("b"));
        QVERIFY(knob);
        QVERIFY(!knob->api);
        QCOMPARE(loader.boundControlCount(), 0);
    }
};

QTEST_MAIN(TestDesigner)
#include "tst_designer.moc"

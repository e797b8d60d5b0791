// The demo editor: screenshots and geometry of the running program follow the parameters, bad
// command lines, maps and forms fail with a message, automation starts and stops cleanly, and the
// Edit actions copy, paste and reset the focused knob with undo.
#include "automation.h"
#include "envelopeview.h"
#include "synthwindow.h"

#include <orvelkit/binding/conveniences.h>
#include <orvelkit/binding/memproxy.h>
#include <orvelkit/buttons/cpixmapswitcher.h>
#include <orvelkit/fader/cfader.h>
#include <orvelkit/knob/cdial.h>
#include <orvelkit/labels/chotspotlabel.h>
#include <orvelkit/labels/clabeldisplay.h>
#include <orvelkit/labels/cnameeditor.h>
#include <orvelkit/popup/cpopup.h>
#include <orvelkit/popup/cpopupitem.h>
#include <orvelkit/popup/cpopuplabel.h>
#include <orvelkit/sliders/ctextslider.h>
#include <orvelkit/memory/referencememory.h>

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QMimeData>
#include <QProcess>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runDemo(const QStringList& args)
{
    QProcess demo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    demo.setProcessEnvironment(env);
    demo.start(QStringLiteral(SYNTHPANEL_EXE), args);
    Run run;
    if (!demo.waitForFinished(120000) || demo.exitStatus() != QProcess::NormalExit)
        return run; // a crash or a hang: exit code stays -1
    run.exitCode = demo.exitCode();
    run.out = QString::fromLocal8Bit(demo.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(demo.readAllStandardError());
    return run;
}

// --print-geometry output: objectName -> rectangle.
QMap<QString, QRect> parseGeometry(const QString& out)
{
    QMap<QString, QRect> rects;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char(' '));
        if (f.size() == 6)
            rects.insert(f[0], QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt()));
    }
    return rects;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(text);
    return file.fileName();
}

} // namespace

class TestSynthPanel : public QObject
{
    Q_OBJECT

private slots:
    void screenshotsFollowTheParameter_data();
    void screenshotsFollowTheParameter();
    void badInputFailsWithAMessage();
    void automationStartsAndStops();
    void editActionsWorkOnTheFocusedControl();
    void selectorsLabelsAndEditorsOfThePanel();
};

void TestSynthPanel::screenshotsFollowTheParameter_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("param");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("changed");

    QTest::newRow("knob") << 0 << "filter.cutoff" << 0 << 127 << QStringList{"filterCutoff"};
    QTest::newRow("fader") << 0 << "amp.sustain" << 0 << 127 << QStringList{"ampSustain"};
    QTest::newRow("radio buttons") << 0 << "osc1.waveform" << 0 << 3 << QStringList{"osc1WaveSaw", "osc1WaveSine"};
    QTest::newRow("on/off button") << 0 << "osc2.sync" << 0 << 1 << QStringList{"osc2Sync"};
    QTest::newRow("popup") << 0 << "filter.type" << 0 << 2 << QStringList{"filterType"};
    QTest::newRow("lamp") << 0 << "voice.3" << 0 << 1 << QStringList{"voice3Lamp"};
    QTest::newRow("pull-down") << 1 << "lfo.shape" << 0 << 4 << QStringList{"lfoShape"};
    QTest::newRow("on/off row") << 1 << "lfo.destination" << 0 << 2 << QStringList{"lfoDestPitch", "lfoDestAmp"};
    QTest::newRow("text slider") << 1 << "master.tune" << 4150 << 4650 << QStringList{"masterTune"};
    QTest::newRow("grouped popup") << 1 << "lfo.division" << 0 << 13 << QStringList{"lfoDivision"};
}

void TestSynthPanel::screenshotsFollowTheParameter()
{
    QFETCH(int, page);
    QFETCH(QString, param);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, changed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString a = dir.filePath(QStringLiteral("a.png"));
    const QString b = dir.filePath(QStringLiteral("b.png"));
    auto shoot = [&](const QString& file, int value) {
        return runDemo({QStringLiteral("--screenshot"), file, QStringLiteral("--print-geometry"),
                        QStringLiteral("--page"), QString::number(page), QStringLiteral("--set"),
                        QStringLiteral("%1=%2").arg(param).arg(value)});
    };
    const Run low = shoot(a, from);
    const Run high = shoot(b, to);
    QVERIFY2(low.exitCode == 0, qPrintable(low.err));
    QVERIFY2(high.exitCode == 0, qPrintable(high.err));

    const QImage imageA(a);
    const QImage imageB(b);
    QVERIFY(!imageA.isNull());
    QCOMPARE(imageA.size(), imageB.size());

    // The layout does not move with the values; every control of the page is on the picture,
    // none overlaps another.
    const QMap<QString, QRect> rects = parseGeometry(low.out);
    QCOMPARE(parseGeometry(high.out), rects);
    for (const QString& name : changed)
        QVERIFY2(rects.contains(name), qPrintable(name));
    QVERIFY(rects.size() >= 15);
    for (auto it = rects.cbegin(); it != rects.cend(); ++it) {
        QVERIFY2(QRect(QPoint(0, 0), imageA.size()).contains(it.value()), qPrintable(it.key()));
        QVERIFY2(!it.value().isEmpty(), qPrintable(it.key()));
        for (auto other = std::next(it); other != rects.cend(); ++other)
            QVERIFY2(!it.value().intersects(other.value()), qPrintable(it.key() + QLatin1Char('/') + other.key()));
    }

    // Only the controls showing the parameter changed.
    for (auto it = rects.cbegin(); it != rects.cend(); ++it) {
        const bool same = imageA.copy(it.value()) == imageB.copy(it.value());
        QVERIFY2(same == !changed.contains(it.key()), qPrintable(it.key()));
    }
}

void TestSynthPanel::badInputFailsWithAMessage()
{
    struct Case
    {
        QStringList args;
        QString message; // part of what stderr must say
    };
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString badMap = writeFile(dir, QStringLiteral("bad.json"),
                                     "{\n  \"format\": \"orvelkit-parameter-map\",\n  \"version\": 1,\n"
                                     "  \"parameters\": [{\"name\": \"x\", \"address\": \"0:0:0\", \"min\": 5, \"max\": 1}]\n}\n");
    QFile form(QStringLiteral(SYNTHPANEL_DIR "/synthpanel.ui"));
    QVERIFY(form.open(QIODevice::ReadOnly));
    QByteArray misnamed = form.readAll();
    QVERIFY(misnamed.contains("<string notr=\"true\">filter.resonance</string>"));
    misnamed.replace("<string notr=\"true\">filter.resonance</string>", "<string notr=\"true\">filter.resonanse</string>");
    const QString misnamedForm = writeFile(dir, QStringLiteral("misnamed.ui"), misnamed);
    const QString brokenForm = writeFile(dir, QStringLiteral("broken.ui"), "<ui version=\"4.0\"><widget class=");

    const Case cases[] = {
        {{QStringLiteral("--set"), QStringLiteral("filter.cutoff=100000")}, QStringLiteral("outside")},
        {{QStringLiteral("--set"), QStringLiteral("no.such=1")}, QStringLiteral("\"no.such\" is not a parameter")},
        {{QStringLiteral("--set"), QStringLiteral("filter.cutoff")}, QStringLiteral("expected name=integer")},
        {{QStringLiteral("--set"), QStringLiteral("filter.cutoff=high")}, QStringLiteral("expected name=integer")},
        {{QStringLiteral("--map"), badMap}, QStringLiteral("bad.json:4")},
        {{QStringLiteral("--map"), dir.filePath(QStringLiteral("missing.json"))}, QStringLiteral("missing.json")},
        {{QStringLiteral("--form"), misnamedForm}, QStringLiteral("filterResonance: namedAddress \"filter.resonanse\"")},
        {{QStringLiteral("--form"), brokenForm}, QStringLiteral("broken.ui")},
        {{QStringLiteral("--context-menu"), QStringLiteral("filterCutof")}, QStringLiteral("no bound control")},
    };
    for (const Case& c : cases) {
        const Run run = runDemo(c.args + QStringList{QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("x.png"))});
        const QString what = c.args.join(QLatin1Char(' ')) + QStringLiteral(": ") + run.err;
        QVERIFY2(run.exitCode > 0, qPrintable(what));
        QVERIFY2(run.err.contains(c.message), qPrintable(what));
        QVERIFY2(!QFile::exists(dir.filePath(QStringLiteral("x.png"))), qPrintable(what));
    }
}

void TestSynthPanel::automationStartsAndStops()
{
    // The program quits while its automation thread writes.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("auto.png"));
    const Run run = runDemo({QStringLiteral("--automate"), QStringLiteral("--screenshot"), shot});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(!QImage(shot).isNull());

    TReferenceMemory_Orvel memory;
    QString error;
    QVERIFY(memory.loadMap(QStringLiteral(":/synthpanel/synthpanel.json"), &error));
    Automation automation(&memory);
    QVERIFY(!automation.addLane(QStringLiteral("no.such"), 1.0, 0.0, &error));
    QVERIFY(error.contains(QLatin1String("no.such")));
    QVERIFY(!automation.addLane(QStringLiteral("lfo.rate"), 0.0, 0.0, &error));
    automation.start(); // no lanes: nothing to run
    QVERIFY(!automation.isRunning());

    QVERIFY(automation.addLane(QStringLiteral("lfo.rate"), 0.05, 0.25, &error));
    QVERIFY(!automation.addGateLane(QStringLiteral("voice.1"), 0.05, 0.0, 1.5, &error));
    QVERIFY(error.contains(QLatin1String("duty")));
    QVERIFY(automation.addGateLane(QStringLiteral("voice.1"), 0.02, 0.0, 0.5, &error));
    QSignalSpy running(&automation, &Automation::runningChanged);
    automation.start();
    QVERIFY(automation.isRunning());
    QVERIFY(!automation.addLane(QStringLiteral("lfo.depth"), 1.0, 0.0, &error)); // not while running
    TParamAddress rate;
    QVERIFY(memory.lookupName(QStringLiteral("lfo.rate"), rate));
    const int before = memory.value(rate.high, rate.mid, rate.low);
    QTRY_VERIFY(memory.value(rate.high, rate.mid, rate.low) != before);
    // A gate opens and closes: both ends of its range are seen.
    TParamAddress gate;
    QVERIFY(memory.lookupName(QStringLiteral("voice.1"), gate));
    QSet<int> seen;
    QTRY_VERIFY((seen << memory.value(gate.high, gate.mid, gate.low)).size() == 2);
    QCOMPARE(seen, (QSet<int>{0, 1}));
    automation.stop();
    QVERIFY(!automation.isRunning());
    QCOMPARE(running.count(), 2);

    // Nothing is written after stop() returned.
    const quint64 writes = automation.writes();
    const int last = memory.value(rate.high, rate.mid, rate.low);
    QVERIFY(writes > 0);
    QCoreApplication::processEvents();
    QCOMPARE(automation.writes(), writes);
    QCOMPARE(memory.value(rate.high, rate.mid, rate.low), last);
}

void TestSynthPanel::editActionsWorkOnTheFocusedControl()
{
    TReferenceMemory_Orvel memory;
    QString error;
    QWidget* panel = SynthWindow::loadPanel(memory, QStringLiteral(":/synthpanel/synthpanel.json"),
                                            QStringLiteral(":/synthpanel/synthpanel.ui"), 1.0, &error);
    QVERIFY2(panel, qPrintable(error));
    memory.setUndoMergeInterval(0); // every edit its own step
    SynthWindow window(&memory, panel);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    auto knob = [&](const char* name) { return panel->findChild<CDial_Orvel*>(QLatin1String(name)); };
    auto value = [&](const char* name) {
        const auto param = memory.parameterByName(QLatin1String(name));
        return param ? param->value : INT_MIN;
    };
    CDial_Orvel* osc1Level = knob("osc1Level");
    CDial_Orvel* osc2Level = knob("osc2Level");
    CDial_Orvel* cutoff = knob("filterCutoff");
    QVERIFY(osc1Level && osc2Level && cutoff);
    QVERIFY(!osc1Level->combinedImage().isNull()); // the strips come from the resources
    QCOMPARE(osc1Level->size(), QSize(48, 48));

    // Nothing focused: nothing to act on.
    panel->findChild<QLineEdit*>(QStringLiteral("patchName"))->setFocus();
    QTRY_VERIFY(!window.currentControl());
    QVERIFY(!window.copyAction()->isEnabled());
    QVERIFY(!window.copyValue());
    QVERIFY(!window.resetValue());

    // Copy from one oscillator's level, paste into the other's: one undoable step.
    memory.write(0, 0, 4, 33);
    osc1Level->setFocus();
    QTRY_COMPARE(window.currentControl(), osc1Level);
    QVERIFY(window.copyAction()->isEnabled());
    QTest::keyClick(osc1Level, Qt::Key_C, Qt::ControlModifier); // the shortcut reaches the action past the knob
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    QVERIFY(clip && clip->hasFormat(QLatin1String(TEditorConveniences_Orvel::MimeType)));
    QCOMPARE(clip->text(), QStringLiteral("26%"));
    QVERIFY(window.pasteAction()->isEnabled());

    const int osc2Before = value("osc2.level");
    QVERIFY(osc2Before != 33);
    osc2Level->setFocus();
    QTRY_COMPARE(window.currentControl(), osc2Level);
    QUndoStack* undo = memory.undoStack();
    const int steps = undo->count();
    QVERIFY(window.pasteValue());
    QCOMPARE(value("osc2.level"), 33);
    QCOMPARE(osc2Level->value(), 33);
    QCOMPARE(undo->count(), steps + 1);
    QVERIFY2(window.undoAction()->text().contains(QLatin1String("Osc 2 Level")), qPrintable(window.undoAction()->text()));
    QTest::keySequence(osc2Level, QKeySequence::Undo);
    QCOMPARE(value("osc2.level"), osc2Before);
    window.redoAction()->trigger();
    QCOMPARE(value("osc2.level"), 33);

    // A level does not fit the filter cutoff; a damaged record fits nothing.
    cutoff->setFocus();
    QTRY_COMPARE(window.currentControl(), cutoff);
    const int cutoffBefore = value("filter.cutoff");
    QVERIFY(!window.pasteValue());
    QCOMPARE(value("filter.cutoff"), cutoffBefore);
    QByteArray damaged = clip->data(QLatin1String(TEditorConveniences_Orvel::MimeType));
    damaged[13] = char(damaged[13] ^ 0x55);
    auto* data = new QMimeData;
    data->setData(QLatin1String(TEditorConveniences_Orvel::MimeType), damaged);
    QGuiApplication::clipboard()->setMimeData(data);
    osc1Level->setFocus();
    QTRY_COMPARE(window.currentControl(), osc1Level);
    QVERIFY(!window.pasteValue());
    QCOMPARE(value("osc1.level"), 33);

    // Reset and alternative reset of the cutoff, each undoable.
    cutoff->setFocus();
    QTRY_COMPARE(window.currentControl(), cutoff);
    memory.write(0, 2, 17, 5);
    const auto param = memory.parameterByName(QStringLiteral("filter.cutoff"));
    QVERIFY(param && param->altDefault && *param->altDefault != param->defaultValue);
    QVERIFY(window.resetValue());
    QCOMPARE(value("filter.cutoff"), param->defaultValue);
    QVERIFY(window.resetToAlternative());
    QCOMPARE(value("filter.cutoff"), *param->altDefault);
    QCOMPARE(cutoff->value(), *param->altDefault);
    window.undoAction()->trigger();
    QCOMPARE(value("filter.cutoff"), param->defaultValue);

    // A fader is a control like the knobs: copy takes its text as the fader shows it.
    auto* sustain = panel->findChild<CFader_Orvel*>(QStringLiteral("ampSustain"));
    QVERIFY(sustain);
    sustain->setFocus();
    QTRY_COMPARE(window.currentControl(), sustain);
    QVERIFY(window.copyValue());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("79%"));

    // The panel's context menu (the form loader attaches it): a right click on a knob offers its
    // entries; Reset to Default goes through the knob and is undoable; a Ctrl-click resets too.
    memory.write(0, 2, 17, 7);
    QTest::mouseClick(cutoff, Qt::RightButton, {}, cutoff->rect().center());
    QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QStringList entries;
    QAction* resetEntry = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        entries << action->text();
        if (action->text() == QLatin1String("Reset to Default"))
            resetEntry = action;
    }
    QCOMPARE(entries.mid(0, 4), (QStringList{"Copy Value", "Paste Value", "Reset to Default", "Reset to Alternative Default"}));
    QVERIFY(entries.size() == 6 && entries[4].startsWith(QLatin1String("Undo")) && entries[5].startsWith(QLatin1String("Redo")));
    resetEntry->trigger();
    QCOMPARE(value("filter.cutoff"), param->defaultValue);
    QVERIFY(window.statusBar()->currentMessage().contains(QLatin1String("Filter Cutoff reset")));
    memory.write(0, 2, 17, 7);
    QTest::mouseClick(cutoff, Qt::LeftButton, Qt::ControlModifier, cutoff->rect().center());
    QCOMPARE(value("filter.cutoff"), param->defaultValue);

    // The image header switches the pages (the tab widget's own bar is hidden), and back.
    auto* header = panel->findChild<CPixmapSwitcher_Orvel*>(QStringLiteral("pageTabs"));
    auto* pages = panel->findChild<QTabWidget*>(QStringLiteral("pages"));
    QVERIFY(header && pages);
    QCOMPARE(window.pageCount(), 2);
    QVERIFY(!pages->tabBar()->isVisible());
    QTest::mouseClick(header, Qt::LeftButton, {}, QPoint(200, 12));
    QCOMPARE(pages->currentIndex(), 1);
    QVERIFY(panel->findChild<QWidget*>(QStringLiteral("lfoShape"))->isVisible());
    QVERIFY(window.showPage(0));
    QCOMPARE(header->getCurrentImageID(), 0);
}

void TestSynthPanel::selectorsLabelsAndEditorsOfThePanel()
{
    TReferenceMemory_Orvel memory;
    QString error;
    QWidget* panel = SynthWindow::loadPanel(memory, QStringLiteral(":/synthpanel/synthpanel.json"),
                                            QStringLiteral(":/synthpanel/synthpanel.ui"), 1.0, &error);
    QVERIFY2(panel, qPrintable(error));
    SynthWindow window(&memory, panel);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto value = [&](const char* name) {
        const auto param = memory.parameterByName(QLatin1String(name));
        return param ? param->value : INT_MIN;
    };

    // The filter type popup lists the memory's table; a click on a cell writes that entry.
    auto* filterType = panel->findChild<CPopup_Orvel*>(QStringLiteral("filterType"));
    QVERIFY(filterType);
    QCOMPARE(filterType->text(), QStringLiteral("LP 24"));
    QTest::mousePress(filterType, Qt::LeftButton);
    CPopupItem_Orvel* grid = filterType->PopupItem();
    QVERIFY(grid);
    QTRY_VERIFY(grid->isVisible());
    QCOMPARE(grid->labels(), (QStringList{"LP 24", "LP 12", "Band", "HP 12"}));
    // Two columns; grouped by the first letter, the low-pass types share a row.
    QCOMPARE(grid->grid(), (QVector<QVector<int>>{{0, 1}, {2, -1}, {3, -1}}));
    QTest::mouseClick(grid->cellAt(2), Qt::LeftButton);
    QCOMPARE(value("filter.type"), 2);
    QTRY_COMPARE(filterType->text(), QStringLiteral("Band"));
    QTRY_VERIFY(!filterType->PopupItem());
    window.undoAction()->trigger();
    QCOMPARE(value("filter.type"), 0);
    QTRY_COMPARE(filterType->text(), QStringLiteral("LP 24"));

    // A text slider follows a vertical drag, two pixels a step; the memory holds the result.
    QVERIFY(window.showPage(1));
    auto* transpose = panel->findChild<CTextSlider_Orvel*>(QStringLiteral("masterTranspose"));
    QVERIFY(transpose);
    QCOMPARE(transpose->text(), QStringLiteral("none"));
    const QPoint middle = transpose->rect().center();
    QTest::mousePress(transpose, Qt::LeftButton, {}, middle);
    QTest::mouseMove(transpose, middle - QPoint(0, 10));
    QTest::mouseRelease(transpose, Qt::LeftButton, {}, middle - QPoint(0, 10));
    QCOMPARE(value("master.transpose"), 5);
    QCOMPARE(transpose->text(), QStringLiteral("+5 st"));
    QVERIFY(window.showPage(0));

    // The knobs feed their value labels.
    auto* cutoffValue = panel->findChild<CLabelDisplay_Orvel*>(QStringLiteral("filterCutoffValue"));
    QVERIFY(cutoffValue);
    memory.write(0, 2, 17, 127);
    QTRY_COMPARE(cutoffValue->text(), QStringLiteral("20.0 kHz"));

    // A fader's caption shows the value while the fader is held, its caption again afterwards;
    // the fader's texts outside a drag (automation) leave the caption alone.
    auto* attack = panel->findChild<CFader_Orvel*>(QStringLiteral("ampAttack"));
    auto* attackValue = panel->findChild<CLabelDisplay_Orvel*>(QStringLiteral("ampAttackValue"));
    auto* attackCaption = panel->findChild<CLabelDisplay_Orvel*>(QStringLiteral("ampAttackCaption"));
    QVERIFY(attack && attackValue && attackCaption);
    memory.write(0, 3, 32, 250);
    QTRY_COMPARE(attackValue->text(), QStringLiteral("2.50 s"));
    QCOMPARE(attackCaption->text(), QStringLiteral("ATTACK"));
    const QPoint thumb = attack->sliderRect().center();
    QTest::mousePress(attack, Qt::LeftButton, {}, thumb);
    QVERIFY(attackCaption->text().endsWith(QLatin1String(" s")));
    QCOMPARE(attackCaption->text(), attackValue->text());
    QTest::mouseRelease(attack, Qt::LeftButton, {}, thumb);
    QCOMPARE(attackCaption->text(), attackValue->text());
    QTRY_COMPARE(attackCaption->text(), QStringLiteral("ATTACK"));

    // A double click on the envelope caption opens the envelope view for channel 0.
    auto* curve = panel->findChild<CHotspotLabel_Orvel*>(QStringLiteral("ampCurve"));
    QVERIFY(curve);
    QVERIFY(window.findChildren<EnvelopeView*>().isEmpty());
    QTest::mouseDClick(curve, Qt::LeftButton, {}, curve->rect().center());
    const QList<EnvelopeView*> views = window.findChildren<EnvelopeView*>();
    QCOMPARE(views.size(), 1);
    QCOMPARE(views.first()->property("channel").toInt(), 0);
    QTRY_VERIFY(views.first()->isVisible());
    QCOMPARE(views.first()->stages(), (QList<int>{value("amp.attack"), value("amp.decay"), value("amp.sustain"), value("amp.release")}));
    memory.write(0, 3, 34, 0);
    QTRY_COMPARE(views.first()->stages().at(2), 0);
    views.first()->close(); // deletes itself

    // The patch name: Return keeps the typed name, Escape brings the kept one back; characters
    // outside the name set are refused.
    auto* name = panel->findChild<CNameEditor_Orvel*>(QStringLiteral("patchName"));
    QVERIFY(name);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    name->setFocus();
    QTRY_VERIFY(name->hasFocus());
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Bass {1}"));
    QCOMPARE(name->text(), QStringLiteral("Bass 1"));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(window.patchName(), QStringLiteral("Bass 1"));
    QVERIFY(window.windowTitle().startsWith(QLatin1String("Bass 1 - ")));
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral(" X"));
    QTest::keyClick(name, Qt::Key_Escape);
    QCOMPARE(name->text(), QStringLiteral("Bass 1"));
    QCOMPARE(window.patchName(), QStringLiteral("Bass 1"));
}

QTEST_MAIN(TestSynthPanel)
#include "tst_synthpanel.moc"

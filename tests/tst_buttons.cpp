// The button family: the on/off button (value road, strip cutting, triggers and tracking, keys,
// record sharing through the cache server), the radio button (selector group, strip, click
// delay, focus) and the pixmap switcher (rows, stepping, tabs, palette mode), with bad input.
#include "binding/notifier.h"
#include "binding/records.h"
#include "binding/services.h"
#include "buttons/conoffbutton.h"
#include "buttons/cpixmapswitcher.h"
#include "buttons/cradiobutton.h"
#include "support/recordingmemory.h"
#include "support/controlpictures.h"

#include <QButtonGroup>
#include <QDataStream>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <thread>


namespace {

using Button = COnOffButton_Orvel;

// A button showing a strip of `cols` x `rows` cells of `w` x `h`.
Button* stripButton(QWidget* parent, int cols, int rows, int w = 16, int h = 16, const char* name = nullptr)
{
    auto* b = new Button(parent, name);
    b->setnSubImages(rows);
    b->setnImageCategories(cols);
    b->setCombinedImage(makeStrip(cols, rows, w, h));
    return b;
}

class ServerWindow : public QWidget, public TCacheServer
{
public:
    using QWidget::QWidget;
};

// Buttons bound to parameter 1:2:3 ("mode") of a recording memory, in a shown window.
struct Rig
{
    Rig() { memory.setParameter(1, 2, 3, {0, 7, 0, 4, {}, true}); memory.addName("mode", TParamAddress{1, 2, 3, 0}); }
    template <class T>
    T* add(T* control, const QString& name)
    {
        memory.nameProxy(control, name);
        control->setNamedAddress(QStringLiteral("mode"));
        control->setMemAPI(&memory);
        return control;
    }
    void show()
    {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCoreApplication::sendPostedEvents();
        memory.clearCalls();
    }
    RecordingMemory memory;
    QWidget window;
};

QStringList writes(int value, const char* who = "b")
{
    if (value < 0)
        return {};
    return {QStringLiteral("setValue(1,2,3,%1,undo:%2,1)").arg(value).arg(QLatin1String(who))};
}

} // namespace

class TestButtons : public QObject
{
    Q_OBJECT
private slots:
    // Value to state and state to value for plain, value-row and inverted buttons.
    void onOffValueRoad_data()
    {
        QTest::addColumn<int>("clip");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<bool>("offState");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("clickWrites"); // -1: nothing
        QTest::newRow("plain, 1 is on") << 0 << false << false << 1 << true << 0;
        QTest::newRow("plain, 0 is off") << 0 << false << false << 0 << false << 1;
        QTest::newRow("plain, 5 is off") << 0 << false << false << 5 << false << 1;
        QTest::newRow("row, selected ignores clicks") << 3 << false << false << 2 << true << -1;
        QTest::newRow("row, unselected writes 2") << 3 << false << false << 1 << false << 2;
        QTest::newRow("row with off state") << 3 << false << true << 2 << true << 0;
        QTest::newRow("inverted, 1 is off") << 0 << true << false << 1 << false << 0;
        QTest::newRow("inverted, 3 is on") << 0 << true << false << 3 << true << 1;
    }
    void onOffValueRoad()
    {
        QFETCH(int, clip);
        QFETCH(bool, inverted);
        QFETCH(bool, offState);
        QFETCH(int, value);
        QFETCH(bool, on);
        QFETCH(int, clickWrites);
        Rig rig;
        rig.memory.setNotifyOnWrite(false);
        Button* b = rig.add(stripButton(&rig.window, 1, 3), "b");
        b->setBoolClipValue(clip);
        b->setInvertedLogic(inverted);
        b->setHasOffState(offState);
        rig.show();

        rig.memory.hostWrite(1, 2, 3, value);
        QCOMPARE(b->isOn(), on);
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty()); // a memory change is never written back
        rig.memory.clearCalls();
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(rig.memory.callsNamed("setValue"), writes(clickWrites));
        QCOMPARE(b->isOn(), clickWrites < 0 ? on : !on);

        // Arrow keys toggle only with a focus colour, writing what a click writes, except that a
        // selected row button is switched off silently.
        b->setOn(on);
        b->setFocus();
        rig.memory.clearCalls();
        QTest::keyClick(b, Qt::Key_Down);
        QCOMPARE(b->isOn(), on);
        b->setFocusColor(Qt::red);
        QTest::keyClick(b, Qt::Key_Down);
        QCOMPARE(b->isOn(), !on);
        QCOMPARE(rig.memory.callsNamed("setValue"), writes((clip && !offState && on) ? -1 : clickWrites));
    }

    // The memory's operations, the notifier, plain values, deletion during a refresh, threads.
    void onOffOperations()
    {
        Rig rig;
        rig.memory.setNotifyOnWrite(false);
        auto* b = rig.add(new Button(&rig.window), "b");
        rig.show();
        QCOMPARE(memProxyOf(b), static_cast<TMemProxy_Orvel*>(b));
        b->process(nullptr, 1, 0); // the default 4 is off, as the button already is
        QCOMPARE(rig.memory.calls(), QStringList({"currentValue(1,2,3,0,0)", "defaultValue(1,2,3,0,null)"}));
        rig.memory.hostWrite(1, 2, 3, 1);
        rig.memory.clearCalls();
        b->process(nullptr, 4, 0);
        b->process(nullptr, 9, 0);
        QVERIFY(b->isOn());
        QCOMPARE(rig.memory.calls(), QStringList({"currentValue(1,2,3,0,0)", "currentValue(1,2,3,0,0)"}));

        // Copy writes the current value; a pasted 0 is applied and stored as a user edit.
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        b->process(reinterpret_cast<const Q_UINT8*>(&out), 3, 0);
        qint16 h, m, l;
        qint32 v;
        QVERIFY(TParamInfoReader_Orvel::decode(bytes, h, m, l, v) && v == 1);
        rig.memory.setAcceptedRecordLows({3});
        QDataStream in(TParamInfoWriter_Orvel::encode(1, 2, 3, 0));
        rig.memory.clearCalls();
        b->process(reinterpret_cast<const Q_UINT8*>(&in), 2, 0);
        QVERIFY(!b->isOn());
        QCOMPARE(rig.memory.callsNamed("setValue"), writes(0));

        // Plain values: the state follows, the memory is not touched, also without a memory.
        rig.memory.clearCalls();
        b->setNonBoolValue(1);
        QVERIFY(b->isOn() && rig.memory.callsNamed("setValue").isEmpty());
        Button loose;
        loose.setNonBoolValue(1);
        QVERIFY(loose.isOn());
        loose.setBoolClipValue(INT_MIN); // stands for INT_MAX, by wrapping
        loose.setNonBoolValue(INT_MAX);
        QVERIFY(loose.isOn());

        // A notifier supplies the value; once it is gone the memory does again.
        auto* notifier = new CSimpleNotifier_Orvel;
        notifier->setNotifiedValue(0);
        b->setSelectionObject(notifier);
        b->process(nullptr, 0, 0);
        QVERIFY(!b->isOn());
        delete notifier;
        rig.memory.hostWrite(1, 2, 3, 1);
        QVERIFY(b->isOn());

        // Buttons deleted by a receiver of their state change during a refresh.
        auto* doomed = rig.add(new Button(&rig.window), "d");
        auto* doomedRadio = rig.add(new CRadioButton_Orvel(&rig.window), "dr");
        QObject::connect(doomed, &Button::stateChanged, doomed, [doomed] { delete doomed; });
        QObject::connect(doomedRadio, &CRadioButton_Orvel::stateChanged, doomedRadio, [doomedRadio] { delete doomedRadio; });
        const QPointer<QObject> watch1(doomed), watch2(doomedRadio);
        rig.memory.hostWrite(1, 2, 3, 1);
        QVERIFY(!watch1 && !watch2 && b->isOn());

        // Off the GUI thread only an observer event is asked for.
        const int before = rig.memory.observerEventsRequested();
        std::thread([b] { b->process(nullptr, 0, 0); }).join();
        QCOMPARE(rig.memory.observerEventsRequested(), before + 1);
    }

    // Cutting: cell size, columns, the disabled row, the base pixmap canvas, bad strips.
    void onOffStripCutting()
    {
        QWidget window;
        Button* b = stripButton(&window, 2, 3, 30, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(b->size(), QSize(30, 30));
        QCOMPARE(at(b, 15, 15), cellColour(0, 1).rgb()); // off: row 1
        b->setOn(true);
        QCOMPARE(at(b, 15, 15), cellColour(0, 0).rgb());
        b->setCurrentImage(1);
        QCOMPARE(at(b, 15, 15), cellColour(1, 0).rgb());
        b->setCurrentImage(2);
        QCOMPARE(b->currentImageId(), 1);
        QCOMPARE(b->record()->images[2].toImage().pixel(5, 5), cellColour(1, 2).rgb());

        // A change of state shows the new image once: its half-transparent pixels are not
        // blended a second time over the face that already holds them.
        QImage translucent(16, 32, QImage::Format_ARGB32_Premultiplied);
        translucent.fill(QColor(200, 40, 40, 128));
        auto* glass = new Button(&window);
        glass->setnSubImages(2);
        glass->setCombinedImage(QPixmap::fromImage(translucent));
        glass->show();
        QTRY_COMPARE(glass->size(), QSize(16, 16));
        for (const bool on : {true, false, true}) {
            glass->setOn(on);
            QCOMPARE(qAlpha(at(glass, 8, 8)), 128);
        }

        // Four rows: row 3 is the disabled image even without hasDisableImage.
        Button* four = stripButton(&window, 1, 4);
        four->show();
        QTRY_COMPARE(four->size(), QSize(16, 16));
        four->setimagesSwapped(true); // row 0 is now the off image
        four->updateErasePixmapSlot();
        QCOMPARE(at(four, 8, 8), cellColour(0, 0).rgb());
        four->setEnabled(false);
        QVERIFY(isGrey(at(four, 8, 8))); // without hasDisableImage: grey state image
        four->setHasDisableImage(true);
        four->updateErasePixmapSlot();
        QCOMPARE(at(four, 8, 8), cellColour(0, 3).rgb());
        QVERIFY(four->combinedImage().isNull()); // a single column is cut once only

        // A larger base pixmap is the canvas; the cell is centred on it.
        Button* framed = stripButton(&window, 1, 2, 10, 10);
        QPixmap base(24, 20);
        base.fill(Qt::black);
        framed->setPixmap(base);
        framed->show();
        QTRY_COMPARE(framed->size(), QSize(24, 20));
        QCOMPARE(at(framed, 1, 1), qRgb(0, 0, 0));
        QCOMPARE(at(framed, 7, 5), cellColour(0, 1).rgb());
        QCOMPARE(at(framed, 17, 15), qRgb(0, 0, 0));

        // Bad input: no rows, no columns, a strip smaller than its grid, no strip.
        const struct { int rows, cols; QPixmap strip; } bad[] = {
            {0, 1, makeStrip(1, 3)}, {3, 0, makeStrip(1, 3)}, {3, 1, makeStrip(1, 1, 2, 2)}, {256, 1, QPixmap()}};
        for (const auto& c : bad) {
            auto* x = new Button(&window);
            x->setnSubImages(c.rows);
            x->setnImageCategories(c.cols);
            x->setCombinedImage(c.strip);
            x->resize(10, 10);
            x->show();
            QCoreApplication::processEvents();
            x->setCurrentImage(0);
            x->setCurrentImage(-1);
            QTest::mouseClick(x, Qt::LeftButton);
            QVERIFY(x->record()->images[0].isNull());
            QCOMPARE(at(x, 5, 5), qRgba(0, 0, 0, 0));
        }
    }

    // Release trigger: the tracking image while pressed and 100 ms after; push trigger: at once.
    void onOffTriggersAndTracking()
    {
        Rig rig;
        Button* b = rig.add(stripButton(&rig.window, 1, 3), "b");
        Button* doomed = stripButton(&rig.window, 1, 3);
        rig.show();
        // A button may go while its click delay runs (b's own delay, below, runs out after it).
        QTest::mouseClick(doomed, Qt::LeftButton);
        delete doomed;
        const QPoint c(8, 8);
        QTest::mousePress(b, Qt::LeftButton, {}, c);
        QVERIFY(!b->isOn());
        QCOMPARE(at(b, 8, 8), cellColour(0, 2).rgb());
        QTest::mouseRelease(b, Qt::LeftButton, {}, c);
        QVERIFY(b->isOn());
        QCOMPARE(at(b, 8, 8), cellColour(0, 2).rgb()); // still tracking
        QTRY_COMPARE(at(b, 8, 8), cellColour(0, 0).rgb());

        b->setOffStateTrigger(Button::buttonPush);
        QTest::mousePress(b, Qt::LeftButton, {}, c);
        QVERIFY(!b->isOn());
        QCOMPARE(at(b, 8, 8), cellColour(0, 1).rgb()); // no tracking image
        QTest::mouseRelease(b, Qt::LeftButton, {}, c);
        QVERIFY(!b->isOn());

        // A right press does nothing; disabledUI ignores presses.
        QTest::mouseClick(b, Qt::RightButton, {}, c);
        b->setDisabledUI(true);
        QTest::mouseClick(b, Qt::LeftButton, {}, c);
        QVERIFY(!b->isOn());

        // Focus hilite with a focus colour.
        b->setDisabledUI(false);
        const QRgb plain = at(b, 8, 8);
        b->setFocusColor(QColor(255, 255, 0));
        b->setFocus();
        QTRY_VERIFY(b->hasFocus());
        QVERIFY(at(b, 8, 8) != plain);
    }

    // Buttons of one name and one column under one server share one record.
    void onOffRecordSharing()
    {
        auto* server = new ServerWindow;
        Button* first = stripButton(new QWidget(server), 1, 2, 16, 16, "shared");
        Button* second = stripButton(server, 1, 3, 20, 20, "shared");
        auto* twoColumns = new Button(server, "wide");
        twoColumns->setnImageCategories(2);
        auto* other = new Button(server, "other");
        auto* named = new Button(server);
        named->setObjectName(QStringLiteral("shared")); // named after construction, as forms are
        server->show();
        QVERIFY(QTest::qWaitForWindowExposed(server));
        QVERIFY(first->recordFromCache() && second->recordFromCache() && named->recordFromCache());
        QCOMPARE(first->record(), second->record());
        QCOMPARE(named->record(), first->record());
        QCOMPARE(first->record()->useCount, 3);
        QVERIFY(first->record()->key.isNull());
        QCOMPARE(second->nSubImages(), 2); // its own settings were discarded
        QCOMPARE(second->size(), QSize(16, 16));
        QCOMPARE(shot(second), shot(first));
        QVERIFY(!twoColumns->recordFromCache() && twoColumns->record()->key.isEmpty());
        QVERIFY(other->recordFromCache() && other->record() != first->record());
        QCOMPARE(server->cache.size(), 2);

        // Leaving the server's window gives the button its own copy.
        QWidget elsewhere;
        second->setParent(&elsewhere);
        QVERIFY(!second->recordFromCache() && second->record() != first->record());
        QCOMPARE(second->nSubImages(), 2);
        QPointer<Button> gone(first);
        delete server; // takes its buttons, then the records
        QVERIFY(gone.isNull());
        QCOMPARE(second->record()->images[0].size(), QSize(16, 16));

        // Without a server the key is dropped and nothing is shared.
        auto* alone = new Button(&elsewhere, "shared");
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
        QVERIFY(!alone->recordFromCache() && alone->record()->key.isNull());
    }

    // Three radio buttons for the values 0, 1, 2 in one exclusive group.
    void radioSelector()
    {
        Rig rig;
        QButtonGroup group;
        QList<CRadioButton_Orvel*> radios;
        for (int i = 0; i < 3; ++i) {
            radios << rig.add(new CRadioButton_Orvel(&rig.window), QStringLiteral("r%1").arg(i));
            radios[i]->setOnValue(i);
            radios[i]->setGeometry(i * 30, 0, 20, 20);
            group.addButton(radios[i]);
        }
        rig.show();
        rig.memory.hostWrite(1, 2, 3, 1);
        QCOMPARE(group.checkedButton(), radios[1]);
        QCOMPARE(radios[1]->focusPolicy(), Qt::StrongFocus);
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty());

        rig.memory.clearCalls();
        QTest::mouseClick(radios[2], Qt::LeftButton);
        QCOMPARE(rig.memory.callsNamed("setValue"), writes(2, "r2"));
        QCOMPARE(group.checkedButton(), radios[2]);
        QVERIFY(!radios[1]->isOn() && !radios[0]->isOn());

        // A value no button stands for: states stay, every button loses its focus policy.
        rig.memory.hostWrite(1, 2, 3, 5);
        QCOMPARE(group.checkedButton(), radios[2]);
        for (auto* r : radios)
            QCOMPARE(r->focusPolicy(), Qt::NoFocus);

        // Focus given by other means than the mouse switches an off button on and writes.
        rig.memory.clearCalls();
        radios[0]->setFocusPolicy(Qt::StrongFocus);
        radios[0]->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(radios[0]->isOn());
        QCOMPARE(rig.memory.callsNamed("setValue"), writes(0, "r0"));
        QVERIFY(!radios[2]->isOn());
    }

    // Images, the strip above two rows, the grey look and the click delay.
    void radioDrawing()
    {
        QWidget window;
        auto* r = new CRadioButton_Orvel(&window);
        r->setOffState(makeStrip(1, 1, 12, 12));
        QCOMPARE(r->size(), QSize(12, 12));
        r->setCombinedImage(makeStrip(1, 3, 12, 12));
        r->setnSubImages(2); // not used: the off image shows
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(at(r, 6, 6), cellColour(0, 0).rgb());
        r->setnSubImages(3);
        QCOMPARE(at(r, 6, 6), cellColour(0, 1).rgb());
        r->setOn(true);
        QCOMPARE(at(r, 6, 6), cellColour(0, 0).rgb());
        r->setEnabled(false);
        QVERIFY(isGrey(at(r, 6, 6)));
        r->setEnabled(true);

        QPixmap tracking(12, 12);
        tracking.fill(Qt::white);
        r->setnSubImages(0);
        r->setTrackingState(tracking);
        r->setClickDelay(300);
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, 6));
        QVERIFY(r->isTracking());
        QCOMPARE(at(r, 6, 6), qRgb(255, 255, 255));
        QTRY_VERIFY(!r->isTracking());
        QVERIFY(at(r, 6, 6) != qRgb(255, 255, 255));
        r->setOffState(QPixmap()); // a null image keeps the size
        QCOMPARE(r->size(), QSize(12, 12));

        // Without images the style draws it.
        CRadioButton_Orvel styled;
        QRadioButton plain;
        for (QAbstractButton* w : std::initializer_list<QAbstractButton*>{&styled, &plain}) {
            w->resize(20, 20);
            w->setChecked(true);
        }
        QCOMPARE(shot(&styled), shot(&plain));
    }

    void switcherRows()
    {
        QWidget window;
        auto* s = new CPixmapSwitcher_Orvel(&window);
        s->setCombinedImage(makeStrip(2, 3, 50, 100));
        s->setnSubImages(3);
        s->setnImageCategories(2);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(s->size(), QSize(50, 100));
        QSignalSpy spy(s, &CPixmapSwitcher_Orvel::indexChanged);
        for (const int id : {1, 1, 3, -2})
            s->setCurrentImage(id);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(at(s, 10, 50), cellColour(0, 1).rgb());
        s->setCurrentImage(2);
        s->toggleImage();
        QCOMPARE(s->getCurrentImageID(), 0);
        QCOMPARE(spy.last().first().toInt(), 0);

        // Tabs: area x 10, width 90, three tabs of 30; the edges do nothing.
        s->setTabbed(true);
        s->setTabArea(QRect(10, 0, 90, 100));
        s->setFixedSize(120, 100);
        const std::pair<int, int> clicks[] = {{40, 1}, {10, 1}, {99, 1}, {98, 2}}; // x, tab
        for (const auto& [x, id] : clicks) {
            QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(x, 50));
            QCOMPARE(s->getCurrentImageID(), id);
        }

        // Palette mode: the row is the background, the label's text is drawn over it.
        s->setUsesPalleteBitmap(true);
        s->setText(QStringLiteral("XXXXXXXX"));
        s->setCurrentImage(0);
        QCOMPARE(s->size(), QSize(50, 100));
        QCOMPARE(s->palette().brush(s->backgroundRole()).texture().width(), 100);
        QCOMPARE(at(s, 1, 1), cellColour(0, 0).rgb());
        const QImage withText = shot(s);
        bool textDrawn = false;
        for (int x = 0; x < 50 && !textDrawn; ++x)
            textDrawn = withText.pixel(x, 50) != cellColour(0, 0).rgb();
        QVERIFY(textDrawn);

        // Bad counts: nothing resizes, nothing is shown, no row is accepted; a null strip is harmless.
        CPixmapSwitcher_Orvel bad;
        bad.resize(10, 10);
        bad.setCombinedImage(makeStrip(1, 2));
        bad.setnSubImages(0);
        bad.setnImageCategories(-1);
        bad.setTabbed(true);
        bad.setTabArea(QRect(0, 0, 10, 10));
        bad.show();
        QTest::mouseClick(&bad, Qt::LeftButton, {}, QPoint(5, 5));
        bad.toggleImage();
        QCOMPARE(bad.size(), QSize(10, 10));
        QCOMPARE(bad.getCurrentImageID(), 0);
        bad.toggleVisible();
        QVERIFY(bad.isHidden());
        bad.toggleVisible();
        QVERIFY(!bad.isHidden());
    }
};

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"

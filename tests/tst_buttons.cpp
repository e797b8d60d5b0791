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

#include <QButtonGroup>
#include <QDataStream>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <thread>

namespace {

using Button = COnOffButton_Orvel;

QColor cellColour(int col, int row)
{
    return QColor(20 + row * 40, 40 + col * 100, 200 - row * 30);
}

// `cols` x `rows` opaque cells of `w` x `h`, each its own colour.
QPixmap makeStrip(int cols, int rows, int w = 16, int h = 16)
{
    QImage image(cols * w, rows * h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    for (int c = 0; c < cols; ++c)
        for (int r = 0; r < rows; ++r)
            p.fillRect(c * w, r * h, w, h, cellColour(c, r));
    p.end();
    return QPixmap::fromImage(image);
}

QImage shot(QWidget* w)
{
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QRgb at(QWidget* w, int x, int y)
{
    return shot(w).pixel(x, y);
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
        QTest::addColumn<QStringList>("clickWrites");
        const QStringList none;
        QTest::newRow("plain, 1 is on") << 0 << false << false << 1 << true << QStringList{"setValue(1,2,3,0,undo:b,1)"};
        QTest::newRow("plain, 0 is off") << 0 << false << false << 0 << false << QStringList{"setValue(1,2,3,1,undo:b,1)"};
        QTest::newRow("plain, 5 is off") << 0 << false << false << 5 << false << QStringList{"setValue(1,2,3,1,undo:b,1)"};
        QTest::newRow("row, selected ignores clicks") << 3 << false << false << 2 << true << none;
        QTest::newRow("row, unselected writes 2") << 3 << false << false << 1 << false << QStringList{"setValue(1,2,3,2,undo:b,1)"};
        QTest::newRow("row with off state") << 3 << false << true << 2 << true << QStringList{"setValue(1,2,3,0,undo:b,1)"};
        QTest::newRow("inverted, 1 is off") << 0 << true << false << 1 << false << QStringList{"setValue(1,2,3,0,undo:b,1)"};
        QTest::newRow("inverted, 3 is on") << 0 << true << false << 3 << true << QStringList{"setValue(1,2,3,1,undo:b,1)"};
    }
    void onOffValueRoad()
    {
        QFETCH(int, clip);
        QFETCH(bool, inverted);
        QFETCH(bool, offState);
        QFETCH(int, value);
        QFETCH(bool, on);
        QFETCH(QStringList, clickWrites);
        Rig rig;
        rig.memory.setNotifyOnWrite(false);
        auto* b = rig.add(new Button(&rig.window), "b");
        b->setBoolClipValue(clip);
        b->setInvertedLogic(inverted);
        b->setHasOffState(offState);
        b->setnSubImages(3);
        b->setCombinedImage(makeStrip(1, 3));
        rig.show();

        rig.memory.hostWrite(1, 2, 3, value);
        QCOMPARE(b->isOn(), on);
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty()); // a memory change is never written back
        rig.memory.clearCalls();
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(rig.memory.callsNamed("setValue"), clickWrites);
        QCOMPARE(b->isOn(), clickWrites.isEmpty() ? on : !on);

        // Arrow keys toggle only with a focus colour.
        b->setOn(on);
        b->setFocus();
        rig.memory.clearCalls();
        QTest::keyClick(b, Qt::Key_Down);
        QCOMPARE(b->isOn(), on);
        b->setFocusColor(Qt::red);
        QTest::keyClick(b, Qt::Key_Down);
        QCOMPARE(b->isOn(), !on);
        // The same writes as a click, except that a selected row button is switched off silently.
        QCOMPARE(rig.memory.callsNamed("setValue"), (clip && !offState && on) ? QStringList() : clickWrites);
    }

    // The memory's operations, the notifier and plain values.
    void onOffOperations()
    {
        Rig rig;
        rig.memory.setNotifyOnWrite(false);
        auto* b = rig.add(new Button(&rig.window), "b");
        rig.show();
        QCOMPARE(memProxyOf(b), static_cast<TMemProxy_Orvel*>(b));
        QCOMPARE(QLatin1String(b->metaObject()->className()), QLatin1String("COnOffButton"));
        b->process(nullptr, 1, 0); // the default 4 is off, as the button already is
        QCOMPARE(rig.memory.calls(), QStringList({"currentValue(1,2,3,0,0)", "defaultValue(1,2,3,0,null)"}));
        rig.memory.hostWrite(1, 2, 3, 1);
        QVERIFY(b->isOn());
        rig.memory.clearCalls();
        b->process(nullptr, 4, 0);
        b->process(nullptr, 9, 0);
        QVERIFY(b->isOn());
        QCOMPARE(rig.memory.calls(), QStringList({"currentValue(1,2,3,0,0)", "currentValue(1,2,3,0,0)"}));

        // Copy writes the current value; a pasted 0 is applied and stored as a user edit.
        QByteArray bytes;
        {
            QDataStream out(&bytes, QIODevice::WriteOnly);
            b->process(reinterpret_cast<const Q_UINT8*>(&out), 3, 0);
        }
        qint16 h, m, l;
        qint32 v;
        QVERIFY(TParamInfoReader_Orvel::decode(bytes, h, m, l, v));
        QCOMPARE(v, 1);
        rig.memory.setAcceptedRecordLows({3});
        const QByteArray zero = TParamInfoWriter_Orvel::encode(1, 2, 3, 0);
        QDataStream in(zero);
        rig.memory.clearCalls();
        b->process(reinterpret_cast<const Q_UINT8*>(&in), 2, 0);
        QVERIFY(!b->isOn());
        QCOMPARE(rig.memory.callsNamed("setValue"), QStringList({"setValue(1,2,3,0,undo:b,1)"}));

        // Plain values: the state follows, the memory is not touched, also without a memory.
        rig.memory.clearCalls();
        b->setNonBoolValue(1);
        QVERIFY(b->isOn());
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty());
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
        QVERIFY(!watch1 && !watch2);
        QVERIFY(b->isOn());

        // Off the GUI thread only an observer event is asked for.
        const int before = rig.memory.observerEventsRequested();
        std::thread([b] { b->process(nullptr, 0, 0); }).join();
        QCOMPARE(rig.memory.observerEventsRequested(), before + 1);
    }

    // Cutting: cell size, columns, the disabled row, the base pixmap canvas, bad strips.
    void onOffStripCutting()
    {
        QWidget window;
        auto* b = new Button(&window);
        b->setnSubImages(3);
        b->setnImageCategories(2);
        b->setCombinedImage(makeStrip(2, 3, 30, 30));
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

        // Four rows: row 3 is the disabled image even without hasDisableImage.
        auto* four = new Button(&window);
        four->setnSubImages(4);
        four->setCombinedImage(makeStrip(1, 4));
        four->show();
        QTRY_COMPARE(four->size(), QSize(16, 16));
        QCOMPARE(four->record()->images[3].toImage().pixel(8, 8), cellColour(0, 3).rgb());
        QCOMPARE(at(four, 8, 8), cellColour(0, 1).rgb());
        four->setimagesSwapped(true); // row 0 is now the off image
        four->updateErasePixmapSlot();
        QCOMPARE(at(four, 8, 8), cellColour(0, 0).rgb());
        four->setEnabled(false);
        const QColor grey = QColor::fromRgb(at(four, 8, 8)); // without hasDisableImage: grey state image
        QVERIFY(grey.red() == grey.green() && grey.green() == grey.blue());
        four->setHasDisableImage(true);
        four->updateErasePixmapSlot();
        QCOMPARE(at(four, 8, 8), cellColour(0, 3).rgb());
        QVERIFY(four->combinedImage().isNull()); // a single column is cut once only

        // A larger base pixmap is the canvas; the cell is centred on it.
        auto* framed = new Button(&window);
        QPixmap base(24, 20);
        base.fill(Qt::black);
        framed->setPixmap(base);
        framed->setnSubImages(2);
        framed->setCombinedImage(makeStrip(1, 2, 10, 10));
        framed->show();
        QTRY_COMPARE(framed->size(), QSize(24, 20));
        QCOMPARE(at(framed, 1, 1), qRgb(0, 0, 0));
        QCOMPARE(at(framed, 7, 5), cellColour(0, 1).rgb());
        QCOMPARE(at(framed, 17, 15), qRgb(0, 0, 0));

        // Bad input: no rows, no columns, a strip smaller than its grid, no strip.
        const QList<std::pair<int, int>> counts = {{0, 1}, {3, 0}, {3, 1}, {256, 1}};
        for (int i = 0; i < counts.size(); ++i) {
            auto* bad = new Button(&window);
            bad->setnSubImages(counts[i].first);
            bad->setnImageCategories(counts[i].second);
            bad->setCombinedImage(i == 2 ? makeStrip(1, 1, 2, 2) : (i == 3 ? QPixmap() : makeStrip(1, 3)));
            bad->resize(10, 10);
            bad->show();
            QCoreApplication::processEvents();
            bad->setCurrentImage(0);
            bad->setCurrentImage(-1);
            QTest::mouseClick(bad, Qt::LeftButton);
            QVERIFY(bad->record()->images[0].isNull());
            QCOMPARE(at(bad, 5, 5), qRgba(0, 0, 0, 0));
        }
    }

    // Release trigger: the tracking image while pressed and 100 ms after; push trigger: at once.
    void onOffTriggersAndTracking()
    {
        Rig rig;
        auto* b = rig.add(new Button(&rig.window), "b");
        b->setnSubImages(3);
        b->setCombinedImage(makeStrip(1, 3));
        rig.show();
        const QPoint c(8, 8);
        QTest::mousePress(b, Qt::LeftButton, {}, c);
        QVERIFY(!b->isOn());
        QCOMPARE(at(b, 8, 8), cellColour(0, 2).rgb());
        QTest::mouseRelease(b, Qt::LeftButton, {}, c);
        QVERIFY(b->isOn());
        QCOMPARE(rig.memory.value(1, 2, 3), 1);
        QCOMPARE(at(b, 8, 8), cellColour(0, 2).rgb()); // still tracking
        QTRY_COMPARE(at(b, 8, 8), cellColour(0, 0).rgb());

        b->setOffStateTrigger(Button::buttonPush);
        QTest::mousePress(b, Qt::LeftButton, {}, c);
        QVERIFY(!b->isOn());
        QCOMPARE(rig.memory.value(1, 2, 3), 0);
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
        // The button may go while the click delay runs.
        QTest::mouseClick(b, Qt::LeftButton, {}, c);
        delete b;
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY(clock.elapsed() > 150);
    }

    // Buttons of one name and one column under one server share one record.
    void onOffRecordSharing()
    {
        auto* server = new ServerWindow;
        auto* inner = new QWidget(server);
        auto* first = new Button(inner, "shared");
        first->setnSubImages(2);
        first->setCombinedImage(makeStrip(1, 2));
        auto* second = new Button(server, "shared");
        second->setnSubImages(3);
        second->setCombinedImage(makeStrip(1, 3, 20, 20));
        auto* twoColumns = new Button(server, "wide");
        twoColumns->setnImageCategories(2);
        auto* other = new Button(server, "other");
        server->show();
        QVERIFY(QTest::qWaitForWindowExposed(server));
        QVERIFY(first->recordFromCache() && second->recordFromCache());
        QCOMPARE(first->record(), second->record());
        QCOMPARE(first->record()->useCount, 2);
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
        QVERIFY(!second->recordFromCache());
        QVERIFY(second->record() != first->record());
        QCOMPARE(second->nSubImages(), 2);
        QPointer<Button> gone(first);
        delete server; // takes its buttons, then the records
        QVERIFY(gone.isNull());
        QCOMPARE(second->record()->images[0].size(), QSize(16, 16));

        // Without a server the key is dropped and nothing is shared.
        QWidget plain;
        auto* alone = new Button(&plain, "shared");
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        QVERIFY(!alone->recordFromCache() && alone->record()->key.isNull());
    }

    // Three radio buttons for the values 0, 1, 2 in one exclusive group.
    void radioSelector()
    {
        Rig rig;
        QButtonGroup group;
        QList<CRadioButton_Orvel*> radios;
        for (int i = 0; i < 3; ++i) {
            auto* r = rig.add(new CRadioButton_Orvel(&rig.window), QStringLiteral("r%1").arg(i));
            r->setOnValue(i);
            r->setGeometry(i * 30, 0, 20, 20);
            group.addButton(r);
            radios << r;
        }
        rig.show();
        rig.memory.hostWrite(1, 2, 3, 1);
        QCOMPARE(group.checkedButton(), radios[1]);
        QCOMPARE(radios[1]->focusPolicy(), Qt::StrongFocus);
        QCOMPARE(radios[0]->focusPolicy(), Qt::NoFocus);
        QVERIFY(rig.memory.callsNamed("setValue").isEmpty());

        rig.memory.clearCalls();
        QTest::mouseClick(radios[2], Qt::LeftButton);
        QCOMPARE(rig.memory.callsNamed("setValue"), QStringList({"setValue(1,2,3,2,undo:r2,1)"}));
        QCOMPARE(group.checkedButton(), radios[2]);
        QVERIFY(!radios[1]->isOn() && !radios[0]->isOn());
        QCOMPARE(radios[1]->focusPolicy(), Qt::NoFocus);

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
        QCOMPARE(rig.memory.callsNamed("setValue"), QStringList({"setValue(1,2,3,0,undo:r0,1)"}));
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
        const QColor grey = QColor::fromRgb(at(r, 6, 6));
        QVERIFY(grey.red() == grey.green() && grey.green() == grey.blue());
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
        plain.setAutoExclusive(false);
        for (QAbstractButton* w : {static_cast<QAbstractButton*>(&styled), static_cast<QAbstractButton*>(&plain)}) {
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
        s->setCurrentImage(1);
        s->setCurrentImage(1);
        s->setCurrentImage(3);
        s->setCurrentImage(-2);
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
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(40, 50));
        QCOMPARE(s->getCurrentImageID(), 1);
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(10, 50));
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(99, 50));
        QCOMPARE(s->getCurrentImageID(), 1);
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(98, 50));
        QCOMPARE(s->getCurrentImageID(), 2);

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

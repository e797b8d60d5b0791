// The text slider: memory road and read-back, the text rules, drags with acceleration, click
// stepping and its cursors, wheel and keys, numeric entry, the text face, and bad input.
#include "binding/numedit.h"
#include "sliders/ctextslider.h"
#include "support/controlpictures.h"
#include "support/recordingmemory.h"

#include <QPointer>
#include <QTest>

#include <cmath>
#include <thread>

namespace {

const QColor kBlue(0, 0, 255);
using Entry = NS_Utilities::CNumEdit_Orvel;

// A 60 x 20 text slider (blue background, black text) on an active editor root, ready to be
// bound to parameter 1:2:3 ("level") of a recording memory; its signals are logged.
struct Rig
{
    explicit Rig(const RecordingMemory::Param& param = {0, 127, 64, 10})
    {
        root.setFocusPolicy(Qt::StrongFocus);
        slider = new CTextSlider_Orvel(&root, "ignored");
        slider->setGeometry(0, 0, 60, 20);
        QPalette pal = slider->palette();
        pal.setColor(QPalette::Window, kBlue);
        pal.setColor(QPalette::WindowText, Qt::black);
        slider->setPalette(pal);
        memory.setParameter(1, 2, 3, param);
        memory.addName(QStringLiteral("level"), TParamAddress{1, 2, 3, 0});
        memory.nameProxy(slider, QStringLiteral("ts"));
        QObject::connect(slider, &CTextSlider_Orvel::valueChanged, [this](int v) { log << QString::number(v); });
        QObject::connect(slider, &CTextSlider_Orvel::dialPressed, [this] { log << "pressed"; });
        QObject::connect(slider, &CTextSlider_Orvel::dialMoved, [this](int v) { log << QStringLiteral("moved %1").arg(v); });
        QObject::connect(slider, &CTextSlider_Orvel::dialReleased, [this] { log << "released"; });
        root.resize(100, 40);
        if (!showActive(&root))
            qWarning("the slider's window was not activated");
    }
    void bind()
    {
        slider->setNamedAddress(QStringLiteral("level"));
        slider->setMemAPI(&memory);
        slider->process(nullptr, 0, 0);
        reset();
    }
    void reset()
    {
        QCoreApplication::processEvents();
        memory.clearCalls();
        log.clear();
    }
    // A real press (the modifier state follows it), one move by dy, a real release.
    void dragBy(int dy, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mousePress(slider, Qt::LeftButton, mods, QPoint(30, 10));
        moveTo(slider, QPoint(30, 10 + dy), mods);
        QTest::mouseRelease(slider, Qt::LeftButton, mods, QPoint(30, 10 + dy));
    }

    EditorRoot root;
    RecordingMemory memory;
    QPointer<CTextSlider_Orvel> slider;
    QStringList log;
};

// The largest red share inside the face: 0 for black text on blue, about half for grey text.
int maxRed(const QImage& face)
{
    int red = 0;
    for (int y = 2; y < face.height() - 2; ++y)
        for (int x = 2; x < face.width() - 2; ++x)
            red = std::max(red, qRed(face.pixel(x, y)));
    return red;
}

} // namespace

class TestTextSlider : public QObject
{
    Q_OBJECT

private slots:
    void identityAndMemoryRoad()
    {
        Rig rig;
        CTextSlider_Orvel* s = rig.slider;
        QCOMPARE(s->metaObject()->className(), "CTextSlider");
        QCOMPARE(s->qt_metacast("TMemProxy"), static_cast<void*>(static_cast<TMemProxyBasic*>(s)));
        QCOMPARE(s->qt_metacast("QRangeControl"), static_cast<void*>(static_cast<Qt3::RangeControl*>(s)));
        QVERIFY(s->objectName().isEmpty());
        QCOMPARE(s->sizeHint(), QSize(33, 14));
        // The range constructor keeps the other defaults, and the name.
        CTextSlider_Orvel ranged(-5, 50, 7, 20, nullptr, "ranged");
        QCOMPARE(ranged.objectName(), QStringLiteral("ranged"));
        QCOMPARE(QList<int>({ranged.minValue(), ranged.maxValue(), ranged.lineStep(), ranged.pageStep(), ranged.value(),
                             ranged.rangeDiv(), ranged.tableId()}),
                 QList<int>({-5, 50, 1, 7, 20, 10, 5}));

        // Binding registers only; a refresh reads range and value without writing back.
        s->setNamedAddress(QStringLiteral("level"));
        s->setMemAPI(&rig.memory);
        QCOMPARE(rig.memory.calls().last(), QStringLiteral("connectProxy(ts,%1,0)").arg(packAddress(1, 2, 3)));
        rig.reset();
        s->process(nullptr, 0, 0);
        QCOMPARE(rig.memory.calls(), QStringList({"maximum(1,2,3,0)", "minimum(1,2,3,0)", "currentValue(1,2,3,0,0)"}));
        QCOMPARE(rig.log, QStringList({"64"}));
        QCOMPARE(s->text(), QStringLiteral("6.4"));

        // A user edit is written and read back: the signal carries what the memory holds.
        rig.memory.setNotifyOnWrite(false);
        s->setRange(0, 200);
        rig.reset();
        QTest::keyClick(s, Qt::Key_End);
        QCOMPARE(rig.memory.calls(), QStringList({"setValue(1,2,3,200,undo:ts,1)", "currentValue(1,2,3,0,0)"}));
        QCOMPARE(rig.log, QStringList({"127"}));
        QCOMPARE(s->value(), 200);

        // A reset is written back; off the GUI thread only a notice is posted.
        rig.reset();
        s->reset2defaults();
        QVERIFY(rig.memory.calls().contains(QStringLiteral("setValue(1,2,3,10,undo:ts,1)")));
        rig.reset();
        std::thread worker([&] { s->process(nullptr, 0, 0); });
        worker.join();
        QCOMPARE(rig.memory.calls(), QStringList({"postObserverEvent(ts)"}));
    }

    void texts_data()
    {
        QTest::addColumn<int>("lookup"); // 0 none, 1 a text, 2 no text
        QTest::addColumn<bool>("table");
        QTest::addColumn<int>("rangeDiv");
        QTest::addColumn<int>("stepScale");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("match");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("expected");
        const QString f = QStringLiteral("%0.1f");
        QTest::newRow("default") << 0 << false << 10 << 10 << f << "" << "" << 5 << "0.5";
        QTest::newRow("negative") << 0 << false << 10 << 10 << f << "" << "" << -7 << "-0.7";
        QTest::newRow("percent unit") << 0 << false << 10 << 10 << f << " %" << "" << 123 << "12.3 %";
        QTest::newRow("match") << 0 << false << 10 << 10 << f << "" << "Off" << 0 << "Off";
        QTest::newRow("no match label") << 0 << false << 10 << 10 << f << "" << "" << 0 << "0.0";
        QTest::newRow("step scale") << 0 << false << 0 << 100 << f << "" << "" << 250 << "2.5";
        QTest::newRow("no scale at all") << 0 << false << 0 << 0 << f << "" << "" << 6 << "prev";
        QTest::newRow("integer") << 0 << false << 10 << 10 << "%d" << " st" << "" << -15 << "-1 st";
        QTest::newRow("table") << 0 << true << 10 << 10 << f << " dB" << "" << 1 << "Saw";
        QTest::newRow("table match") << 0 << true << 10 << 10 << f << "" << "Off" << 0 << "Off";
        QTest::newRow("table 8-bit") << 0 << true << 10 << 10 << f << "" << "" << 2 << "Sqr ?";
        QTest::newRow("table fails") << 0 << true << 10 << 10 << f << "" << "" << 9 << "prev";
        QTest::newRow("lookup") << 1 << true << 10 << 10 << f << "" << "Off" << 0 << "L0";
        QTest::newRow("lookup without text") << 2 << false << 10 << 10 << f << "" << "" << 3 << "prev";
    }

    void texts()
    {
        QFETCH(int, lookup);
        QFETCH(bool, table);
        QFETCH(int, value);
        QFETCH(QString, expected);
        Rig rig({-100, 300, 50});
        rig.memory.setStringTable(5, {QStringLiteral("Sine"), QStringLiteral("Saw"), QStringLiteral("Sqr \u266A")});
        QFETCH(int, stepScale);
        rig.memory.setStepScale(stepScale);
        rig.memory.setFormatFails(table && value == 9);
        const CTextSlider_Orvel::LookupFunc half = [](QString& t, int v) { t = QStringLiteral("L%1").arg(v / 2); return true; };
        const CTextSlider_Orvel::LookupFunc none = [](QString& t, int) { t = QStringLiteral("never shown"); return false; };
        rig.slider->setLookupFunc(lookup == 1 ? half : lookup == 2 ? none : nullptr);
        rig.slider->setUseTableId(table);
        QFETCH(int, rangeDiv);
        rig.slider->setRangeDiv(rangeDiv);
        QFETCH(QString, format);
        QFETCH(QString, unit);
        QFETCH(QString, match);
        rig.slider->setFormatLabel(format);
        rig.slider->setValueLabel(unit);
        rig.slider->setMatchLabel(match);
        // Unbound, only a lookup function gives a text.
        QString text = QStringLiteral("prev");
        rig.slider->stringForValue(value, text);
        QCOMPARE(text, lookup == 1 ? expected : QStringLiteral("prev"));
        rig.bind();
        rig.slider->setValueText(QStringLiteral("prev"));
        rig.memory.hostWrite(1, 2, 3, value);
        QCOMPARE(rig.slider->value(), value);
        QCOMPARE(rig.slider->text(), expected);
    }

    void drags_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("dy");
        QTest::addColumn<int>("expected");
        QTest::newRow("126: never accelerated") << 126 << false << -10 << 25;
        QTest::newRow("127: x10") << 127 << false << -10 << 70;
        QTest::newRow("127: clamped") << 127 << false << -40 << 127;
        QTest::newRow("127 with shift") << 127 << true << -10 << 25;
        QTest::newRow("1000: x100") << 1000 << false << -4 << 220;
        QTest::newRow("999: x10") << 999 << false << -4 << 40;
        QTest::newRow("down, truncated") << 126 << false << 3 << 19;
        QTest::newRow("one pixel: nothing") << 126 << false << -1 << 20;
        QTest::newRow("clamped at the minimum") << 127 << false << 8 << 0;
    }

    void drags()
    {
        QFETCH(int, max);
        QFETCH(bool, shift);
        QFETCH(int, dy);
        QFETCH(int, expected);
        Rig rig({0, max, 20});
        rig.bind();
        rig.dragBy(dy, shift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(rig.slider->value(), expected);
        QCOMPARE(rig.log.first(), QStringLiteral("pressed"));
        QCOMPARE(rig.log.last(), QStringLiteral("released"));
        QVERIFY(rig.log.contains(QStringLiteral("moved %1").arg(expected)));

        // Tracking off: nothing moves until the release; a second press keeps the base.
        rig.slider->setValue(20);
        rig.slider->setTracking(false);
        rig.reset();
        QTest::mousePress(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        moveTo(rig.slider, QPoint(30, 10 + dy));
        QCOMPARE(rig.slider->value(), 20);
        press(rig.slider, QPoint(30, 0), Qt::RightButton);
        QTest::mouseRelease(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10 + dy));
        QCOMPARE(rig.log.size(), expected == 20 ? 2 : 3); // pressed, [value], released
        if (!shift)
            QCOMPARE(rig.slider->value(), expected);
    }

    void clickSteppingAndCursors()
    {
        // The arrows: 16 x 16, hot spot in the middle, a black triangle with a white inside.
        const auto image = [](const QCursor& c) { return c.pixmap().toImage().convertToFormat(QImage::Format_ARGB32); };
        const QImage up = image(CTextSlider_Orvel::upArrowCursor());
        const QImage down = image(CTextSlider_Orvel::downArrowCursor());
        QCOMPARE(CTextSlider_Orvel::upArrowCursor().hotSpot(), QPoint(8, 8));
        QCOMPARE(CTextSlider_Orvel::downArrowCursor().hotSpot(), QPoint(8, 8));
        QCOMPARE(down, up.mirrored(false, true));
        const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
        for (const QPoint& p : {QPoint(7, 3), QPoint(8, 3), QPoint(6, 4), QPoint(3, 7), QPoint(12, 7)})
            QCOMPARE(up.pixel(p), black);
        for (const QPoint& p : {QPoint(7, 4), QPoint(5, 6), QPoint(10, 6)})
            QCOMPARE(up.pixel(p), white);
        for (const QPoint& p : {QPoint(7, 2), QPoint(6, 3), QPoint(13, 7), QPoint(7, 8), QPoint(2, 7)})
            QCOMPARE(qAlpha(up.pixel(p)), 0);

        Rig rig({0, 126, 20});
        rig.bind();
        rig.slider->setLineStep(3);
        rig.slider->setClickStepping(true);
        QVERIFY(rig.slider->hasMouseTracking());
        // Hovering: the up arrow over the upper half and the middle, the down arrow below.
        const auto shown = [&] { return image(rig.slider->cursor()); };
        mouse(rig.slider, QEvent::MouseMove, QPoint(30, 10), Qt::NoButton, Qt::NoButton);
        QCOMPARE(shown(), up);
        mouse(rig.slider, QEvent::MouseMove, QPoint(30, 11), Qt::NoButton, Qt::NoButton);
        QCOMPARE(shown(), down);
        // Clicks without movement step: up in the upper half and at the middle, down below.
        for (const auto& [y, expected] : QList<QPair<int, int>>{{2, 23}, {10, 26}, {18, 23}}) {
            QTest::mouseClick(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, y));
            QCOMPARE(rig.slider->value(), expected);
        }
        // A drag shows the direction of its last move and does not step.
        QTest::mousePress(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        moveTo(rig.slider, QPoint(30, 6));
        QCOMPARE(shown(), up);
        moveTo(rig.slider, QPoint(30, 8));
        QCOMPARE(shown(), down);
        QTest::mouseRelease(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 8));
        QCOMPARE(rig.slider->value(), 24);
        // Off: the arrows go, mouse tracking stays, clicks do not step.
        rig.slider->setClickStepping(false);
        QVERIFY(rig.slider->hasMouseTracking());
        QCOMPARE(rig.slider->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseClick(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 2));
        QCOMPARE(rig.slider->value(), 24);
    }

    void wheelAndKeys()
    {
        Rig rig({0, 127, 50});
        rig.bind();
        rig.slider->setFocus();
        rig.slider->setLineStep(4);
        // One step per notch whatever the line step, wherever the pointer; then the root has focus.
        QVERIFY(wheel(rig.slider, -240, QPoint(500, 500)));
        wheel(rig.slider, 119, QPoint(5, 5));
        QCOMPARE(rig.slider->value(), 48);
        QTRY_VERIFY(rig.root.hasFocus());
        const QList<QPair<Qt::Key, int>> keys{{Qt::Key_Up, 52}, {Qt::Key_Down, 48}, {Qt::Key_PageUp, 58},
                                              {Qt::Key_PageDown, 48}, {Qt::Key_End, 127}, {Qt::Key_Home, 0}};
        for (const auto& [k, expected] : keys) {
            QVERIFY(key(rig.slider, k));
            QCOMPARE(rig.slider->value(), expected);
        }
        QVERIFY(!key(rig.slider, Qt::Key_Left));
        QVERIFY(!key(rig.slider, Qt::Key_Right));
    }

    void numericEntry()
    {
        Rig rig;
        // Not editable: a double click opens nothing; unbound: typed numbers are refused.
        QTest::mouseDClick(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        QVERIFY(!rig.slider->findChild<Entry*>());
        rig.slider->acceptNum(5.0);
        QCOMPARE(rig.slider->value(), 0);

        rig.bind();
        rig.slider->setEditable(true);
        rig.slider->setValueLabel(QStringLiteral(" dB"));
        rig.slider->setValue(70);
        QTest::mouseDClick(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        auto* entry = rig.slider->findChild<Entry*>();
        QVERIFY(entry && entry->isEditing());
        QCOMPARE(entry->format(), QStringLiteral("%.1f"));
        QCOMPARE(entry->text(), QStringLiteral("7.0 dB"));
        // Typed: the number times rangeDiv, truncated; the slider takes the focus.
        entry->setText(QStringLiteral("12.34"));
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(rig.slider->value(), 123);
        QTRY_VERIFY(rig.slider->hasFocus());
        rig.slider->setEditFormat(QStringLiteral("%.2f"));
        QTest::mouseDClick(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        QCOMPARE(rig.slider->findChildren<Entry*>(), QList<Entry*>({entry}));
        QCOMPARE(entry->format(), QStringLiteral("%.2f"));

        struct Case { int rangeDiv; int stepScale; bool table; double number; int expected; };
        const QList<Case> cases{{10, 10, false, 0.29, 2},     {10, 10, false, -1.0, 0},
                                {0, 100, false, 12.3, 1},     {0, 2000, false, 3.4, 6},
                                {10, 10, true, 12.6, 13},     {10, 10, false, 1e300, 127},
                                {0, 0, false, HUGE_VAL, 127}, {10, 10, false, std::nan(""), 127}};
        for (const Case& c : cases) {
            rig.slider->setRangeDiv(c.rangeDiv);
            rig.memory.setStepScale(c.stepScale);
            rig.slider->setUseTableId(c.table);
            rig.reset();
            rig.slider->acceptNum(c.number);
            QCOMPARE(rig.slider->value(), c.expected);
        }
        QVERIFY(rig.memory.calls().isEmpty()); // NaN asks nothing
    }

    void textFace()
    {
        Rig rig;
        rig.slider->setFont([] { QFont f; f.setPixelSize(14); f.setBold(true); return f; }());
        rig.slider->setValueText(QStringLiteral("WWW"));
        rig.slider->updateErasePixmap(nullptr);
        QImage face = shot(rig.slider);
        QCOMPARE(face.pixelColor(0, 0), kBlue);
        // Black text, centred.
        int left = 60, right = -1;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 60; ++x)
                if (face.pixelColor(x, y) != kBlue) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        QVERIFY(right > left && std::abs(left - (59 - right)) <= 2);
        QCOMPARE(maxRed(face), 0);
        // Disabled with greyOnDisable: grey (128) text.
        rig.slider->setGreyOnDisable(true);
        rig.slider->setEnabled(false);
        QVERIFY(maxRed(shot(rig.slider)) >= 100);
        rig.slider->setEnabled(true);
        QCOMPARE(maxRed(shot(rig.slider)), 0);

        // Focus with enableFocusRect: dots in the inverted background colour from the corner on,
        // drawn without rebuilding the face; gone again with the focus.
        rig.slider->setEnableFocusRect(true);
        const qint64 faceKey = rig.slider->erasePixmap().cacheKey();
        rig.slider->setFocus();
        QTRY_VERIFY(rig.slider->hasFocus());
        QCOMPARE(rig.slider->erasePixmap().cacheKey(), faceKey);
        face = shot(rig.slider);
        const QColor dot(255, 255, 0);
        QCOMPARE(QList<QColor>({face.pixelColor(0, 0), face.pixelColor(1, 0), face.pixelColor(2, 0), face.pixelColor(0, 1),
                                face.pixelColor(0, 2), face.pixelColor(30, 1)}),
                 QList<QColor>({dot, kBlue, dot, kBlue, dot, kBlue}));
        QVERIFY(face.pixelColor(59, 9) == dot || face.pixelColor(59, 10) == dot);
        rig.root.setFocus();
        QTRY_VERIFY(!rig.slider->hasFocus());
        QCOMPARE(shot(rig.slider).pixelColor(0, 0), kBlue);
    }

    void badInput()
    {
        // A very long and an empty text, the widest range, an empty control.
        {
            Rig rig({INT_MIN, INT_MAX, 0});
            rig.bind();
            rig.slider->setMatchLabel(QString(20000, QLatin1Char('M')));
            rig.slider->forceUpdate();
            QCOMPARE(rig.slider->text().size(), 20000);
            rig.dragBy(-200); // x100
            QCOMPARE(rig.slider->value(), 10000);
            rig.slider->setFormatLabel(QString());
            rig.slider->setValue(5);
            QCOMPARE(rig.slider->text(), QString());
            rig.slider->resize(0, 0);
            QVERIFY(!rig.slider->hasErasePixmap());
        }
        // Deleted by a listener during a memory change and during a drag.
        for (int duringDrag = 0; duringDrag < 2; ++duringDrag) {
            Rig rig;
            rig.bind();
            QObject::connect(rig.slider, &CTextSlider_Orvel::valueChanged, rig.slider, [&] { delete rig.slider; });
            if (duringDrag) {
                press(rig.slider, QPoint(30, 10));
                moveTo(rig.slider, QPoint(30, 4));
            } else {
                rig.memory.hostWrite(1, 2, 3, 9);
            }
            QVERIFY(!rig.slider);
        }
        // Deleted while the numeric entry is open: the entry goes with it.
        Rig rig;
        rig.bind();
        rig.slider->setEditable(true);
        QTest::mouseDClick(rig.slider, Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        const QPointer<Entry> entry = rig.slider->findChild<Entry*>();
        QVERIFY(entry && entry->isEditing());
        delete rig.slider;
        QVERIFY(!entry);
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TestTextSlider)
#include "tst_textslider.moc"

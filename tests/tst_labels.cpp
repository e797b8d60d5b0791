// The label family: value label display (texts, alternative display, face looks, numeric entry),
// hotspot label and editor opener, name editor (validator, trimming, edit lifecycle).
#include "binding/compat/color.h"
#include "binding/numedit.h"
#include "labels/chotspotlabel.h"
#include "labels/clabeldisplay.h"
#include "labels/cnameeditor.h"
#include "memory/editorregistry.h"
#include "memory/referencememory.h"
#include "support/controlpictures.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>
#include <thread>

namespace {

QImage faceOf(const CLabelDisplay_Orvel& l)
{
    return l.erasePixmap().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// A control that is a proxy, as the opener's proxy normally is.
struct BoundThing : QObject, TMemProxy_Orvel
{
    BoundThing(IMemAPI* memory, qint16 low) { api = memory, addrLow = low; }
    ~BoundThing() override { api = nullptr; }
    void process(const Q_UINT8*, int, Q_UINT32) override {}
};

// A factory with a fixed answer that records what it was asked.
struct FixedFactory : IEditorFactory
{
    int result = 0, askedKind = -99;
    QWidget* editor = nullptr;
    QUuid askedId;
    int createEditor(const QUuid& id, int kind, QWidget** out, QWidget*, int) override
    {
        askedId = id, askedKind = kind, *out = editor;
        return result;
    }
};

// The bytes 00..0F, which read as this UUID.
OV_GUID countingGuid()
{
    OV_GUID g;
    for (int i = 0; i < 16; ++i)
        g.bytes[i] = quint8(i);
    return g;
}
const QUuid countingUuid(QStringLiteral("{00010203-0405-0607-0809-0a0b0c0d0e0f}"));

} // namespace

class TestLabels : public QObject
{
    Q_OBJECT

private slots:
    // ---- value label display ----
    void texts()
    {
        CLabelDisplay_Orvel l;
        l.resize(40, 16);
        QVERIFY(!l.hasErasePixmap());
        l.setText(QString()); // the first text, even null, builds the face
        QVERIFY(l.hasErasePixmap());
        l.setText(QStringLiteral("12"));
        const qint64 key = l.erasePixmap().cacheKey();
        l.setText(QStringLiteral("12")); // unchanged: no rebuild
        QCOMPARE(l.erasePixmap().cacheKey(), key);
        const QStringList noUnit[] = {{"-3.5dB", "-3.5"}, {"x", "x"}, {"dB", ""}};
        for (const QStringList& c : noUnit) {
            l.setTextNoUnit(c[0]);
            QCOMPARE(l.text(), c[1]);
        }
        QVERIFY(l.setProperty("text", QStringLiteral("from a form")));
        QCOMPARE(l.displayText(0), QStringLiteral("from a form"));
    }

    void alternativeDisplay()
    {
        CLabelDisplay_Orvel l, sentinel;
        l.setText(QStringLiteral("normal"));
        l.altDisplayEnd(); // no begin: nothing
        QCOMPARE(l.altDepth(), 0);
        l.altDisplayBegin();
        QCOMPARE(l.text(), QStringLiteral("normal")); // nothing new to show yet
        l.setText(QStringLiteral("alt"));
        QCOMPARE(l.text(), QStringLiteral("alt"));
        QCOMPARE(l.displayText(0), QStringLiteral("normal"));
        l.altDisplayBegin(); // nested: one end of two leaves the alternative on
        l.altDisplayEnd();
        QTRY_COMPARE(l.altDepth(), 1);
        QCOMPARE(l.text(), QStringLiteral("alt"));
        l.altDisplayEnd();
        l.altDisplayEnd(); // a second end within 700 ms
        QCOMPARE(l.text(), QStringLiteral("alt"));
        sentinel.altDisplayBegin();
        sentinel.altDisplayEnd(); // falls back after both of l's
        QTRY_COMPARE(sentinel.altDepth(), 0);
        QCOMPARE(l.altDepth(), 0);
        QCOMPARE(l.text(), QStringLiteral("normal"));

        std::thread([&l] { l.altDisplayBegin(); }).join(); // off the GUI thread: nothing
        QCOMPARE(l.altDepth(), 0);

        auto* doomed = new CLabelDisplay_Orvel; // deleted while its fall-back runs
        doomed->altDisplayBegin();
        doomed->altDisplayEnd();
        delete doomed;
        sentinel.altDisplayBegin();
        sentinel.altDisplayEnd();
        QTRY_COMPARE(sentinel.altDepth(), 0);
    }

    void faceLooks()
    {
        const QRgb window = QApplication::palette().color(QPalette::Window).rgb(), fixed = qRgb(52, 54, 63);
        const QRgb first = cellColour(0, 0).rgb(), last = cellColour(0, 2).rgb();
        const struct { int rows; bool enabled, grey; QRgb corner; bool textShows; } cases[] = {
            {3, true, false, first, true},  {3, false, false, last, false} /*disabled: no text*/,
            {3, false, true, last, true},   {1, false, true, fixed, true} /*one image: not used*/,
            {0, true, false, first, true},  {-1, true, false, window, true} /*no strip*/,
            {-1, false, false, fixed, false},
        };
        for (const auto& c : cases) {
            CLabelDisplay_Orvel l;
            l.resize(48, 20);
            l.setFont(QFont(QString(), 12, QFont::Bold));
            if (c.rows >= 0) {
                l.setcombinedImage(makeStrip(1, std::max(c.rows, 1), 48, 20));
                l.setnSubImages(c.rows);
            }
            l.setGreyOnDisable(c.grey);
            l.setEnabled(c.enabled);
            l.setText(QString());
            const QImage empty = faceOf(l);
            QCOMPARE(empty.pixel(0, 0), c.corner);
            l.setText(QStringLiteral("WWW"));
            const QImage face = faceOf(l);
            QCOMPARE(face != empty, c.textShows);
            QCOMPARE(countColour(face, QColor(128, 128, 128)) > 0, !c.enabled && c.grey);
            QCOMPARE(shot(&l), face); // the widget paints its face and nothing more
        }
    }

    void focusLook()
    {
        QWidget win;
        auto* l = new CLabelDisplay_Orvel(&win);
        auto* other = new QLineEdit(&win);
        other->move(0, 40);
        l->resize(48, 20);
        l->setText(QStringLiteral("5"));
        QVERIFY(showActive(&win));
        // The face carries the text: QLabel keeps it plain, without the text document it builds
        // for focusable labels (about 18 KB each), and still reports it.
        const auto plainText = [l] {
            for (QObject* o : l->children())
                if (qstrcmp(o->metaObject()->className(), "QWidgetTextControl") == 0)
                    return false;
            return true;
        };
        QVERIFY(plainText());
        QCOMPARE(l->focusPolicy(), Qt::ClickFocus);
        QCOMPARE(static_cast<QLabel*>(l)->text(), QStringLiteral("5"));
        const qint64 key = l->erasePixmap().cacheKey();
        const QRgb normal = faceOf(*l).pixel(0, 0);
        l->setFocus(); // click focus, but no focus colour: no rebuild
        QVERIFY(l->hasFocus());
        QCOMPARE(l->erasePixmap().cacheKey(), key);

        const QColor focus(200, 40, 40);
        int fh = 0, fs = 0, bs = 0, bv = 0;
        Qt3::hsv(focus, &fh, &fs, nullptr);
        Qt3::hsv(l->palette().color(QPalette::Window), nullptr, &bs, &bv);
        const QRgb tint = Qt3::fromHsv(fh, fs + (255 - fs) * bs / 255, bv).rgb();
        l->setFocusColor(focus);
        for (bool inverse : {false, true}) {
            l->setInverseColorOnFocus(inverse);
            other->setFocus();
            QCOMPARE(faceOf(*l).pixel(0, 0), normal);
            l->setFocus();
            QCOMPARE(faceOf(*l).pixel(0, 0), inverse ? focus.rgb() : tint);
        }
        l->setText(QStringLiteral("6"));
        l->setFont(QFont(l->font().family(), 15));
        QVERIFY(plainText());
        QCOMPARE(l->focusPolicy(), Qt::StrongFocus);
        QVERIFY(l->hasFocus());
    }

    void numericEntry()
    {
        QWidget win;
        auto* l = new CLabelDisplay_Orvel(&win);
        l->resize(60, 20);
        l->setText(QStringLiteral("1.0"));
        QVERIFY(showActive(&win));
        QSignalSpy values(l, &CLabelDisplay_Orvel::valueChanged);
        QTest::mouseDClick(l, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QVERIFY(!l->numEdit()); // not editable
        l->setEditable(true);
        l->setEditFormat(QStringLiteral("%.2f"));
        QTest::mouseDClick(l, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QVERIFY(l->numEdit() && l->numEdit()->isEditing());
        QTest::keyClicks(l->numEdit(), QStringLiteral("7.256"));
        QTest::keyClick(l->numEdit(), Qt::Key_Return);
        QCOMPARE(values.size(), 1);
        QCOMPARE(values.at(0).at(0).toDouble(), 7.26);
        QCOMPARE(l->text(), QStringLiteral("1.0")); // the listener sets the text
        l->acceptNum(std::nan("")); // a direct caller's number goes out as it is
        QVERIFY(std::isnan(values.at(1).at(0).toDouble()));
    }

    // ---- hotspot label ----
    void hotspotPress()
    {
        const QRect spot(10, 4, 20, 10), none;
        const int left = Qt3::LeftButton, lr = Qt3::LeftButton | Qt3::RightButton;
        const struct { QRect spot; int buttons; Qt::MouseButton button; QPoint at; int clicks; } cases[] = {
            {none, lr, Qt::LeftButton, {0, 0}, 0},          {spot, left, Qt::LeftButton, {15, 8}, 1},
            {spot, lr, Qt::LeftButton, {10, 8}, 0} /*border*/, {spot, left, Qt::RightButton, {15, 8}, 0},
            {spot, lr, Qt::RightButton, {15, 8}, 1},        {spot, lr, Qt::MiddleButton, {15, 8}, 0},
        };
        CHotspotLabel_Orvel l;
        l.resize(60, 20);
        QSignalSpy clicked(&l, &CHotspotLabel_Orvel::hotspotClicked);
        for (const auto& c : cases) {
            l.setHotSpot(c.spot);
            QVERIFY(l.setProperty("hotButtons", c.buttons)); // the form road
            clicked.clear();
            press(&l, c.at, c.button);
            QCOMPARE(clicked.size(), c.clicks);
        }
    }

    // Double clicks in the hotspot (both signals, with the modifiers) open the editor when the
    // opener's modifiers are held; keys click only with a focus colour.
    void hotspotDoubleClicksAndKeys()
    {
        const int shift = Qt3::ShiftButton;
        const struct { int required; Qt::KeyboardModifiers held; bool opens; } cases[] = {
            {-1, Qt::ControlModifier, true}, {shift, Qt::ShiftModifier, true},
            {shift, Qt::NoModifier, false}, {shift, Qt::ShiftModifier | Qt::ControlModifier, false},
        };
        TReferenceMemory_Orvel memory;
        TEditorRegistry_Orvel registry;
        memory.setEditorFactory(&registry);
        QPointer<QWidget> editor;
        registry.registerEditor(countingUuid, 7, [&editor](QWidget*) { return editor = new QWidget; });
        BoundThing proxy(&memory, -3);
        QWidget win;
        auto* l = new CHotspotLabel_Orvel(&win);
        l->resize(60, 20);
        l->setHotSpot(QRect(5, 2, 30, 14));
        l->setEditable(true);
        QVERIFY(showActive(&win));
        QSignalSpy plain(l, qOverload<>(&CHotspotLabel_Orvel::hotspotDoubleClicked));
        QSignalSpy typed(l, qOverload<Qt3::ButtonState>(&CHotspotLabel_Orvel::hotspotDoubleClicked));
        for (const auto& c : cases) {
            std::unique_ptr<EditorOpener_Orvel> opener(
                new EditorOpener_Orvel(l, &proxy, countingGuid(), 7, Qt3::ButtonState(c.required), 10));
            QTest::mouseDClick(l, Qt::LeftButton, c.held, QPoint(10, 8));
            QCOMPARE(!editor.isNull(), c.opens);
            if (editor) {
                QCOMPARE(editor->property("channel").toInt(), 7); // -3 + 10
                QVERIFY(editor->isVisible());
                delete editor;
            }
            QTest::mouseClick(l, Qt::LeftButton, Qt::NoModifier, QPoint(55, 18)); // modifiers released
        }
        QCOMPARE(plain.size(), 4);
        QCOMPARE(typed.size(), 4);
        QCOMPARE(typed.at(1).at(0).value<Qt3::ButtonState>(), Qt3::ShiftButton);
        QTest::mouseDClick(l, Qt::RightButton, Qt::NoModifier, QPoint(10, 8));
        QTest::mouseDClick(l, Qt::LeftButton, Qt::NoModifier, QPoint(50, 8)); // outside
        QCOMPARE(plain.size(), 4);
        QVERIFY(!editor && !l->numEdit()); // no numeric entry on a hotspot label

        // Keys: only with a focus colour and the focus; Space and Return click.
        QSignalSpy clicked(l, &CHotspotLabel_Orvel::hotspotClicked);
        l->setFocus();
        QVERIFY(key(l, Qt::Key_Space)); // consumed without a focus colour
        QCOMPARE(clicked.size(), 0);
        l->setFocusColor(Qt::red);
        QVERIFY(key(l, Qt::Key_Space));
        QVERIFY(key(l, Qt::Key_Return));
        QVERIFY(!key(l, Qt::Key_Enter)); // the keypad Enter is passed on
        QVERIFY(!key(l, Qt::Key_A));
        QCOMPARE(clicked.size(), 2);
    }

    void editorOpenerRefusals()
    {
        TReferenceMemory_Orvel memory;
        FixedFactory factory;
        memory.setEditorFactory(&factory);
        CHotspotLabel_Orvel label;
        auto proxy = std::make_unique<BoundThing>(&memory, 4);
        auto* opener = new EditorOpener_Orvel(&label, proxy.get(), countingGuid(), 2, Qt3::ButtonState(-1), 0);
        QWidget editor;
        factory.editor = &editor;
        factory.result = 1; // a refusal: nothing is set
        opener->openAnEditor(Qt3::NoButton);
        QCOMPARE(factory.askedId, countingUuid);
        QCOMPARE(factory.askedKind, 2);
        QVERIFY(!editor.property("channel").isValid());
        factory.result = 0; // success without a window
        factory.editor = nullptr;
        opener->openAnEditor(Qt3::NoButton);
        factory.editor = &editor; // an editor without a declared channel gets one
        opener->openAnEditor(Qt3::NoButton);
        QCOMPARE(editor.property("channel").toInt(), 4);

        factory.askedKind = -99;
        proxy.reset(); // the proxy's control deleted first
        QVERIFY(!opener->proxy());
        opener->openAnEditor(Qt3::NoButton);
        EditorOpener_Orvel none(&label, nullptr, countingGuid(), 2, Qt3::ButtonState(-1), 0);
        none.openAnEditor(Qt3::NoButton);
        QCOMPARE(factory.askedKind, -99); // neither asked the factory
    }

    // ---- name editor ----
    void nameEditorCharacters()
    {
        const QString nbsp = QString::fromUtf8("a\xc2\xa0" "b"), longName(5000, QLatin1Char('x'));
        const struct { bool paste; QString in, out; } cases[] = {
            {false, "~{|}", ""}, {false, QString::fromUtf8("\xc3\xa9"), ""} /*accented*/,
            {false, "\"#\\,", "\"#\\,"}, {false, "/!$%&*+-.:;<=>?@^_'`()[] Az09", "/!$%&*+-.:;<=>?@^_'`()[] Az09"},
            {true, "ab~c", ""}, {true, "a\x01", ""}, {true, "a\tb\nc", "a\tb\nc"}, {true, nbsp, nbsp},
            {true, longName, longName},
        };
        for (const auto& c : cases) {
            CNameEditor_Orvel e;
            if (c.paste) {
                QApplication::clipboard()->setText(c.in);
                e.paste();
            } else {
                for (const QChar ch : c.in) { // typed: one key event per character, with its text
                    QKeyEvent k(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
                    QApplication::sendEvent(&e, &k);
                }
            }
            QCOMPARE(e.text(), c.out);
        }
        // Every editor uses the same validator (its expression is compiled once).
        CNameEditor_Orvel a, b;
        QVERIFY(a.validator() && a.validator() == b.validator());
    }

    void nameEditorTrimming()
    {
        const struct { int mode; const char* in; const char* out; } cases[] = {
            {0, "  a ", "  a "}, {1, "  a ", "a "}, {2, "  a ", "  a"}, {3, "  a ", "a"},
            {1, "   ", "   "}, {2, "   ", "   "}, {3, " \t ", ""}, {9, " a ", " a "},
        };
        CNameEditor_Orvel e;
        for (const auto& c : cases) {
            e.setTrancateMode(CNameEditor_Orvel::TrancateMode(c.mode));
            QVERIFY(e.setProperty("text", QString::fromLatin1(c.in))); // forms reach the trimming too
            QCOMPARE(e.text(), QString::fromLatin1(c.out));
        }
        e.setText(QStringLiteral("~{x}")); // put in by code: not checked by the validator
        QCOMPARE(e.text(), QStringLiteral("~{x}"));
        // Typing after such a text is still limited to the accepted characters.
        e.end(false);
        for (const QString& typed : {QStringLiteral("|"), QString::fromUtf8("\xc3\xa9"), QStringLiteral("a"), QStringLiteral("~"),
                                      QString(QChar(0xF7FB)) /*private use*/}) {
            QKeyEvent k(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(&e, &k);
        }
        QCOMPARE(e.text(), QStringLiteral("~{x}a"));
    }

    void nameEditorLifecycle()
    {
        QWidget win;
        auto* e = new CNameEditor_Orvel(&win);
        auto* other = new QLineEdit(&win);
        other->move(0, 40);
        QVERIFY(showActive(&win));
        other->setFocus(); // the window may have given the field the focus
        QString ends; // A: acceptEdit, X: abortEdit
        connect(e, &CNameEditor_Orvel::acceptEdit, this, [&ends] { ends += QLatin1Char('A'); });
        connect(e, &CNameEditor_Orvel::abortEdit, this, [&ends] { ends += QLatin1Char('X'); });

        QTest::keyClick(e, Qt::Key_Return); // no edit open: nothing
        QCOMPARE(ends, QString());
        e->setFocus();
        QVERIFY(e->isEditing());
        QTest::keyClick(e, Qt::Key_Return); // one accept, none more from the focus loss
        QCOMPARE(ends, QStringLiteral("A"));
        QVERIFY(win.hasFocus());
        e->setFocus();
        QTest::keyClick(e, Qt::Key_Escape);
        e->setFocus();
        QTest::keyClick(e, Qt::Key_Enter, Qt::KeypadModifier);
        e->setFocus();
        QTest::mouseClick(other, Qt::LeftButton); // clicking elsewhere
        e->finishEditing(); // both emit with no edit open
        e->forceAbort();
        QCOMPARE(ends, QStringLiteral("AXAAAX"));
    }
};

QTEST_MAIN(TestLabels)
#include "tst_labels.moc"

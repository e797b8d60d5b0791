// The typed-number entry window: opening, confirming, refusing, cancelling, parsing, rounding.
#include "binding/numedit.h"

#include <QApplication>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using NS_Utilities::CNumEdit;

namespace {

// A small control in a window, as the controls that open the entry are.
struct Host
{
    QWidget window;
    QWidget* control;

    explicit Host(const QRect& controlGeometry = QRect(40, 30, 33, 14))
    {
        window.resize(300, 200);
        window.move(100, 100);
        control = new QWidget(&window);
        control->setGeometry(controlGeometry);
        control->setFocusPolicy(Qt::StrongFocus);
        window.show();
    }
};

QWidget* focused()
{
    return QApplication::focusWidget();
}

void typeAndConfirm(const QString& text, Qt::Key key = Qt::Key_Return)
{
    QWidget* w = focused();
    QVERIFY(w);
    QTest::keyClicks(w, text);
    QTest::keyClick(w, key);
}

} // namespace

class TestNumEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void namesAndOwnership();
    void opensOverTheControlWithTheText();
    void staysInsideTheScreen();
    void validEntryIsProposedOnce_data();
    void validEntryIsProposedOnce();
    void invalidEntryIsRefused();
    void escapeCancels();
    void focusLossCancels();
    void closingThePopupCancels();
    void unitSuffix();
    void localeDecimalSeparator();
    void formatRounding_data();
    void formatRounding();
    void secondDoEditWhileOpen();
    void parentDeletedWhileOpen();
};

void TestNumEdit::init()
{
    QLocale::setDefault(QLocale::c());
}

void TestNumEdit::namesAndOwnership()
{
    auto* parent = new QWidget;
    auto* named = new CNumEdit(parent, "entry");
    auto* anonymous = new CNumEdit(parent);
    QCOMPARE(named->objectName(), QStringLiteral("entry"));
    QVERIFY(anonymous->objectName().isEmpty());
    QCOMPARE(named->metaObject()->className(), "NS_Utilities::CNumEdit");
    QVERIFY(named->isWindow());
    QCOMPARE(named->windowType(), Qt::Popup);
    QCOMPARE(named->parentWidget(), parent);
    QPointer<CNumEdit> guard(named);
    delete parent;
    QVERIFY(guard.isNull());
}

void TestNumEdit::opensOverTheControlWithTheText()
{
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QVERIFY(!edit.isVisible());
    edit.doEdit(QStringLiteral("12.5"), "%.2f");
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY(edit.isVisible());
    QVERIFY(edit.isEditing());
    QCOMPARE(edit.text(), QStringLiteral("12.5"));
    QCOMPARE(edit.selectedText(), QStringLiteral("12.5"));
    QCOMPARE(edit.format(), QStringLiteral("%.2f"));
    QTRY_COMPARE(focused(), &edit);

    // Centred on the control, larger than the 33x14 control.
    const QRect g = edit.frameGeometry();
    const QPoint controlCentre = host.control->mapToGlobal(host.control->rect().center());
    QVERIFY2(qAbs(g.center().x() - controlCentre.x()) <= 1 && qAbs(g.center().y() - controlCentre.y()) <= 1,
             qPrintable(QStringLiteral("%1,%2 vs %3,%4").arg(g.center().x()).arg(g.center().y())
                            .arg(controlCentre.x()).arg(controlCentre.y())));
    QVERIFY(g.width() >= 80);
    QVERIFY(g.height() >= edit.fontMetrics().height());

    // A null or empty format means "%.1f".
    edit.doEdit(QStringLiteral("1"), nullptr);
    QCOMPARE(edit.format(), QStringLiteral("%.1f"));
    edit.doEdit(QStringLiteral("1"), "");
    QCOMPARE(edit.format(), QStringLiteral("%.1f"));
}

void TestNumEdit::staysInsideTheScreen()
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setGeometry(available.right() - 60, available.bottom() - 30, 60, 30);
    auto* control = new QWidget(&window);
    control->setGeometry(40, 20, 20, 10);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CNumEdit edit(control);
    edit.doEdit(QStringLiteral("3"), nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QVERIFY2(available.contains(edit.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(edit.x()).arg(edit.y()).arg(edit.width()).arg(edit.height())));
}

void TestNumEdit::validEntryIsProposedOnce_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<double>("expected");
    QTest::newRow("return") << "42.5" << int(Qt::Key_Return) << 42.5;
    QTest::newRow("enter") << "-3" << int(Qt::Key_Enter) << -3.0;
    QTest::newRow("spaces") << "  7.25 " << int(Qt::Key_Return) << 7.25;
    QTest::newRow("exponent") << "1.5e2" << int(Qt::Key_Return) << 150.0;
    QTest::newRow("plus sign") << "+8" << int(Qt::Key_Return) << 8.0;
}

void TestNumEdit::validEntryIsProposedOnce()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(double, expected);
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    bool hiddenWhenProposed = false;
    connect(&edit, &CNumEdit::numberProposed, [&] { hiddenWhenProposed = !edit.isVisible(); });
    edit.doEdit(QStringLiteral("0.0"), "%g");
    QTRY_COMPARE(focused(), &edit);
    typeAndConfirm(typed, Qt::Key(key)); // typing replaces the selected text
    QCOMPARE(proposed.count(), 1);
    QCOMPARE(proposed.at(0).at(0).toDouble(), expected);
    QVERIFY(hiddenWhenProposed);
    QVERIFY(!edit.isVisible());
    QVERIFY(!edit.isEditing());
    QCoreApplication::processEvents();
    QCOMPARE(proposed.count(), 1);
    QCOMPARE(canceled.count(), 0);
}

void TestNumEdit::invalidEntryIsRefused()
{
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTRY_COMPARE(focused(), &edit);
    const QColor normalBase = edit.grab().toImage().pixelColor(edit.width() - 4, edit.height() / 2);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);

    for (const QString& bad : {QStringLiteral("abc"), QStringLiteral("1.2.3"), QStringLiteral("nan"),
                               QStringLiteral("inf"), QStringLiteral("-infinity"), QStringLiteral("1e999"),
                               QStringLiteral("1,000.5"), QStringLiteral(" ")}) {
        edit.selectAll();
        typeAndConfirm(bad);
        QVERIFY2(edit.isVisible(), qPrintable(bad));
        QVERIFY(edit.isRefused());
        QCOMPARE(edit.selectedText(), edit.text());
    }
    QCOMPARE(proposed.count(), 0);
    QCOMPARE(canceled.count(), 0);
    // The refusal is visible: the entry's background turns red.
    const QColor refusedBase = edit.grab().toImage().pixelColor(edit.width() - 4, edit.height() / 2);
    QVERIFY2(refusedBase.red() > refusedBase.green() + 40,
             qPrintable(QStringLiteral("%1 -> %2").arg(normalBase.name(), refusedBase.name())));
    QVERIFY(normalBase.red() <= normalBase.green() + 10);

    // Editing clears the refusal; a valid number is then accepted.
    QTest::keyClicks(focused(), QStringLiteral("9"));
    QVERIFY(!edit.isRefused());
    QTest::keyClick(focused(), Qt::Key_Return);
    QCOMPARE(proposed.count(), 1);
    QCOMPARE(proposed.at(0).at(0).toDouble(), 9.0);
}

void TestNumEdit::escapeCancels()
{
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    QTest::keyClicks(focused(), QStringLiteral("77"));
    QTest::keyClick(focused(), Qt::Key_Escape);
    QVERIFY(!edit.isVisible());
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(proposed.count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(canceled.count(), 1);
}

void TestNumEdit::focusLossCancels()
{
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);

    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    edit.clearFocus();
    QCOMPARE(canceled.count(), 1);
    QVERIFY(!edit.isVisible());

    // The application losing the active window takes the focus with ActiveWindowFocusReason.
    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(focused(), &out);
    QCOMPARE(canceled.count(), 2);
    QVERIFY(!edit.isVisible());

    // A popup opened on top (the entry's own context menu) does not cancel.
    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    QFocusEvent toPopup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(&edit, &toPopup);
    QVERIFY(edit.isVisible());
    QCOMPARE(canceled.count(), 2);
    QCOMPARE(proposed.count(), 0);
}

void TestNumEdit::closingThePopupCancels()
{
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QCOMPARE(QApplication::activePopupWidget(), &edit);

    // A press outside the popup, delivered through the window system as a real one is.
    const QPoint outside = host.window.mapToGlobal(QPoint(250, 150));
    QTest::mousePress(host.window.windowHandle(), Qt::LeftButton, {}, host.window.windowHandle()->mapFromGlobal(outside));
    QTRY_VERIFY(!edit.isVisible());
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(proposed.count(), 0);
    QTest::mouseRelease(host.window.windowHandle(), Qt::LeftButton, {}, host.window.windowHandle()->mapFromGlobal(outside));

    // close() (what Qt does for any outside click) is a cancellation as well.
    edit.doEdit(QStringLiteral("5.0"), nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.close();
    QCOMPARE(canceled.count(), 2);
    QCOMPARE(proposed.count(), 0);
}

void TestNumEdit::unitSuffix()
{
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("12.3 dB")), QStringLiteral("dB"));
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("-4.5Hz")), QStringLiteral("Hz"));
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("1e3 ms")), QStringLiteral("ms"));
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("12 Eb")), QStringLiteral("Eb"));
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("12.5")), QString());
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("off")), QString());

    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    edit.doEdit(QStringLiteral("12.3 dB"), nullptr);
    QCOMPARE(edit.unit(), QStringLiteral("dB"));
    QTRY_COMPARE(focused(), &edit);
    typeAndConfirm(QStringLiteral("14 dB"));
    edit.doEdit(QStringLiteral("12.3 dB"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    typeAndConfirm(QStringLiteral("-2.5"));
    edit.doEdit(QStringLiteral("12.3 dB"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    typeAndConfirm(QStringLiteral("3dB"));
    QCOMPARE(proposed.count(), 3);
    QCOMPARE(proposed.at(0).at(0).toDouble(), 14.0);
    QCOMPARE(proposed.at(1).at(0).toDouble(), -2.5);
    QCOMPARE(proposed.at(2).at(0).toDouble(), 3.0);

    // Another unit is not a number.
    edit.doEdit(QStringLiteral("12.3 dB"), nullptr);
    QTRY_COMPARE(focused(), &edit);
    typeAndConfirm(QStringLiteral("14 Hz"));
    QVERIFY(edit.isRefused());
    QCOMPARE(proposed.count(), 3);
    QTest::keyClick(focused(), Qt::Key_Escape);

    double v = 0;
    QVERIFY(!CNumEdit::parseNumber(QStringLiteral("dB"), QStringLiteral("dB"), &v));
    QVERIFY(CNumEdit::parseNumber(QStringLiteral(" 7 DB "), QStringLiteral("dB"), &v));
    QCOMPARE(v, 7.0);
}

void TestNumEdit::localeDecimalSeparator()
{
    double v = 0;
    QVERIFY(!CNumEdit::parseNumber(QStringLiteral("1,5"), QString(), &v));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QVERIFY(CNumEdit::parseNumber(QStringLiteral("1,5"), QString(), &v));
    QCOMPARE(v, 1.5);
    QVERIFY(CNumEdit::parseNumber(QStringLiteral("1.5"), QString(), &v)); // C locale still works
    QCOMPARE(v, 1.5);
    QVERIFY(!CNumEdit::parseNumber(QStringLiteral("1.000,5"), QString(), &v)); // no grouping
    QCOMPARE(CNumEdit::unitOf(QStringLiteral("2,5 dB")), QStringLiteral("dB"));
    QVERIFY(CNumEdit::parseNumber(QStringLiteral("-0,25 dB"), QStringLiteral("dB"), &v));
    QCOMPARE(v, -0.25);
}

void TestNumEdit::formatRounding_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("typed");
    QTest::addColumn<double>("expected");
    QTest::newRow("%.1f") << "%.1f" << 12.345 << 12.3;
    QTest::newRow("%.2f") << "%.2f" << 1.005001 << 1.01;
    QTest::newRow("%f default 6") << "%f" << 0.12345678 << 0.123457;
    QTest::newRow("%.0f") << "%.0f" << 2.6 << 3.0;
    QTest::newRow("%5.3F with text") << "Gain %5.3F dB" << 0.12345 << 0.123;
    QTest::newRow("%d half up") << "%d" << 2.5 << 3.0;
    QTest::newRow("%d half away from zero") << "%d" << -2.5 << -3.0;
    QTest::newRow("%i") << "%i" << 7.49 << 7.0;
    QTest::newRow("%u") << "%u" << 7.5 << 8.0;
    QTest::newRow("%ld") << "%ld" << 9.7 << 10.0;
    QTest::newRow("%e keeps") << "%.1e" << 12.345 << 12.345;
    QTest::newRow("%g keeps") << "%g" << 12.345678 << 12.345678;
    QTest::newRow("%% then %.1f") << "100%% %.1f" << 1.26 << 1.3;
    QTest::newRow("no conversion") << "volume" << 1.26 << 1.26;
    QTest::newRow("string conversion") << "%s" << 1.26 << 1.26;
    QTest::newRow("star precision") << "%.*f" << 1.26 << 1.26;
    QTest::newRow("dangling percent") << "abc%" << 1.26 << 1.26;
}

void TestNumEdit::formatRounding()
{
    QFETCH(QString, format);
    QFETCH(double, typed);
    QFETCH(double, expected);
    QCOMPARE(CNumEdit::roundForFormat(typed, format), expected);
}

void TestNumEdit::secondDoEditWhileOpen()
{
    Host host;
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    CNumEdit edit(host.control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    edit.doEdit(QStringLiteral("1.0"), "%.1f");
    QTRY_COMPARE(focused(), &edit);
    QTest::keyClicks(focused(), QStringLiteral("abc"));
    QTest::keyClick(focused(), Qt::Key_Return);
    QVERIFY(edit.isRefused());

    edit.doEdit(QStringLiteral("2 ms"), "%d");
    QVERIFY(edit.isVisible());
    QVERIFY(!edit.isRefused());
    QCOMPARE(edit.text(), QStringLiteral("2 ms"));
    QCOMPARE(edit.selectedText(), QStringLiteral("2 ms"));
    QCOMPARE(canceled.count(), 0);
    QTRY_COMPARE(focused(), &edit);
    typeAndConfirm(QStringLiteral("4.6 ms"));
    QCOMPARE(proposed.count(), 1);
    QCOMPARE(proposed.at(0).at(0).toDouble(), 5.0);
}

void TestNumEdit::parentDeletedWhileOpen()
{
    auto* host = new Host;
    QVERIFY(QTest::qWaitForWindowExposed(&host->window));
    auto* edit = new CNumEdit(host->control);
    QPointer<CNumEdit> guard(edit);
    int signalsAfter = 0;
    connect(edit, &CNumEdit::editCanceled, [&] { ++signalsAfter; });
    connect(edit, &CNumEdit::numberProposed, [&] { ++signalsAfter; });
    edit->doEdit(QStringLiteral("3.5"), nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(edit));
    QTRY_COMPARE(focused(), edit);
    QTest::keyClicks(focused(), QStringLiteral("8"));

    delete host->control; // the owner goes while the entry is open
    QVERIFY(guard.isNull());
    QCOMPARE(signalsAfter, 0);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::activePopupWidget(), nullptr);

    // And the whole window with an open entry.
    auto* control = new QWidget(&host->window);
    control->setGeometry(10, 10, 30, 12);
    auto* second = new CNumEdit(control);
    second->doEdit(QStringLiteral("1"), nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(second));
    delete host;
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

QTEST_MAIN(TestNumEdit)
#include "tst_numedit.moc"

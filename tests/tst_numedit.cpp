// The typed-number entry window: confirming, refusing, cancelling, units, rounding, ownership.
#include "binding/numedit.h"

#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using NS_Utilities::CNumEdit;
using Action = std::function<void(CNumEdit&)>;
Q_DECLARE_METATYPE(Action)

namespace {

// Opens the entry; true once it is shown and has the keyboard focus.
bool open(CNumEdit& edit, const QString& text, const QByteArray& format = {})
{
    edit.doEdit(text, format.constData());
    return QTest::qWaitForWindowExposed(&edit) && QApplication::focusWidget() == &edit;
}

void type(const QString& text, Qt::Key key = Qt::Key_Return)
{
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), key);
}

void focusOut(CNumEdit& edit, Qt::FocusReason reason)
{
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(&edit, &out);
}

} // namespace

class TestNumEdit : public QObject
{
    Q_OBJECT
    QWidget m_window; // holds a 33x14 control, as the controls that open the entry are
    QWidget* m_control = new QWidget(&m_window);

public:
    TestNumEdit()
    {
        m_control->setGeometry(40, 30, 33, 14);
        m_window.show();
    }

private slots:
    void validEntryIsProposedOnce_data();
    void validEntryIsProposedOnce();
    void invalidEntryIsRefused_data();
    void invalidEntryIsRefused();
    void cancellation_data();
    void cancellation();
    void parentDeletedWhileOpen();
};

void TestNumEdit::validEntryIsProposedOnce_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("expected");
    QTest::newRow("spaces, exponent") << "0.0" << "%g" << " 1.5e2 " << 150.0;
    QTest::newRow("unit typed") << "12.3 dB" << "%g" << "14 dB" << 14.0;
    QTest::newRow("unit left out") << "12.3 dB" << "%g" << "-2.5" << -2.5;
    QTest::newRow("unit attached") << "12.3 dB" << "%g" << "3DB" << 3.0;
    // The format's precision rounds what is proposed.
    QTest::newRow("default %.1f") << "1" << "" << "12.345" << 12.3;
    QTest::newRow("%f is 6 places") << "1" << "%f" << "0.12345678" << 0.123457;
    QTest::newRow("%5.3F in text") << "1" << "Gain %5.3F dB" << "0.12345" << 0.123;
    QTest::newRow("%ld half away from 0") << "2 ms" << "%ld" << "-2.5 ms" << -3.0;
    QTest::newRow("%e keeps") << "1" << "%.1e" << "12.345" << 12.345;
    QTest::newRow("%% then %.1f") << "1" << "100%% %.1f" << "1.26" << 1.3;
    QTest::newRow("no conversion") << "1" << "volume" << "1.26" << 1.26;
    QTest::newRow("star precision") << "1" << "%.*f" << "1.26" << 1.26;
    QTest::newRow("dangling percent") << "1" << "abc%" << "1.26" << 1.26;
}

void TestNumEdit::validEntryIsProposedOnce()
{
    QFETCH(QString, start);
    QFETCH(QString, format);
    QFETCH(QString, typed);
    QFETCH(double, expected);
    CNumEdit edit(m_control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    connect(&edit, &CNumEdit::numberProposed, [&] { QVERIFY(!edit.isVisible()); }); // hidden first
    QVERIFY(open(edit, start, format.toLatin1()));
    type(typed); // typing replaces the selected text
    QCoreApplication::processEvents();
    QCOMPARE(proposed.count(), 1);
    QCOMPARE(proposed.at(0).at(0).toDouble(), expected);
    QCOMPARE(canceled.count(), 0);
}

void TestNumEdit::invalidEntryIsRefused_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");
    for (const char* bad : {"abc", "1.2.3", "nan", "inf", "-infinity", "1e999", "1,000.5", " "})
        QTest::newRow(bad) << "5.0" << bad;
    QTest::newRow("another unit") << "12.3 dB" << "14 Hz";
}

void TestNumEdit::invalidEntryIsRefused()
{
    QFETCH(QString, start);
    QFETCH(QString, typed);
    CNumEdit edit(m_control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    QVERIFY(open(edit, start));
    const QColor normal = edit.grab().toImage().pixelColor(edit.width() - 4, edit.height() / 2);
    type(typed);
    QVERIFY(edit.isVisible());
    QVERIFY(edit.isRefused());
    QCOMPARE(edit.selectedText(), edit.text()); // ready to be typed over
    QCOMPARE(proposed.count() + canceled.count(), 0);
    // The refusal shows: the entry's background turns red.
    const QColor refused = edit.grab().toImage().pixelColor(edit.width() - 4, edit.height() / 2);
    QVERIFY2(normal.red() <= normal.green() + 10 && refused.red() > refused.green() + 40,
             qPrintable(normal.name() + " -> " + refused.name()));

    // Editing clears the refusal; a valid number is then accepted (here with keypad Enter).
    type("9", Qt::Key_Enter);
    QVERIFY(!edit.isRefused());
    QCOMPARE(proposed.count(), 1);
    QCOMPARE(proposed.at(0).at(0).toDouble(), 9.0);
}

void TestNumEdit::cancellation_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("cancels");
    QTest::newRow("escape") << Action([](CNumEdit& e) { QTest::keyClick(&e, Qt::Key_Escape); }) << true;
    QTest::newRow("focus taken") << Action([](CNumEdit& e) { e.clearFocus(); }) << true;
    QTest::newRow("deactivated") << Action([](CNumEdit& e) { focusOut(e, Qt::ActiveWindowFocusReason); })
                                 << true;
    QTest::newRow("closed") << Action([](CNumEdit& e) { e.close(); }) << true;
    // A popup opened on top (the entry's own context menu) does not cancel.
    QTest::newRow("popup on top") << Action([](CNumEdit& e) { focusOut(e, Qt::PopupFocusReason); }) << false;
}

void TestNumEdit::cancellation()
{
    QFETCH(Action, action);
    QFETCH(bool, cancels);
    CNumEdit edit(m_control);
    QSignalSpy proposed(&edit, &CNumEdit::numberProposed);
    QSignalSpy canceled(&edit, &CNumEdit::editCanceled);
    QVERIFY(open(edit, "5.0"));
    QTest::keyClicks(&edit, "77");
    action(edit);
    QCOMPARE(canceled.count(), cancels ? 1 : 0);
    QCOMPARE(edit.isVisible(), !cancels);
    QCoreApplication::processEvents();
    QCOMPARE(canceled.count(), cancels ? 1 : 0);
    QCOMPARE(proposed.count(), 0);
}

void TestNumEdit::parentDeletedWhileOpen()
{
    auto* control = new QWidget(&m_window);
    auto* edit = new CNumEdit(control);
    QPointer<CNumEdit> guard(edit);
    int signalsAfter = 0;
    connect(edit, &CNumEdit::editCanceled, [&] { ++signalsAfter; });
    connect(edit, &CNumEdit::numberProposed, [&] { ++signalsAfter; });
    QVERIFY(open(*edit, "3.5"));
    delete control; // the owner goes while the entry is open
    QVERIFY(guard.isNull());
    QCOMPARE(signalsAfter, 0);
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

QTEST_MAIN(TestNumEdit)
#include "tst_numedit.moc"

// uic-generated code for the sample form in both spellings compiles (that is half the test:
// the Designer spelling calls setNSubImages-style setters), runs, and sets every value.
#include "support/formsample.h"

#include "ui_form_designer.h"
#include "ui_form_stdset0.h"

#include <QTest>

// Builds the generated form and lists what it did not set.
template <class Ui>
QStringList mismatchesOf()
{
    QWidget form;
    Ui ui;
    ui.setupUi(&form);
    return FormSample::mismatches(&form);
}

class TestUicForms : public QObject
{
    Q_OBJECT
private slots:
    void designerSpellingSetsEveryValue()
    {
        const QStringList wrong = mismatchesOf<Ui::DesignerForm>();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }

    void stdsetZeroSpellingSetsEveryValue()
    {
        const QStringList wrong = mismatchesOf<Ui::Stdset0Form>();
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestUicForms)
#include "tst_uicforms.moc"

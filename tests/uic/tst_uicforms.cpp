// uic-generated code for the sample form in both spellings compiles (that is half the test:
// the Designer spelling calls setNSubImages-style setters), runs, and sets every value.
#include "support/formsample.h"

#include "ui_form_designer.h"
#include "ui_form_stdset0.h"

#include <QTest>

class TestUicForms : public QObject
{
    Q_OBJECT
private slots:
    void designerSpellingSetsEveryValue()
    {
        QWidget form;
        Ui::DesignerForm ui;
        ui.setupUi(&form);
        const QStringList wrong = FormSample::mismatches(&form);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }

    void stdsetZeroSpellingSetsEveryValue()
    {
        QWidget form;
        Ui::Stdset0Form ui;
        ui.setupUi(&form);
        const QStringList wrong = FormSample::mismatches(&form);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestUicForms)
#include "tst_uicforms.moc"

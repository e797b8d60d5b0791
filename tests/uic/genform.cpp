// Writes the sample form twice for uic: as Qt Designer saves it (form_designer.ui, no stdset
// attributes: uic calls set<Name>) and as written by hand with stdset="0" (form_stdset0.ui: uic
// emits setProperty). Run at build time, so the forms always cover every registered control.
#include "support/formsample.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

static bool write(const QString& path, QString xml, const QString& className)
{
    xml.replace(QStringLiteral("<class>SampleForm</class>"), QStringLiteral("<class>%1</class>").arg(className));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(xml.toUtf8()) < 0) {
        std::fprintf(stderr, "genform: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: genform OUTPUT_DIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    return write(dir + QStringLiteral("/form_designer.ui"), FormSample::formXml(false), QStringLiteral("DesignerForm"))
                   && write(dir + QStringLiteral("/form_stdset0.ui"), FormSample::formXml(true), QStringLiteral("Stdset0Form"))
               ? 0
               : 1;
}

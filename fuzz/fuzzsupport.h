// Shared pieces of the fuzz targets: one offscreen QApplication per process, Qt's messages kept
// quiet (a malformed input makes the library warn, which is expected and would flood the
// fuzzer's output), and a reader that splits the fuzzer's bytes into the values a target needs.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QString>

#include <cstdlib>
#include <string>

namespace OrvelFuzz {

inline void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    // A fatal message is a finding: let the fuzzer see the abort.
    if (type == QtFatalMsg) {
        fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        abort();
    }
}

// Creates the application once (call from LLVMFuzzerInitialize); it lives as long as the
// process. The platform is forced to offscreen unless the caller chose one.
inline QApplication* application(int* argc, char*** argv)
{
    static QApplication* app = nullptr;
    if (!app) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietMessages);
        app = new QApplication(*argc, *argv);
        // Text drawn once now: the font database and fontconfig set themselves up on first use,
        // and that one-time set-up would otherwise land inside the first input that draws text.
        QLabel label(QStringLiteral("Warm-up 0123 %"));
        label.resize(label.sizeHint());
        QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
        label.render(&image);
    }
    return app;
}

// Text from UTF-8 bytes (invalid sequences become replacement characters, as from a form).
inline QString text(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

inline QString consumeText(FuzzedDataProvider& in, size_t maxLength = 256)
{
    return text(in.ConsumeRandomLengthString(maxLength));
}

} // namespace OrvelFuzz

// Fuzz target: the name editor's text path: setText through every trimming mode (unknown mode
// values included), and typed text through its validator, with the keys and focus changes that
// open and end an edit.
//
// Input, split by FuzzedDataProvider: the trimming mode, the text for setText, then a sequence
// of steps (type a character, Backspace, Home/End, Return, Enter, Escape, focus in, focus out).
// Promises checked (a broken one aborts):
// - setText shows trimmed(text, mode), and trimmed keeps a prefix (trailing), a suffix
//   (leading), the trimmed text (both) or everything (other modes);
// - only accepted characters can be typed, also after setText put in refused ones, and an
//   accepted text stays accepted whatever is typed;
// - every edit opened by a focus in ends in exactly one acceptEdit() or abortEdit().
#include "fuzzsupport.h"

#include "labels/cnameeditor.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpression>

#include <climits>

namespace {

QRegularExpression* accepted = nullptr;

void check(bool ok, const char* what)
{
    if (ok)
        return;
    fprintf(stderr, "broken promise: %s\n", what);
    abort();
}

void checkTrimmed(const QString& in, const QString& out, int mode)
{
    switch (mode) {
    case CNameEditor_Orvel::TrancateLeading: check(in.endsWith(out), "leading trimming keeps a suffix"); break;
    case CNameEditor_Orvel::TrancateTrailing: check(in.startsWith(out), "trailing trimming keeps a prefix"); break;
    case CNameEditor_Orvel::TrancateBoth: check(out == in.trimmed(), "trimming both ends trims"); break;
    default: check(out == in, "other modes keep the text"); break;
    }
    if (mode == CNameEditor_Orvel::TrancateLeading || mode == CNameEditor_Orvel::TrancateTrailing)
        check(out.trimmed() == in.trimmed(), "trimming removes white space only");
}

void key(CNameEditor_Orvel& editor, int code, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&editor, &press);
}

void focus(CNameEditor_Orvel& editor, bool in)
{
    QFocusEvent event(in ? QEvent::FocusIn : QEvent::FocusOut, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(&editor, &event);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    OrvelFuzz::application(argc, argv);
    accepted = new QRegularExpression(
        QRegularExpression::anchoredPattern(QString::fromLatin1(CNameEditor_Orvel::acceptedPattern)),
        QRegularExpression::UseUnicodePropertiesOption);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int mode = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 3) : in.ConsumeIntegral<int>();
    const QString initial = OrvelFuzz::consumeText(in, 128);

    CNameEditor_Orvel editor;
    int ended = 0;
    QObject::connect(&editor, &CNameEditor_Orvel::acceptEdit, [&ended] { ++ended; });
    QObject::connect(&editor, &CNameEditor_Orvel::abortEdit, [&ended] { ++ended; });
    editor.setTrancateMode(CNameEditor_Orvel::TrancateMode(mode));
    check(int(editor.trancateMode()) == mode, "any mode value is kept");
    editor.setText(initial);
    const QString shown = CNameEditor_Orvel::trimmed(initial, mode);
    checkTrimmed(initial, shown, mode);
    check(editor.text() == shown, "setText shows the trimmed text");

    int opened = 0;
    while (in.remaining_bytes() > 0) {
        const QString before = editor.text();
        switch (in.ConsumeIntegralInRange(0, 9)) {
        case 0: case 1: case 2: {
            // One typed character (UTF-16 unit taken from the input, surrogates included).
            const QChar c(in.ConsumeIntegral<char16_t>());
            key(editor, c.isLetterOrNumber() ? int(c.toUpper().unicode()) : 0, QString(c));
            if (editor.text() != before && !accepted->match(QString(c)).hasMatch()) {
                fprintf(stderr, "typed U+%04X: \"%s\" -> \"%s\"\n", unsigned(c.unicode()),
                        qPrintable(before), qPrintable(editor.text()));
                check(false, "only accepted characters can be typed");
            }
            break;
        }
        case 3: key(editor, Qt::Key_Backspace); break;
        case 4: key(editor, in.ConsumeBool() ? Qt::Key_Home : Qt::Key_End); break;
        case 5: key(editor, Qt::Key_Return); break;
        case 6: key(editor, Qt::Key_Enter); break;
        case 7: key(editor, Qt::Key_Escape); break;
        case 8:
            if (!editor.isEditing())
                ++opened;
            focus(editor, true);
            break;
        case 9: focus(editor, false); break;
        }
        if (accepted->match(before).hasMatch())
            check(accepted->match(editor.text()).hasMatch(), "an accepted text stays accepted");
    }
    focus(editor, false);
    check(!editor.isEditing(), "a focus out ends the edit");
    check(ended == opened, "every edit ends in exactly one signal");
    return 0;
}

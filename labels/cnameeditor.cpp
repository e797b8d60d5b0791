#include "cnameeditor.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

// Letters, digits, white space (Unicode white space, as the field counts it), the punctuation
// / ! $ % & * ' ` : ; < = > ? @ ^ _ and the range + to . (+ , - .), parentheses, square
// brackets, the double quote, the number sign and the backslash (written by code: \x22, \x23,
// \x5C). Braces, the vertical bar, the tilde and every other character are refused.
const char* const CNameEditor::acceptedPattern =
    "([A-Z]|[a-z]|[0-9]|[\\s]|[/!$%&*+-.,:;<=>?@^_'`]|[\\(]|[\\)]|[\\[]|[\\]]|[\\x22]|[\\x23]|[\\x5C])*";

namespace {

// One validator for every name editor. A QRegularExpressionValidator compiles its (anchored)
// expression the first time it validates, about 0.3 million instructions; one per editor made a
// panel of name fields pay that for every field. The application owns it; the QPointer notices
// when an application object is gone.
QRegularExpressionValidator* sharedValidator()
{
    static QPointer<QRegularExpressionValidator> shared;
    if (!shared) {
        // Case-sensitive; Unicode properties so that \s is every white-space character, not
        // only the ASCII ones.
        shared = new QRegularExpressionValidator(
            QRegularExpression(QString::fromLatin1(CNameEditor::acceptedPattern),
                               QRegularExpression::UseUnicodePropertiesOption),
            QCoreApplication::instance());
    }
    return shared;
}

} // namespace

CNameEditor::CNameEditor(QWidget* parent, const char* name) : QLineEdit(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    m_validator = sharedValidator();
    setValidator(m_validator);
}

CNameEditor::~CNameEditor()
{
    setValidator(nullptr);
}

QString CNameEditor::trimmed(const QString& text, int mode)
{
    QString s = text;
    switch (mode) {
    case TrancateLeading: {
        // The first character that is not white space; everything before it goes.
        qsizetype first = 0;
        while (first < s.size() && s.at(first).isSpace())
            ++first;
        if (first >= 1 && first < s.size())
            s.remove(0, first);
        break;
    }
    case TrancateTrailing: {
        // The last character that is not white space; everything after it goes.
        qsizetype last = s.size() - 1;
        while (last >= 0 && s.at(last).isSpace())
            --last;
        if (last >= 0)
            s.truncate(last + 1);
        break;
    }
    case TrancateBoth:
        s = s.trimmed();
        break;
    default:
        break;
    }
    return s;
}

void CNameEditor::setText(const QString& text)
{
    QLineEdit::setText(trimmed(text, m_trancateMode));
}

void CNameEditor::setTrancateMode(TrancateMode mode)
{
    m_trancateMode = mode;
}

void CNameEditor::forceAbort()
{
    m_editing = false;
    emit abortEdit();
}

void CNameEditor::finishEditing()
{
    m_editing = false;
    emit acceptEdit();
}

void CNameEditor::handFocusToParent()
{
    clearFocus();
    if (QWidget* parent = qobject_cast<QWidget*>(this->parent()))
        parent->setFocus();
}

void CNameEditor::keyPressEvent(QKeyEvent* e)
{
    // The validator judges the whole text, and the line edit lets through any change of a text
    // it already refuses: after setText put in a refused character, every character could be
    // typed. So a typed text (anything but the control characters of editing keys, which are
    // never inserted) is also judged on its own, and swallowed when refused.
    const QString typed = e->text();
    if (!typed.isEmpty() && typed.at(0).category() != QChar::Other_Control
        && !(e->modifiers() & Qt::ControlModifier)) {
        QString copy = typed;
        int position = 0;
        if (m_validator->validate(copy, position) == QValidator::Invalid) {
            e->accept();
            return;
        }
    }
    const int key = e->key();
    if (m_editing && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        // The edit ends before the focus moves, so the focus-out below emits nothing more.
        m_editing = false;
        QPointer<CNameEditor> self(this);
        if (key == Qt::Key_Escape)
            emit abortEdit();
        else
            emit acceptEdit();
        // A receiver may have deleted the field.
        if (!self)
            return;
        handFocusToParent();
        if (!self)
            return;
    }
    QLineEdit::keyPressEvent(e);
}

void CNameEditor::focusInEvent(QFocusEvent* e)
{
    m_editing = true;
    QLineEdit::focusInEvent(e);
}

void CNameEditor::focusOutEvent(QFocusEvent* e)
{
    if (m_editing) {
        m_editing = false;
        QPointer<CNameEditor> self(this);
        emit acceptEdit();
        if (!self)
            return;
    }
    QLineEdit::focusOutEvent(e);
}

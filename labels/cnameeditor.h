// CNameEditor_Orvel ("CNameEditor" to the meta-object system): a one-line field for names.
//
// Typing is limited to ASCII letters and digits, white space and the punctuation
// / ! $ % & * + , - . : ; < = > ? @ ^ _ ' ` ( ) [ ] " # \ (validator()). setText trims white
// space by trancateMode. Each edit (from a focus in) ends in exactly one of two signals:
// acceptEdit() on Return, Enter or the focus leaving, abortEdit() on Escape; a key that ends an
// edit hands the focus to the parent widget. See docs/labels.md.
#pragma once

#include "labelnames.h"

#include "../binding/orvelkit_global.h"

#include <QLineEdit>
#include <QString>

class QRegularExpressionValidator;

class ORVELKIT_EXPORT CNameEditor : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(TrancateMode trancateMode READ trancateMode WRITE setTrancateMode)
    // QLineEdit's text, re-declared so that forms and setProperty() reach the trimming setText.
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    // 32 bits: any int is a valid mode value (unknown ones trim nothing).
    enum TrancateMode : int { TrancateNone = 0, TrancateLeading = 1, TrancateTrailing = 2, TrancateBoth = 3 };
    Q_ENUM(TrancateMode)

    // The pattern of the accepted texts: any number of the characters listed above.
    static const char* const acceptedPattern;

    // `name` becomes the object name when given.
    explicit CNameEditor(QWidget* parent = nullptr, const char* name = nullptr);
    ~CNameEditor() override;

    TrancateMode trancateMode() const { return m_trancateMode; }
    // True between a focus in and the end of that edit.
    bool isEditing() const { return m_editing; }
    // `text` trimmed as `mode` says (any other mode value trims nothing).
    static QString trimmed(const QString& text, int mode);

public slots:
    // Ends the edit without keeping it: abortEdit(), whether or not an edit was open.
    void forceAbort();
    // Ends the edit and keeps it: acceptEdit(), whether or not an edit was open.
    void finishEditing();
    // QLineEdit::setText of `text` trimmed by trancateMode; not checked by the validator.
    void setText(const QString& text);
    void setTrancateMode(TrancateMode mode);

signals:
    void abortEdit();
    void acceptEdit();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    // Clears the focus and gives it to the parent widget, if any.
    void handFocusToParent();

    TrancateMode m_trancateMode = TrancateNone;
    bool m_editing = false;
    QRegularExpressionValidator* m_validator = nullptr; // shared by every name editor, not owned
};

// NS_Utilities::CNumEdit_Orvel: the typed-number entry window of the controls.
//
// A control creates one on its first request, as its child, and calls doEdit(text, format).
// The entry is a frameless popup window placed over the control (so a 33x14 control is not
// too small for it) and deleted with the control. The user confirms with Return or Enter:
// a number hides the window and is proposed once through numberProposed(double); text that is
// not a number is refused (the window turns red and stays open). Escape, a click outside or the
// focus leaving the window cancels: it hides and emits editCanceled().
//
// Accepted input, after trimming: a decimal number in the C locale ("1.5", "-2e3") or with the
// default locale's decimal separator ("1,5" where that is the separator), optionally followed by
// the unit that followed the number in the starting text ("12.3 dB" accepts "14 dB" and "14").
// NaN and infinities are refused. The printf-style format decides the precision of the proposed
// number: f/F conversions round to the format's precision (6 when none is given), d/i/u round to
// an integer (half away from zero), e/E/g/G/a/A keep the number as typed; a format without a
// usable conversion leaves it unrounded.
#pragma once

#include "names.h" // first: the class below is CNumEdit_Orvel to the compiler, CNumEdit to moc
#include "orvelkit_global.h"

#include <QLineEdit>
#include <QString>

namespace NS_Utilities {

class ORVELKIT_EXPORT CNumEdit : public QLineEdit
{
    Q_OBJECT

public:
    // `name` becomes the objectName when given.
    explicit CNumEdit(QWidget* parent, const char* name = nullptr);
    ~CNumEdit() override;

    // Opens the entry over the parent with `text` (all selected) and remembers `format`
    // ("%.1f" when null or empty). A second call while open restarts the entry silently.
    void doEdit(const QString& text, const char* format);

    // The format of the current (or last) entry.
    QString format() const { return m_format; }
    // The unit accepted after the number: the non-numeric tail of the starting text.
    QString unit() const { return m_unit; }
    // True while the entry is open (between doEdit and its confirmation or cancellation).
    bool isEditing() const { return m_editing; }
    // True while the last Return was refused and the text has not been changed since.
    bool isRefused() const { return m_refused; }

    // Parses `input` as described above; `unit` may be empty. Returns false for anything that
    // is not a finite number.
    static bool parseNumber(const QString& input, const QString& unit, double* value);
    // `value` rounded as `format` prints it (see above).
    static double roundForFormat(double value, const QString& format);
    // The non-numeric tail of a displayed value ("12.3 dB" -> "dB"); empty when there is none.
    static QString unitOf(const QString& text);

signals:
    void numberProposed(double value);
    void editCanceled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void accept();
    void cancel();
    void setRefused(bool refused);
    void placeOverParent();

    QString m_format;
    QString m_unit;
    bool m_editing = false;
    bool m_refused = false;
};

} // namespace NS_Utilities

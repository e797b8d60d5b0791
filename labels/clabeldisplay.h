// CLabelDisplay_Orvel ("CLabelDisplay" to the meta-object system): a value readout label.
//
// Not bound to the parameter memory: the host or another control sets its text through the
// setText slot (a knob's or fader's textualValueChange feeds it). On top of QLabel it offers
// - an alternative display: between altDisplayBegin() and altDisplayEnd() setText writes a
//   second text; the normal text returns 700 ms after the end (pairs nest);
// - a face rendered once per change into the background pixmap: a row of an image strip (or a
//   fixed colour), the text over it, a focus look in focusColor, grey text when disabled;
// - numeric entry on double click (editable) that emits the typed number as valueChanged(double).
// The label's own content painting is off (drawContents() does nothing); the face carries the
// text. See docs/labels.md.
#pragma once

#include "labelnames.h"

#include "../binding/compat/widget.h"

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QString>

namespace NS_Utilities {
class CNumEdit;
}

class ORVELKIT_EXPORT CLabelDisplay : public Qt3::Widget<QLabel>
{
    Q_OBJECT
    Q_PROPERTY(QColor focusColor READ focusColor WRITE setFocusColor)
    Q_PROPERTY(int nSubImages READ nSubImages WRITE setnSubImages)
    Q_PROPERTY(QPixmap combinedImage READ combinedImage WRITE setcombinedImage)
    Q_PROPERTY(bool inverseColorOnFocus READ inverseColorOnFocus WRITE setInverseColorOnFocus)
    Q_PROPERTY(bool editable READ editable WRITE setEditable)
    Q_PROPERTY(QString editFormat READ editFormat WRITE setEditFormat)
    Q_PROPERTY(bool greyOnDisable READ isGreyOnDisable WRITE setGreyOnDisable)
    // QLabel's text, re-declared so that forms and setProperty() reach the label's own setText.
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    // A label with Qt::AlignHCenter added to its alignment, click focus and plain text. `name`
    // becomes the object name when given.
    explicit CLabelDisplay(QWidget* parent = nullptr, const char* name = nullptr);
    ~CLabelDisplay() override;

    QColor focusColor() const { return m_focusColor; }
    int nSubImages() const { return m_nSubImages; }
    QPixmap combinedImage() const { return m_combinedImage; }
    bool inverseColorOnFocus() const { return m_inverseColorOnFocus; }
    bool editable() const { return m_editable; }
    QString editFormat() const { return m_editFormat; }
    bool isGreyOnDisable() const { return m_greyOnDisable; }
    // The spellings uic uses for the lower-case setters when a form does not mark them stdset="0".
    void setNSubImages(int count) { setnSubImages(count); }
    void setCombinedImage(const QPixmap& strip) { setcombinedImage(strip); }

    // The nesting depth of the alternative display (0: the normal text shows).
    int altDepth() const { return m_altDepth; }
    // The stored normal (0) and alternative (1) texts; null for other indices.
    QString displayText(int which) const;
    // The numeric entry, null until the first double click of an editable label.
    NS_Utilities::CNumEdit_Orvel* numEdit() const { return m_numEdit; }

    // Renders the face into a pixmap of the label's size (or takes `pm` when given) and installs
    // it as the background pixmap.
    void updateErasePixmap(QPixmap* pm = nullptr);
    // Paints the face with `p`, in widget coordinates: focus look, or strip row / fixed colour
    // and the text.
    void repaintScreenPrimitive(QPainter& p);

public slots:
    void setEditable(bool on);
    void setEditFormat(const QString& format);
    void setnSubImages(int count);
    // Starts (nested) alternative display: later setText calls write the alternative text.
    void altDisplayBegin();
    // Ends one level of alternative display 700 ms from now.
    void altDisplayEnd();
    // Ends one level of alternative display now and shows the text of the new level.
    void handle_altDisplayEnd();
    // Stores `text` as the text of the current display level and rebuilds the face; nothing when
    // that text is already shown.
    virtual void setText(const QString& text);
    // setText of `text` without its last two characters (a unit such as "dB"); texts shorter
    // than two characters are passed unchanged.
    virtual void setTextNoUnit(const QString& text);
    void setFocusColor(const QColor& color);
    void setcombinedImage(const QPixmap& strip);
    void setInverseColorOnFocus(bool on);
    void setGreyOnDisable(bool on);
    // A typed number: takes the keyboard focus and emits valueChanged(value). The text is left
    // to whoever listens.
    void acceptNum(double value);

signals:
    void valueChanged(double value);

protected:
    // Qt 3 QLabel::drawContents: switched off, the face carries the content.
    virtual void drawContents(QPainter* p);

    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool event(QEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void polish() override;
    void devicePixelRatioChange() override;
    void enabledChange(bool oldEnabled) override;
    void windowActivationChange(bool oldActive) override;
    void fontChange(const QFont& oldFont) override;

private:
    QString& selectedText() { return m_displayTexts[m_altDepth != 0 ? 1 : 0]; }
    // QLabel::setText without the text document QLabel builds for a focusable label.
    void setLabelText(const QString& text);
    // Runs `f` while the label's focus policy reads Qt::NoFocus (see setLabelText).
    template <class F>
    auto asUnfocusableLabel(F&& f)
    {
        struct Restore
        {
            QWidget* w;
            Qt::FocusPolicy policy;
            ~Restore() { w->setFocusPolicy(policy); }
        } restore{this, focusPolicy()};
        setFocusPolicy(Qt::NoFocus);
        return f();
    }

    int m_altDepth = 0;
    QString m_displayTexts[2];
    int m_textShown = 0;
    QColor m_focusColor;
    QPixmap m_combinedImage;
    int m_nSubImages = 1;
    bool m_inverseColorOnFocus = false;
    bool m_editable = false;
    NS_Utilities::CNumEdit_Orvel* m_numEdit = nullptr;
    QString m_editFormat;
    bool m_greyOnDisable = false;
};

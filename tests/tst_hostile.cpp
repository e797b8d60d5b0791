// Hostile property values. Every designer property of every control in the catalogue
// (designer/controls.h) is written through the meta-object system with the extreme values of its
// type; the control is then shown, painted, clicked, double-clicked, dragged, turned with the
// wheel and typed at, first unbound, then bound to a reference memory. A row is one control and
// one class of values; a failure names the property and the value. New controls and properties
// are covered as soon as they are in the catalogue.
#include "support/controlpictures.h"

#include <orvelkit/binding/memproxy.h>
#include <orvelkit/designer/controls.h>
#include <orvelkit/memory/referencememory.h>

#include <QApplication>
#include <QColor>
#include <QMetaEnum>
#include <QTest>
#include <QTimer>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define HOSTILE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTILE_SANITIZED 1
#endif
#endif
#ifdef HOSTILE_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// The step under way, printed when a sanitizer ends the run (QtTest names only the row).
char g_step[512] = "";
void noteStep(const QString& step)
{
    qstrncpy(g_step, step.toUtf8().constData(), sizeof g_step);
}
[[maybe_unused]] void printStep()
{
    std::fprintf(stderr, "tst_hostile: the step under way was: %s\n", g_step);
}

enum class ValueClass { Defaults, Integers, Doubles, Flags, Strips, HugeStrip, Strings, Colours, Geometry, Variants };

const char* className(ValueClass c)
{
    switch (c) {
    case ValueClass::Defaults: return "defaults";
    case ValueClass::Integers: return "integers";
    case ValueClass::Doubles: return "doubles";
    case ValueClass::Flags: return "flags and enums";
    case ValueClass::Strips: return "strips";
    case ValueClass::HugeStrip: return "16384x16384 strip";
    case ValueClass::Strings: return "strings";
    case ValueClass::Colours: return "colours";
    case ValueClass::Geometry: return "rectangles and sizes";
    case ValueClass::Variants: return "null and foreign variants";
    }
    return "?";
}

struct Hostile
{
    QString label;
    QVariant value;
    bool ownType = true; // a value of the property's type: the write must succeed
};

// A strip of 16384 x 16384 ARGB pixels (1 GiB), made once and shared by every control.
const QPixmap& hugeStrip()
{
    static const QPixmap strip = [] {
        QImage image(16384, 16384, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(40, 90, 160));
        return QPixmap::fromImage(std::move(image));
    }();
    return strip;
}

QString longText(const QString& unit)
{
    return unit.repeated(100000 / unit.size());
}

// A value of an enumeration or flag property with exactly these bits, in the property's own type
// (so that out-of-range numbers reach the setter unchanged).
QVariant enumValue(const QMetaProperty& p, int bits)
{
    if (p.metaType().sizeOf() == int(sizeof(int)))
        return QVariant(p.metaType(), &bits);
    return QVariant(bits);
}

QList<Hostile> valuesFor(const QMetaProperty& p, ValueClass c)
{
    const int type = p.metaType().id();
    QList<Hostile> out;
    switch (c) {
    case ValueClass::Defaults:
        break;
    case ValueClass::Integers:
        if (type == QMetaType::Int && !p.isEnumType())
            for (int v : {INT_MIN, -1, 0, INT_MAX})
                out.append({QString::number(v), v});
        break;
    case ValueClass::Doubles:
        if (type == QMetaType::Double || type == QMetaType::Float) {
            const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(), 1e308, -1e308,
                                     std::numeric_limits<double>::denorm_min(), -0.0};
            for (double v : values) {
                QVariant value(v);
                value.convert(p.metaType());
                out.append({QString::number(v), value});
            }
        }
        break;
    case ValueClass::Flags:
        if (type == QMetaType::Bool) {
            out.append({QStringLiteral("true"), true});
            out.append({QStringLiteral("false"), false});
        } else if (p.isEnumType()) {
            const QMetaEnum meta = p.enumerator();
            int all = 0, top = 0;
            for (int i = 0; i < meta.keyCount(); ++i) {
                out.append({QString::fromLatin1(meta.key(i)), enumValue(p, meta.value(i))});
                all |= meta.value(i);
                top = qMax(top, meta.value(i));
            }
            // orvelkit's enumerations have a fixed underlying type, so every int is a value a
            // form can store in them. Qt's own (Qt::Orientation) hold only the values of their
            // keys' bits; beyond those a value is undefined before any setter runs.
            const bool own = qstrcmp(meta.scope(), "Qt") != 0;
            int bits = 1;
            while (bits <= all && bits < (1 << 30))
                bits <<= 1;
            QList<QPair<QString, int>> odd = {{QStringLiteral("all keys"), all},
                                              {QStringLiteral("unnamed bits"), bits - 1}};
            if (own)
                odd += {{QStringLiteral("max key + 1"), top + 1},
                        {QStringLiteral("-1"), -1},
                        {QStringLiteral("INT_MIN"), INT_MIN},
                        {QStringLiteral("INT_MAX"), INT_MAX}};
            for (const auto& v : odd)
                out.append({v.first, enumValue(p, v.second)});
        }
        break;
    case ValueClass::Strips:
        if (type == QMetaType::QPixmap) {
            out.append({QStringLiteral("null"), QPixmap()});
            out.append({QStringLiteral("1x1"), makeStrip(1, 1, 1, 1)});
            out.append({QStringLiteral("1x4096"), makeStrip(1, 4096, 1, 1)});
            out.append({QStringLiteral("4096x1"), makeStrip(4096, 1, 1, 1)});
            out.append({QStringLiteral("7x13"), makeStrip(1, 1, 7, 13)});
        }
        break;
    case ValueClass::HugeStrip:
        if (type == QMetaType::QPixmap)
            out.append({QStringLiteral("16384x16384"), hugeStrip()});
        break;
    case ValueClass::Strings:
        if (type == QMetaType::QString) {
            const QChar nul(0);
            out.append({QStringLiteral("empty"), QString()});
            out.append({QStringLiteral("100000 x"), longText(QStringLiteral("x"))});
            out.append({QStringLiteral("100000 ;"), longText(QStringLiteral(";"))});
            // 5000 entries: a list grammar's worst case that a grid or menu can still show.
            out.append({QStringLiteral("5000 entries"), QStringLiteral("7;").repeated(5000)});
            out.append({QStringLiteral("separators only"), QStringLiteral(";;;")});
            out.append({QStringLiteral("empty entries"), QStringLiteral(";a;;b;")});
            out.append({QStringLiteral("numbers"), QStringLiteral("99999999999;-0;0x10;1e400;nan;-2147483648")});
            out.append({QStringLiteral("ampersands"), QStringLiteral("&;&&a&;&")});
            out.append({QStringLiteral("unicode"), QStringLiteral("\u03a9\u00e9;\U0001F3B9;\u202e\u05d0\u05d1;\u0301")});
            out.append({QStringLiteral("lone surrogate"), QString(QChar(0xd800)) + QStringLiteral(";x")});
            out.append({QStringLiteral("embedded NUL"), QStringLiteral("a") + nul + QStringLiteral(";b") + nul});
            out.append({QStringLiteral("formats"), QStringLiteral("%n%s%999999999.999999999f%")});
            out.append({QStringLiteral("white space"), QStringLiteral(" \t\n; ;\r")});
        }
        break;
    case ValueClass::Colours:
        if (type == QMetaType::QColor) {
            out.append({QStringLiteral("invalid"), QColor()});
            out.append({QStringLiteral("unknown name"), QColor(QStringLiteral("not-a-colour"))});
            out.append({QStringLiteral("transparent"), QColor(Qt::transparent)});
            out.append({QStringLiteral("black"), QColor(Qt::black)});
            out.append({QStringLiteral("white"), QColor(Qt::white)});
            out.append({QStringLiteral("extended"), QColor::fromRgbF(-4.0f, 8.0f, 0.5f)});
        }
        break;
    case ValueClass::Geometry:
        if (type == QMetaType::QRect) {
            out.append({QStringLiteral("null"), QRect()});
            out.append({QStringLiteral("negative size"), QRect(40, 40, -30, -20)});
            out.append({QStringLiteral("huge"), QRect(0, 0, INT_MAX, INT_MAX)});
            out.append({QStringLiteral("far away"), QRect(INT_MIN / 2, INT_MIN / 2, 1, 1)});
        } else if (type == QMetaType::QSize) {
            out.append({QStringLiteral("invalid"), QSize()});
            out.append({QStringLiteral("0x0"), QSize(0, 0)});
            out.append({QStringLiteral("negative"), QSize(INT_MIN, -5)});
            out.append({QStringLiteral("16384x16384"), QSize(16384, 16384)});
            out.append({QStringLiteral("INT_MAX"), QSize(INT_MAX, INT_MAX)});
        }
        break;
    case ValueClass::Variants:
        out.append({QStringLiteral("null variant"), QVariant(), false});
        out.append({QStringLiteral("foreign type"), QVariant::fromValue(QPointF(qQNaN(), 1)), false});
        break;
    }
    return out;
}

// Whether the class has values for the property's type (without making them).
bool applies(const QMetaProperty& p, ValueClass c)
{
    const int type = p.metaType().id();
    switch (c) {
    case ValueClass::Defaults: return false;
    case ValueClass::Integers: return type == QMetaType::Int && !p.isEnumType();
    case ValueClass::Doubles: return type == QMetaType::Double || type == QMetaType::Float;
    case ValueClass::Flags: return type == QMetaType::Bool || p.isEnumType();
    case ValueClass::Strips:
    case ValueClass::HugeStrip: return type == QMetaType::QPixmap;
    case ValueClass::Strings: return type == QMetaType::QString;
    case ValueClass::Colours: return type == QMetaType::QColor;
    case ValueClass::Geometry: return type == QMetaType::QRect || type == QMetaType::QSize;
    case ValueClass::Variants: return true;
    }
    return false;
}

const QList<ValueClass>& allClasses()
{
    static const QList<ValueClass> classes = {ValueClass::Defaults, ValueClass::Integers, ValueClass::Doubles,
                                              ValueClass::Flags, ValueClass::Strips, ValueClass::HugeStrip,
                                              ValueClass::Strings, ValueClass::Colours, ValueClass::Geometry,
                                              ValueClass::Variants};
    return classes;
}

// Closes whatever popup or modal window is open (a menu in its own event loop, a grid window,
// a number entry), so no step waits for a user.
void closeOpenWindows()
{
    for (int i = 0; i < 16; ++i) {
        QWidget* w = QApplication::activePopupWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        if (!w)
            break;
        w->close();
    }
}

QSet<QWidget*> topLevels()
{
    const QWidgetList list = QApplication::topLevelWidgets();
    return QSet<QWidget*>(list.begin(), list.end());
}

} // namespace

Q_DECLARE_METATYPE(ValueClass)

class TestHostile : public QObject
{
    Q_OBJECT

    std::unique_ptr<TReferenceMemory_Orvel> m_memory;
    std::unique_ptr<EditorRoot> m_root;
    QTimer m_closer;
    int m_steps = 0;
    static inline QtMessageHandler s_previousHandler = nullptr;

    // Where the pointer goes: the middle of what the window shows of the control.
    static QPoint middle(const QWidget* w)
    {
        const QSize seen = w->size().boundedTo(w->parentWidget() ? w->parentWidget()->size() : w->size());
        return QPoint(qMax(0, seen.width() / 2), qMax(0, seen.height() / 2));
    }

    // min <= value <= max for a control with a range (Qt 3 or Qt 6 property names).
    static QString rangeFault(const QWidget* w)
    {
        const QMetaObject* mo = w->metaObject();
        for (const auto& names : {std::array<const char*, 3>{"minValue", "maxValue", "value"},
                                  std::array<const char*, 3>{"minimum", "maximum", "value"}}) {
            if (mo->indexOfProperty(names[0]) < 0 || mo->indexOfProperty(names[1]) < 0
                || mo->indexOfProperty(names[2]) < 0)
                continue;
            const int lo = w->property(names[0]).toInt();
            const int hi = w->property(names[1]).toInt();
            const int v = w->property(names[2]).toInt();
            if (!(lo <= hi && lo <= v && v <= hi))
                return QStringLiteral("range %1..%2 holds value %3").arg(lo).arg(hi).arg(v);
        }
        return {};
    }

    // Shows, paints and works the control with every kind of input. Returns a fault, or empty.
    // `once` gives each kind of input once (a 1 GiB strip makes every value step costly).
    QString exercise(QWidget* w, bool once = false)
    {
        w->show();
        const QSize visible = w->size().boundedTo(QSize(256, 256));
        if (!visible.isEmpty() && w->grab(QRect(QPoint(), visible)).isNull())
            return QStringLiteral("nothing painted");
        m_root->grab();
        const QPoint at = middle(w);
        const QPoint corner(0, 0);

        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        closeOpenWindows();
        QTest::mouseDClick(w, Qt::LeftButton, {}, at);
        closeOpenWindows();
        drag(w, at, at + QPoint(0, -60));
        closeOpenWindows();
        wheel(w, 120, at);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Up);
        closeOpenWindows();
        if (once) {
            w->setEnabled(false);
            m_root->grab();
            w->setEnabled(true);
            return rangeFault(w);
        }
        QTest::mouseClick(w, Qt::RightButton, {}, at);
        closeOpenWindows();
        QTest::mouseClick(w, Qt::MiddleButton, {}, corner);
        closeOpenWindows();
        QTest::mouseClick(w, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, corner);
        closeOpenWindows();
        drag(w, at, at + QPoint(50, 70));
        closeOpenWindows();
        wheel(w, -120 * 7, at);
        wheel(w, INT_MAX, at);
        closeOpenWindows();

        w->setFocus();
        for (int k : {Qt::Key_Left, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Space, Qt::Key_Return,
                      Qt::Key_Escape, Qt::Key_5, Qt::Key_Escape, Qt::Key_A, Qt::Key_Enter}) {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w;
            QTest::keyClick(target, Qt::Key(k));
            closeOpenWindows();
        }
        QTest::keyClicks(w, QStringLiteral("12.5"));
        QTest::keyClick(w, Qt::Key_Return);
        closeOpenWindows();

        w->setEnabled(false);
        m_root->grab();
        QTest::mouseClick(w, Qt::LeftButton, {}, at);
        w->setEnabled(true);
        m_root->grab();
        closeOpenWindows();
        QCoreApplication::processEvents();
        closeOpenWindows();
        return rangeFault(w);
    }

    // One control: `property` (if any) set to `value` unbound, worked; bound to the memory, set
    // again and worked; unbound and destroyed. Returns a fault, or empty.
    QString run(const OrvelControls::Entry& entry, const QMetaProperty* property, const Hostile& value,
                bool workUnbound = true)
    {
        ++m_steps;
        const QSet<QWidget*> before = topLevels();
        QPointer<QWidget> w = entry.create(m_root.get());
        w->setObjectName(QStringLiteral("hostile"));
        // The geometry a form gives a control dropped onto it (a control sized by its strip
        // changes it itself).
        w->setGeometry(QRect(QPoint(), entry.defaultSize));
        const auto write = [&]() -> QString {
            if (!property)
                return {};
            const bool written = property->write(w, value.value);
            if (value.ownType && !written)
                return QStringLiteral("write refused");
            property->read(w); // reading back must be safe whatever was written
            return {};
        };
        QString fault = write();
        if (fault.isEmpty() && workUnbound)
            fault = exercise(w);
        if (fault.isEmpty() && w && memProxyOf(w)) {
            const bool addressProperty = property && qstrcmp(property->name(), "namedAddress") == 0;
            if (!addressProperty)
                w->setProperty("namedAddress", QStringLiteral("p"));
            bindMemAPI(w, m_memory.get());
            if (TMemProxy_Orvel* proxy = memProxyOf(w); proxy && proxy->memAPIReady())
                proxy->process(nullptr, 0, 0);
            fault = write();
            if (fault.isEmpty())
                fault = exercise(w, !workUnbound);
            // The host moves the parameter while the control holds the hostile value.
            m_memory->write(1, 2, 3, 127);
            m_memory->write(1, 2, 3, 0);
            QCoreApplication::processEvents();
            if (fault.isEmpty())
                fault = rangeFault(w);
            if (w)
                bindMemAPI(w, nullptr);
        }
        if (!w)
            return QStringLiteral("the control deleted itself");
        delete w;
        closeOpenWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QSet<QWidget*> after = topLevels();
        for (QWidget* t : after)
            if (!before.contains(t) && fault.isEmpty())
                fault = QStringLiteral("a %1 window outlived the control").arg(QLatin1String(t->metaObject()->className()));
        return fault;
    }

private slots:
    void initTestCase()
    {
#ifdef HOSTILE_SANITIZED
        __sanitizer_set_death_callback(printStep);
#endif
        // The offscreen platform says so for every menu and popup the controls open.
        s_previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (text.startsWith(QLatin1String("This plugin does not support")))
                return;
            s_previousHandler(type, context, text);
        });
        m_memory = std::make_unique<TReferenceMemory_Orvel>();
        TParameterSpec_Orvel param;
        param.name = QStringLiteral("p");
        param.high = 1;
        param.mid = 2;
        param.low = 3;
        param.minimum = 0;
        param.maximum = 127;
        param.value = 64;
        QString error;
        QVERIFY2(m_memory->addParameter(param, &error), qPrintable(error));
        QVERIFY(m_memory->registerStringTable(1, {QStringLiteral("Off"), QStringLiteral("On")}));
        m_root = std::make_unique<EditorRoot>();
        m_root->resize(320, 240);
        QVERIFY(showActive(m_root.get()));
        // Menus opened in their own event loop by a press are closed from here.
        connect(&m_closer, &QTimer::timeout, this, &closeOpenWindows);
        m_closer.start(10);
    }

    void cleanupTestCase()
    {
        m_closer.stop();
        qInfo("%d property values tried", m_steps);
        m_root.reset();
        m_memory.reset();
    }

    void everyProperty_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<ValueClass>("valueClass");
        const auto& all = OrvelControls::all();
        for (int i = 0; i < all.size(); ++i) {
            const QList<QMetaProperty> props = OrvelControls::designerProperties(all[i].metaObject);
            for (ValueClass c : allClasses()) {
                bool any = c == ValueClass::Defaults;
                for (const QMetaProperty& p : props)
                    any = any || applies(p, c);
                if (any)
                    QTest::addRow("%s, %s", qPrintable(all[i].className), className(c)) << i << c;
            }
        }
    }

    void everyProperty()
    {
        QFETCH(int, control);
        QFETCH(ValueClass, valueClass);
        const OrvelControls::Entry& entry = OrvelControls::all().at(control);
        if (valueClass == ValueClass::Defaults) {
            noteStep(entry.className + QStringLiteral(" with its defaults"));
            const QString fault = run(entry, nullptr, {});
            QVERIFY2(fault.isEmpty(), qPrintable(QString::fromUtf8(g_step) + QStringLiteral(": ") + fault));
            return;
        }
        for (const QMetaProperty& p : OrvelControls::designerProperties(entry.metaObject)) {
            for (const Hostile& h : valuesFor(p, valueClass)) {
                noteStep(QStringLiteral("%1.%2 = %3").arg(entry.className, QLatin1String(p.name()), h.label));
                // A strip of 1 GiB is worked bound only, each kind of input once: a control that
                // sizes itself by it renders a face of its own size on every value step.
                const QString fault = run(entry, &p, h, valueClass != ValueClass::HugeStrip);
                QVERIFY2(fault.isEmpty(), qPrintable(QString::fromUtf8(g_step) + QStringLiteral(": ") + fault));
            }
        }
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"

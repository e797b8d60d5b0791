// Fuzz target: the copy/paste record reader (binding/records.h) and every road a pasted record
// takes into a bound control: the conveniences' pasteRecord, and a control's process(operation 2)
// handed a stream of arbitrary bytes.
//
// Input: one flag byte, then the record bytes.
//   bits 0-2  which bound control receives the paste (eight kinds)
//   bit 3     repair the record's checksum first, so the mutations reach the fields behind it
//   bit 4     hand the bytes straight to process(2) instead of pasteRecord
//   bit 5     read the bytes as a sequence of records from one stream
// Promises checked (a broken one aborts):
// - decode and the stream reader agree, and a decoded record encodes back to the same bytes;
// - a failed stream stays failed;
// - pasteRecord says Pasted only for exactly one well-formed record of the control's family;
// - whatever is pasted, the memory's value stays inside the parameter's range, and the control's
//   copy afterwards is a well-formed record of its own address.
#include "fuzzsupport.h"

#include "binding/conveniences.h"
#include "binding/records.h"
#include "buttons/conoffbutton.h"
#include "buttons/cradiobutton.h"
#include "fader/cfader.h"
#include "knob/cdial.h"
#include "memory/referencememory.h"
#include "menu/cpulldownmenu.h"
#include "popup/cpopup.h"
#include "sliders/ctextslider.h"
#include "status/statedisplaywidget.h"

#include <QDataStream>
#include <QtEndian>
#include <QUndoStack>

#include <climits>

namespace {

struct Bound
{
    QWidget* widget;
    TMemProxy_Orvel* proxy;
    int low;
};

TReferenceMemory_Orvel* memory = nullptr;
QList<Bound> controls;
QList<TParameterSpec_Orvel> definitions;

void check(bool ok, const char* what)
{
    if (ok)
        return;
    fprintf(stderr, "broken promise: %s\n", what);
    abort();
}

void define(int low, int minimum, int maximum, int value)
{
    TParameterSpec_Orvel p;
    p.high = 0;
    p.mid = 1;
    p.low = qint16(low);
    p.minimum = minimum;
    p.maximum = maximum;
    p.value = p.defaultValue = value;
    check(memory->addParameter(p), "parameter defined");
    definitions.append(p);
}

template <typename Control>
Control* bind(Control* control, int low)
{
    control->resize(40, 40); // a control's size: faces are rendered at the widget's size
    control->setNamedAddress(QStringLiteral("0:1:%1").arg(low));
    control->setUndoEnable(true);
    control->setMemAPI(memory);
    controls.append(Bound{control, memProxyOf(control), low});
    return control;
}

void checkRange()
{
    for (const TParameterSpec_Orvel& p : qAsConst(definitions)) {
        const int v = memory->value(p.high, p.mid, p.low);
        check(v >= p.minimum && v <= p.maximum, "the memory's value stays in range");
    }
}

void readStream(const QByteArray& bytes)
{
    QDataStream stream(bytes);
    qsizetype offset = 0;
    for (int i = 0; i < 64; ++i) {
        const bool wasOk = stream.status() == QDataStream::Ok;
        TParamInfoReader_Orvel reader(&stream);
        if (!wasOk)
            check(!reader.isValid() && stream.status() != QDataStream::Ok, "a failed stream stays failed");
        if (!reader.isValid()) {
            check(reader.lowAddress() == TParamInfoReader_Orvel::InvalidLow, "a failed read has the invalid low");
            if (!wasOk)
                break;
            continue;
        }
        qint16 h, m, l;
        qint32 v;
        int length = 0;
        check(TParamInfoReader_Orvel::decode(bytes.mid(offset), h, m, l, v, &length), "decode agrees with the stream");
        check(h == reader.highAddress() && m == reader.midAddress() && l == reader.lowAddress() && v == reader.value(),
              "decode reads the same fields");
        check(TParamInfoWriter_Orvel::encode(h, m, l, v) == bytes.mid(offset, length), "re-encoding gives the bytes");
        offset += length;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    OrvelFuzz::application(argc, argv);
    memory = new TReferenceMemory_Orvel;
    define(0, 0, 127, 64);
    define(1, -600, 60, 0);
    define(2, INT_MIN, INT_MAX, 0);
    define(3, 5, 5, 5);
    define(4, 0, 1, 0);
    define(5, 0, 1, 1);
    define(6, 0, 7, 3);
    define(7, -32768, 32767, -1);

    bind(new CDial_Orvel, 0);
    bind(new CFader_Orvel, 1);
    bind(new CTextSlider_Orvel, 2);
    auto* menu = bind(new CPullDownMenu_Orvel, 6);
    menu->setMenuItemList(QStringLiteral("a;b;c;d;e;f;g;h"));
    auto* popup = bind(new CPopup_Orvel, 7);
    popup->setLabels(QStringLiteral("one;two;three;four"));
    bind(new COnOffButton_Orvel, 4);
    bind(new CRadioButton_Orvel, 5);
    bind(new StateDisplayWidget_Orvel, 3);
    QCoreApplication::sendPostedEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 flags = data[0];
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if ((flags & 0x08) && bytes.size() >= 18)
        qToBigEndian<quint16>(qChecksum(QByteArrayView(bytes.constData() + 4, 12)), bytes.data() + 16);

    // Every input starts from the same state.
    for (const TParameterSpec_Orvel& p : qAsConst(definitions))
        memory->write(p.high, p.mid, p.low, p.value);
    QCoreApplication::sendPostedEvents();
    memory->undoStack()->clear();

    if (flags & 0x20) {
        readStream(bytes);
        return 0;
    }

    const Bound& target = controls.at(flags & 0x07);
    qint16 h, m, l;
    qint32 v;
    int length = 0;
    const bool exact = TParamInfoReader_Orvel::decode(bytes, h, m, l, v, &length) && length == bytes.size();
    if (flags & 0x10) {
        QDataStream stream(bytes);
        target.proxy->process(reinterpret_cast<const Q_UINT8*>(&stream), 2, 0);
    } else {
        const auto result = TEditorConveniences_Orvel::pasteRecord(target.proxy, bytes);
        if (result == TEditorConveniences_Orvel::Pasted)
            check(exact && memory->hasParameter(0, 1, l), "Pasted only for one record of the family");
        if (!exact)
            check(result != TEditorConveniences_Orvel::Pasted, "a malformed record is not pasted");
    }
    QCoreApplication::sendPostedEvents();
    memory->flushUndo();
    checkRange();

    const QByteArray copy = TEditorConveniences_Orvel::copyRecord(target.proxy);
    if (!copy.isEmpty()) {
        check(TParamInfoReader_Orvel::decode(copy, h, m, l, v, &length) && length == copy.size(), "a copy decodes");
        check(h == 0 && m == 1 && l == target.low, "a copy carries the control's address");
    }
    // Undo brings the starting values back.
    while (memory->undoStack()->canUndo())
        memory->undoStack()->undo();
    QCoreApplication::sendPostedEvents();
    for (const TParameterSpec_Orvel& p : qAsConst(definitions))
        check(memory->value(p.high, p.mid, p.low) == p.value, "undo restores the starting values");
    return 0;
}

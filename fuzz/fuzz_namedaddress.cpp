// Fuzz target: the named-address parser (docs/named-addresses.md) and the memory's resolution
// of a control's namedAddress text.
//
// The input is the text itself (UTF-8). Besides the sanitizers, the target checks what the
// grammar promises and aborts when a promise breaks:
// - a reading written back in canonical form parses to the same reading;
// - a symbol reading holds a valid symbol, and its "-N" alternative too;
// - resolveAddress succeeds only for well-formed text and only onto a defined parameter, and
//   leaves its output untouched when it fails.
#include "fuzzsupport.h"

#include "memory/namedaddress.h"
#include "memory/referencememory.h"

#include <QByteArray>

using NS_OrvelMemory::TNamedAddressReading;

namespace {

TReferenceMemory_Orvel* memory = nullptr;

void check(bool ok, const char* what, const QString& input)
{
    if (ok)
        return;
    fprintf(stderr, "broken promise: %s (input \"%s\")\n", what, qPrintable(input));
    abort();
}

bool same(const TNamedAddressReading& a, const TNamedAddressReading& b)
{
    return a.numeric == b.numeric && a.symbol == b.symbol && a.high == b.high && a.mid == b.mid
        && a.low == b.low && a.offset == b.offset;
}

QString canonical(const TNamedAddressReading& r)
{
    QString text = r.numeric ? QStringLiteral("%1:%2:%3").arg(r.high).arg(r.mid).arg(r.low) : r.symbol;
    // Spaces around the sign: a name cannot contain them, so the offset is never read back as
    // part of the name.
    if (r.offset > 0)
        text += QStringLiteral(" + %1").arg(r.offset);
    else if (r.offset < 0)
        text += QStringLiteral(" - %1").arg(-int(r.offset));
    return text;
}

void define(const char* name, int high, int mid, int low)
{
    TParameterSpec_Orvel p;
    p.name = QString::fromLatin1(name);
    p.high = qint16(high);
    p.mid = qint16(mid);
    p.low = qint16(low);
    memory->addParameter(p);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    OrvelFuzz::application(argc, argv);
    memory = new TReferenceMemory_Orvel;
    // Names that make both readings of "name-N" reachable.
    define("cutoff", 0, 2, 0);
    define("lfo", 0, 3, 0);
    define("lfo-2", 0, 3, 1);
    define("a.b_c", -512, 2047, 2047);
    define("x-1-2", 1, 0, 5);
    memory->registerName(QStringLiteral("x-1"), 1, 0, 5);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    TNamedAddressReading reading, alternative;
    bool hasAlternative = false;
    const bool parsed = NS_OrvelMemory::parseNamedAddress(input, reading, &alternative, &hasAlternative);
    if (parsed) {
        TNamedAddressReading again;
        check(NS_OrvelMemory::parseNamedAddress(canonical(reading), again), "canonical form parses", input);
        check(same(reading, again), "canonical form reads the same", input);
        if (!reading.numeric)
            check(NS_OrvelMemory::isValidSymbol(reading.symbol), "symbol reading is a valid symbol", input);
        if (hasAlternative) {
            check(!reading.numeric && reading.offset == 0, "alternative only for a bare symbol", input);
            check(NS_OrvelMemory::isValidSymbol(alternative.symbol) && alternative.offset <= 0,
                  "alternative is a valid symbol with a negative offset", input);
        }
    } else {
        check(!hasAlternative, "no alternative for malformed text", input);
    }
    qint16 h = 0, m = 0, l = 0;
    if (NS_OrvelMemory::parseNumericAddress(input, h, m, l))
        check(parsed && reading.numeric && reading.high == h && reading.mid == m && reading.low == l
                  && reading.offset == 0,
              "a plain numeric address is a named address without offset", input);

    TParamAddress out{11, 22, 33, 44};
    const bool resolved = memory->resolveAddress(input, out);
    if (resolved) {
        check(parsed, "only well-formed text resolves", input);
        check(memory->hasParameter(out.high, out.mid, out.low), "resolves onto a parameter", input);
    } else {
        check(out.high == 11 && out.mid == 22 && out.low == 33 && out.lowOffset == 44,
              "a failed resolution leaves the output alone", input);
    }
    return 0;
}

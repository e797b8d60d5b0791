// The JSON parameter map: parsing, per-entry checks and error positions.
//
// The file format is described in docs/parameter-map.md. parseParameterMap() checks everything
// that one file can tell on its own (syntax, keys, types, ranges inside each entry) and keeps the
// line of every entry, so that the memory can report conflicts with what it already holds in
// the same "file:line: entry: message" form.
#pragma once

#include "parameterdefinition.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace NS_OrvelMemory {

struct ORVELKIT_EXPORT TMapTable
{
    int id = 0;
    QStringList strings;
    // A format table instead of strings: text = format applied to value / stepScale (0: the
    // memory's global step scale).
    QString format;
    int stepScale = 0;
    int index = 0; // position in the "tables" array
    int line = 0;
};

struct ORVELKIT_EXPORT TMapName
{
    QString name;
    qint16 high = 0;
    qint16 mid = 0;
    qint16 low = 0;
    int line = 0;
};

struct ORVELKIT_EXPORT TMapParameter
{
    TParameterSpec_Orvel definition;
    int index = 0;          // position in the "parameters" array
    int line = 0;           // line of the entry's opening brace
    QHash<QString, int> keyLines; // line of each key of the entry
};

struct ORVELKIT_EXPORT TParameterMapData
{
    QString source; // the name used in messages
    std::optional<int> stepScale;
    QList<TMapTable> tables;
    QList<TMapName> names;
    QList<TMapParameter> parameters;
};

// Parses `json`. On failure returns false and appends messages ("source:line: ...") to
// `errors`; `out` is then incomplete and must not be used.
ORVELKIT_EXPORT bool parseParameterMap(const QByteArray& json, const QString& sourceName,
                                       TParameterMapData& out, QStringList& errors);

// "parameter 3 (\"osc1.cutoff\")" or "parameter 3".
ORVELKIT_EXPORT QString describeParameter(const TMapParameter& parameter);

// "source:line: parameter 3 (\"name\"): message", using the line of `key` when the entry has it.
ORVELKIT_EXPORT QString parameterError(const TParameterMapData& map,
                                       const TMapParameter& parameter, const QString& key,
                                       const QString& message);

// Checks one parameter on its own: address ranges, name syntax, value ranges, table id and
// step scale. Returns an empty string when the parameter is fine; otherwise the message, with
// `key` (when given) receiving the map key the problem belongs to.
ORVELKIT_EXPORT QString checkParameterDefinition(const TParameterSpec_Orvel& definition,
                                                 QString* key = nullptr);

// The address ranges that keep packed addresses unique.
constexpr int MinHigh = -512;
constexpr int MaxHigh = 511;
constexpr int MaxMidLow = 2047;
ORVELKIT_EXPORT bool addressInRange(int high, int mid, int low);

// "high:mid:low"
ORVELKIT_EXPORT QString addressText(qint16 high, qint16 mid, qint16 low);

} // namespace NS_OrvelMemory

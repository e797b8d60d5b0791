#include "parametermap.h"

#include "displaytables.h"
#include "namedaddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSet>

#include <cmath>
#include <limits>

namespace NS_OrvelMemory {

namespace {

const QString FormatName = QStringLiteral("orvelkit-parameter-map");
constexpr int FormatVersion = 1;

// ---------------------------------------------------------------------------------------------
// JsonLocator: QJsonDocument keeps no positions, so this scan of the (already valid) text gives
// the line of every object member and array element, by path: "parameters/3" is the fourth
// parameter entry, "parameters/3/min" the line of its "min" key. It tracks strings, escapes and
// nesting, and notes keys that occur twice in one object (QJsonObject would keep only one).
class JsonLocator
{
public:
    struct Duplicate
    {
        QString path;
        int line;
    };

    explicit JsonLocator(const QByteArray& text) { scan(text); }

    // The line of `path`, or of its nearest recorded ancestor; 1 for the root.
    int lineOf(QString path) const
    {
        for (;;) {
            const auto it = m_lines.constFind(path);
            if (it != m_lines.constEnd())
                return it.value();
            const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
            if (slash < 0)
                return 1;
            path.truncate(slash);
        }
    }
    const QList<Duplicate>& duplicates() const { return m_duplicates; }

private:
    static constexpr int MaxDepth = 4;

    struct Frame
    {
        bool object = false;
        bool expectKey = false;
        int index = 0;
        QString path;
        QString key;
        QSet<QString> keys;
    };

    static QString join(const QString& parent, const QString& part)
    {
        return parent.isEmpty() ? part : parent + QLatin1Char('/') + part;
    }

    // Path of the value that starts now, and records the line of array elements.
    QString valueStarts(int line)
    {
        if (m_stack.empty())
            return QString();
        Frame& top = m_stack.back();
        if (top.object)
            return join(top.path, top.key);
        const QString path = join(top.path, QString::number(top.index));
        record(path, line);
        return path;
    }

    void record(const QString& path, int line)
    {
        if (path.count(QLatin1Char('/')) < MaxDepth && !m_lines.contains(path))
            m_lines.insert(path, line);
    }

    static QString decodeKey(const QByteArray& raw)
    {
        if (!raw.contains('\\'))
            return QString::fromUtf8(raw);
        const QJsonDocument doc = QJsonDocument::fromJson("[\"" + raw + "\"]");
        return doc.array().at(0).toString();
    }

    void scan(const QByteArray& text)
    {
        int line = 1;
        bool inString = false;
        bool stringIsKey = false;
        bool inScalar = false;
        int keyLine = 0;
        qsizetype stringStart = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text.at(i);
            if (c == '\n')
                ++line;
            if (inString) {
                if (c == '\\') {
                    ++i; // the escaped character cannot be a newline in valid JSON
                } else if (c == '"') {
                    inString = false;
                    if (stringIsKey && !m_stack.empty()) {
                        Frame& top = m_stack.back();
                        top.key = decodeKey(text.mid(stringStart, i - stringStart));
                        const QString path = join(top.path, top.key);
                        if (top.keys.contains(top.key))
                            m_duplicates.append({path, keyLine});
                        top.keys.insert(top.key);
                        record(path, keyLine);
                    }
                }
                continue;
            }
            switch (c) {
            case '"':
                inScalar = false;
                inString = true;
                stringStart = i + 1;
                stringIsKey = !m_stack.empty() && m_stack.back().object && m_stack.back().expectKey;
                keyLine = line;
                if (!stringIsKey)
                    valueStarts(line);
                break;
            case '{':
            case '[': {
                inScalar = false;
                Frame frame;
                frame.path = valueStarts(line);
                frame.object = c == '{';
                frame.expectKey = frame.object;
                m_stack.push_back(frame);
                break;
            }
            case '}':
            case ']':
                inScalar = false;
                if (!m_stack.empty())
                    m_stack.pop_back();
                break;
            case ',':
                inScalar = false;
                if (!m_stack.empty()) {
                    if (m_stack.back().object)
                        m_stack.back().expectKey = true;
                    else
                        ++m_stack.back().index;
                }
                break;
            case ':':
                inScalar = false;
                if (!m_stack.empty())
                    m_stack.back().expectKey = false;
                break;
            case ' ':
            case '\t':
            case '\r':
            case '\n':
                inScalar = false;
                break;
            default:
                if (!inScalar) {
                    inScalar = true;
                    valueStarts(line);
                }
                break;
            }
        }
    }

    std::vector<Frame> m_stack;
    QHash<QString, int> m_lines;
    QList<Duplicate> m_duplicates;
};

// ---------------------------------------------------------------------------------------------

// Reads an integer JSON value: a number without fraction that fits an int.
bool readInt(const QJsonValue& value, int& out)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < double(std::numeric_limits<int>::min())
        || d > double(std::numeric_limits<int>::max()))
        return false;
    out = int(d);
    return true;
}

QString typeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    default: return QStringLiteral("undefined");
    }
}

bool readCurve(const QString& text, TParameterCurve_Orvel& curve)
{
    if (text == QLatin1String("none"))
        curve = TParameterCurve_Orvel::None;
    else if (text == QLatin1String("linear"))
        curve = TParameterCurve_Orvel::Linear;
    else if (text == QLatin1String("db"))
        curve = TParameterCurve_Orvel::Decibel;
    else
        return false;
    return true;
}

// A message line as it is reported: control characters and line separators that a map's keys,
// names or strings may carry (the JSON reader lets raw ones through inside strings) are written
// as escapes, so each problem stays on one line of the error text.
QString oneLine(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            out += QLatin1String("\\n");
        else if (u == '\r')
            out += QLatin1String("\\r");
        else if (u == '\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7F || u == 0x85 || u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// Collects messages in the "source:line: context: message" form, one line each.
class ErrorSink
{
public:
    ErrorSink(const QString& source, QStringList& errors) : m_source(source), m_errors(errors) {}

    void add(int line, const QString& context, const QString& message)
    {
        QString text = m_source + QLatin1Char(':') + QString::number(line) + QStringLiteral(": ");
        if (!context.isEmpty())
            text += context + QStringLiteral(": ");
        m_errors.append(oneLine(text + message));
        ++m_count;
    }
    int count() const { return m_count; }

private:
    QString m_source;
    QStringList& m_errors;
    int m_count = 0;
};

// The checks shared by the sections: an entry's unknown keys and the type of each value.
class EntryReader
{
public:
    EntryReader(const QJsonObject& object, const QString& path, const QString& context,
                const JsonLocator& locator, ErrorSink& sink)
        : m_object(object), m_path(path), m_context(context), m_locator(locator), m_sink(sink)
    {
    }

    void setContext(const QString& context) { m_context = context; }
    int lineOf(const QString& key) const
    {
        return m_locator.lineOf(m_path.isEmpty() ? key : m_path + QLatin1Char('/') + key);
    }
    void error(const QString& key, const QString& message)
    {
        m_sink.add(key.isEmpty() ? m_locator.lineOf(m_path) : lineOf(key), m_context, message);
        m_failed = true;
    }
    bool failed() const { return m_failed; }

    void allowKeys(std::initializer_list<const char*> keys)
    {
        QSet<QString> allowed;
        for (const char* key : keys)
            allowed.insert(QLatin1String(key));
        for (auto it = m_object.constBegin(); it != m_object.constEnd(); ++it) {
            if (!allowed.contains(it.key()))
                error(it.key(), QStringLiteral("unknown key \"%1\"").arg(it.key()));
        }
    }
    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }

    bool require(const char* key)
    {
        if (has(key))
            return true;
        error(QString(), QStringLiteral("missing required key \"%1\"").arg(QLatin1String(key)));
        return false;
    }

    std::optional<int> integer(const char* key)
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined())
            return std::nullopt;
        int out = 0;
        if (!readInt(value, out)) {
            error(QLatin1String(key),
                  QStringLiteral("\"%1\" must be an integer, not %2")
                      .arg(QLatin1String(key), value.isDouble()
                                                   ? QStringLiteral("%1").arg(value.toDouble())
                                                   : typeName(value)));
            return std::nullopt;
        }
        return out;
    }

    std::optional<QString> string(const char* key)
    {
        return typed(key, "a string", [](const QJsonValue& v) {
            return v.isString() ? std::optional<QString>(v.toString()) : std::nullopt;
        });
    }

    std::optional<bool> boolean(const char* key)
    {
        return typed(key, "true or false", [](const QJsonValue& v) {
            return v.isBool() ? std::optional<bool>(v.toBool()) : std::nullopt;
        });
    }

    std::optional<QJsonArray> array(const char* key)
    {
        return typed(key, "an array", [](const QJsonValue& v) {
            return v.isArray() ? std::optional<QJsonArray>(v.toArray()) : std::nullopt;
        });
    }

    // The value of `key` converted by `convert`, which yields nothing for a value of the wrong
    // type; that is reported as "must be <what>". Nothing either when the key is absent.
    template <class Convert>
    auto typed(const char* key, const char* what, Convert convert) -> decltype(convert(QJsonValue()))
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined())
            return std::nullopt;
        auto converted = convert(value);
        if (!converted)
            error(QLatin1String(key), QStringLiteral("\"%1\" must be %2, not %3")
                                          .arg(QLatin1String(key), QLatin1String(what), typeName(value)));
        return converted;
    }

private:
    const QJsonObject& m_object;
    QString m_path;
    QString m_context;
    const JsonLocator& m_locator;
    ErrorSink& m_sink;
    bool m_failed = false;
};

void readTables(const QJsonArray& tables, const JsonLocator& locator, ErrorSink& sink,
                TParameterMapData& out)
{
    for (int i = 0; i < tables.size(); ++i) {
        const QString path = QStringLiteral("tables/%1").arg(i);
        const QString context = QStringLiteral("table %1").arg(i);
        if (!tables.at(i).isObject()) {
            sink.add(locator.lineOf(path), context, QStringLiteral("must be an object"));
            continue;
        }
        const QJsonObject object = tables.at(i).toObject();
        EntryReader entry(object, path, context, locator, sink);
        entry.allowKeys({"id", "strings", "format", "stepScale"});
        const bool complete = entry.require("id");
        const std::optional<int> id = entry.integer("id");
        const std::optional<QJsonArray> strings = entry.array("strings");
        const std::optional<QString> format = entry.string("format");
        const std::optional<int> stepScale = entry.integer("stepScale");
        if (!complete || !id)
            continue;
        TMapTable table;
        table.id = *id;
        table.index = i;
        table.line = locator.lineOf(path);
        if (*id < 1)
            entry.error(QStringLiteral("id"),
                        QStringLiteral("table id %1 is not 1 or more").arg(*id));
        // A table is either a list of strings or a format (with its own step scale).
        if (object.contains(QLatin1String("strings")) == object.contains(QLatin1String("format")))
            entry.error(QString(), QStringLiteral("a table has either \"strings\" or \"format\""));
        if (stepScale && (!format || *stepScale < 1))
            entry.error(QStringLiteral("stepScale"),
                        format ? QStringLiteral("stepScale %1 is not 1 or more").arg(*stepScale)
                               : QStringLiteral("\"stepScale\" belongs to a format table"));
        if (format && format->isEmpty())
            entry.error(QStringLiteral("format"), QStringLiteral("the format is empty"));
        if (format) {
            table.format = *format;
            table.stepScale = stepScale.value_or(0);
        }
        for (int s = 0; strings && s < strings->size(); ++s) {
            if (!strings->at(s).isString()) {
                sink.add(locator.lineOf(path + QStringLiteral("/strings/%1").arg(s)), context,
                         QStringLiteral("string %1 must be a string, not %2")
                             .arg(s).arg(typeName(strings->at(s))));
                continue;
            }
            table.strings.append(strings->at(s).toString());
        }
        out.tables.append(table);
    }
}

void readNames(const QJsonObject& names, const JsonLocator& locator, ErrorSink& sink,
               TParameterMapData& out)
{
    for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
        const QString path = QStringLiteral("names/") + it.key();
        const int line = locator.lineOf(path);
        const QString context = QStringLiteral("name \"%1\"").arg(it.key());
        if (!isValidSymbol(it.key())) {
            sink.add(line, context, QStringLiteral("not a valid name ([A-Za-z_][A-Za-z0-9_.-]*)"));
            continue;
        }
        if (!it.value().isString()) {
            sink.add(line, context, QStringLiteral("the address must be a string, not %1")
                                        .arg(typeName(it.value())));
            continue;
        }
        TMapName name;
        name.name = it.key();
        name.line = line;
        if (!parseNumericAddress(it.value().toString(), name.high, name.mid, name.low)) {
            sink.add(line, context, QStringLiteral("bad address \"%1\" (expected high:mid:low)")
                                        .arg(it.value().toString()));
            continue;
        }
        if (!addressInRange(name.high, name.mid, name.low)) {
            sink.add(line, context, QStringLiteral("address %1 out of range (high -512..511, "
                                                   "mid and low 0..2047)")
                                        .arg(addressText(name.high, name.mid, name.low)));
            continue;
        }
        out.names.append(name);
    }
}

void readParameters(const QJsonArray& parameters, const JsonLocator& locator, ErrorSink& sink,
                    TParameterMapData& out)
{
    for (int i = 0; i < parameters.size(); ++i) {
        const QString path = QStringLiteral("parameters/%1").arg(i);
        TMapParameter parameter;
        parameter.index = i;
        parameter.line = locator.lineOf(path);
        if (!parameters.at(i).isObject()) {
            sink.add(parameter.line, describeParameter(parameter),
                     QStringLiteral("must be an object"));
            continue;
        }
        const QJsonObject object = parameters.at(i).toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            parameter.keyLines.insert(it.key(), locator.lineOf(path + QLatin1Char('/') + it.key()));

        TParameterSpec_Orvel& definition = parameter.definition;
        EntryReader entry(object, path, describeParameter(parameter), locator, sink);
        if (const auto name = entry.string("name")) {
            definition.name = *name;
            entry.setContext(describeParameter(parameter));
        }
        entry.allowKeys({"name", "label", "address", "min", "max", "default", "altDefault",
                         "value", "stepScale", "table", "format", "curve", "available"});
        const bool complete =
            entry.require("address") & entry.require("min") & entry.require("max");
        if (const auto label = entry.string("label"))
            definition.label = *label;
        if (const auto address = entry.string("address")) {
            if (!parseNumericAddress(*address, definition.high, definition.mid, definition.low))
                entry.error(
                    QStringLiteral("address"),
                    QStringLiteral("bad address \"%1\" (expected high:mid:low)").arg(*address));
        }
        const auto minimum = entry.integer("min");
        const auto maximum = entry.integer("max");
        const auto defaultValue = entry.integer("default");
        const auto altDefault = entry.integer("altDefault");
        const auto value = entry.integer("value");
        const auto stepScale = entry.integer("stepScale");
        const auto table = entry.integer("table");
        const auto format = entry.string("format");
        const auto curve = entry.string("curve");
        const auto available = entry.boolean("available");
        if (curve && !readCurve(*curve, definition.curve))
            entry.error(QStringLiteral("curve"),
                        QStringLiteral("unknown curve \"%1\" (linear, db or none)").arg(*curve));
        if (!complete || entry.failed())
            continue;

        definition.minimum = *minimum;
        definition.maximum = *maximum;
        // Without a default, 0 brought into the range; without a value, the default.
        definition.defaultValue =
            defaultValue
                ? *defaultValue
                : qBound(definition.minimum, 0, qMax(definition.minimum, definition.maximum));
        definition.value = value ? *value : definition.defaultValue;
        definition.altDefault = altDefault;
        definition.stepScale = stepScale.value_or(0);
        definition.displayTable = table.value_or(0);
        definition.format = format.value_or(QString());
        definition.available = available.value_or(true);

        QString key;
        const QString problem = checkParameterDefinition(definition, &key);
        if (!problem.isEmpty()) {
            entry.error(key, problem);
            continue;
        }
        out.parameters.append(parameter);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool addressInRange(int high, int mid, int low)
{
    return high >= MinHigh && high <= MaxHigh && mid >= 0 && mid <= MaxMidLow && low >= 0
           && low <= MaxMidLow;
}

QString addressText(qint16 high, qint16 mid, qint16 low)
{
    return QStringLiteral("%1:%2:%3").arg(high).arg(mid).arg(low);
}

QString describeParameter(const TMapParameter& parameter)
{
    if (parameter.definition.name.isEmpty())
        return QStringLiteral("parameter %1").arg(parameter.index);
    return QStringLiteral("parameter %1 (\"%2\")")
        .arg(parameter.index)
        .arg(parameter.definition.name);
}

QString parameterError(const TParameterMapData& map, const TMapParameter& parameter,
                       const QString& key, const QString& message)
{
    const int line = parameter.keyLines.value(key, parameter.line);
    return QStringLiteral("%1:%2: %3: %4")
        .arg(map.source)
        .arg(line)
        .arg(describeParameter(parameter), message);
}

QString checkParameterDefinition(const TParameterSpec_Orvel& definition, QString* key)
{
    const auto fail = [&](const char* k, const QString& message) {
        if (key)
            *key = QLatin1String(k);
        return message;
    };
    if (!addressInRange(definition.high, definition.mid, definition.low))
        return fail("address",
                    QStringLiteral("address %1 out of range (high -512..511, mid and "
                                   "low 0..2047)")
                        .arg(addressText(definition.high, definition.mid, definition.low)));
    if (!definition.name.isEmpty() && !isValidSymbol(definition.name))
        return fail("name", QStringLiteral("\"%1\" is not a valid name ([A-Za-z_][A-Za-z0-9_.-]*)")
                                .arg(definition.name));
    if (definition.minimum > definition.maximum)
        return fail(
            "min",
            QStringLiteral("min %1 > max %2").arg(definition.minimum).arg(definition.maximum));
    const auto outside = [&](const char* what, int v) {
        return QStringLiteral("%1 %2 outside %3..%4")
            .arg(QLatin1String(what))
            .arg(v)
            .arg(definition.minimum)
            .arg(definition.maximum);
    };
    if (definition.defaultValue < definition.minimum ||
        definition.defaultValue > definition.maximum)
        return fail("default", outside("default", definition.defaultValue));
    if (definition.value < definition.minimum || definition.value > definition.maximum)
        return fail("value", outside("value", definition.value));
    if (definition.altDefault && (*definition.altDefault < definition.minimum ||
                                  *definition.altDefault > definition.maximum))
        return fail("altDefault", outside("altDefault", *definition.altDefault));
    if (definition.stepScale < 0)
        return fail("stepScale",
                    QStringLiteral("stepScale %1 is negative").arg(definition.stepScale));
    if (definition.displayTable < 1 && !isBuiltinTable(definition.displayTable))
        return fail("table", QStringLiteral("table %1 is not a display table (1 or more, 0, or "
                                            "-2..-8)")
                                 .arg(definition.displayTable));
    return QString();
}

bool parseParameterMap(const QByteArray& json, const QString& sourceName, TParameterMapData& out,
                       QStringList& errors)
{
    out = TParameterMapData();
    out.source = sourceName.isEmpty() ? QStringLiteral("<map>") : sourceName;
    ErrorSink sink(out.source, errors);

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const qsizetype offset = qBound<qsizetype>(0, qsizetype(parseError.offset), json.size());
        const QByteArray before = json.left(offset);
        const int line = int(before.count('\n')) + 1;
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        const int column = int(QString::fromUtf8(before.mid(lineStart)).size()) + 1;
        errors.append(oneLine(QStringLiteral("%1:%2:%3: invalid JSON: %4")
                                  .arg(out.source)
                                  .arg(line)
                                  .arg(column)
                                  .arg(parseError.errorString())));
        return false;
    }
    if (!document.isObject()) {
        sink.add(1, QString(), QStringLiteral("the map must be a JSON object"));
        return false;
    }

    const JsonLocator locator(json);
    for (const JsonLocator::Duplicate& duplicate : locator.duplicates()) {
        sink.add(duplicate.line, QString(),
                 QStringLiteral("duplicate key \"%1\"")
                     .arg(duplicate.path.section(QLatin1Char('/'), -1)));
    }

    const QJsonObject root = document.object();
    EntryReader top(root, QString(), QString(), locator, sink);
    top.allowKeys({"format", "version", "stepScale", "tables", "names", "parameters"});
    const bool complete = top.require("format") & top.require("version");
    const auto format = top.string("format");
    const auto version = top.integer("version");
    if (!complete || !format || !version)
        return false;
    if (*format != FormatName) {
        top.error(QStringLiteral("format"),
                  QStringLiteral("format is \"%1\", expected \"%2\"").arg(*format, FormatName));
        return false;
    }
    if (*version != FormatVersion) {
        top.error(QStringLiteral("version"),
                  QStringLiteral("unsupported version %1 (this reader knows version %2)")
                      .arg(*version)
                      .arg(FormatVersion));
        return false;
    }
    if (const auto stepScale = top.integer("stepScale")) {
        if (*stepScale < 1)
            top.error(QStringLiteral("stepScale"),
                      QStringLiteral("stepScale %1 is not 1 or more").arg(*stepScale));
        else
            out.stepScale = *stepScale;
    }
    if (const auto tables = top.array("tables"))
        readTables(*tables, locator, sink, out);
    if (root.contains(QLatin1String("names"))) {
        const QJsonValue names = root.value(QLatin1String("names"));
        if (names.isObject())
            readNames(names.toObject(), locator, sink, out);
        else
            top.error(QStringLiteral("names"),
                      QStringLiteral("\"names\" must be an object, not %1").arg(typeName(names)));
    }
    if (const auto parameters = top.array("parameters"))
        readParameters(*parameters, locator, sink, out);
    return sink.count() == 0;
}

} // namespace NS_OrvelMemory

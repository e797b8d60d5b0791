#include "benchsupport.h"

#include <QColor>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRadialGradient>
#include <QWidget>
#include <QWindow>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace OrvelBench {

qint64 Options::count(qint64 fullRun) const
{
    if (iterations > 0)
        return iterations;
    return smoke ? 20 : fullRun;
}

namespace {

void printUsage(FILE* to)
{
    std::fputs("usage: bench_knob [--smoke] [--iterations N] [--rounds N] [--markdown]\n"
               "  --smoke         a tiny run (20 iterations, 2 rounds) that checks the set-up\n"
               "  --iterations N  iterations of every measurement in each round\n"
               "  --rounds N      rounds per measurement (default 7); the median is reported\n"
               "  --markdown      print the tables as Markdown\n",
               to);
}

} // namespace

bool parseOptions(const QStringList& arguments, Options& options, int* exitCode)
{
    bool roundsGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        bool ok = true;
        if (a == QLatin1String("--smoke")) {
            options.smoke = true;
        } else if (a == QLatin1String("--markdown")) {
            options.markdown = true;
        } else if (a == QLatin1String("--iterations") && i + 1 < arguments.size()) {
            options.iterations = arguments.at(++i).toLongLong(&ok);
            ok = ok && options.iterations > 0;
        } else if (a == QLatin1String("--rounds") && i + 1 < arguments.size()) {
            options.rounds = arguments.at(++i).toInt(&ok);
            ok = ok && options.rounds > 0;
            roundsGiven = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            printUsage(stdout);
            *exitCode = 0;
            return false;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "bench: bad argument '%s'\n", qPrintable(a));
            printUsage(stderr);
            *exitCode = 2;
            return false;
        }
    }
    if (options.smoke && !roundsGiven)
        options.rounds = 2;
    return true;
}

void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
}

namespace {
int& offscreenFirst(int& argc)
{
    preferOffscreen();
    return argc;
}
} // namespace

Application::Application(int& argc, char** argv) : QApplication(offscreenFirst(argc), argv)
{
    setStyle(QStringLiteral("Fusion"));
}

bool Application::readOptions(Options& options)
{
    return parseOptions(arguments().mid(1), options, &m_exitCode);
}

namespace {

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

qint64 wallNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}

// The rounds of measure() and measureThreadCpu(), timed with `now` (nanoseconds).
std::vector<Result> measureWith(qint64 (*now)(), const std::vector<Variant>& variants, qint64 iterations,
                                int rounds, const std::function<void()>& between)
{
    const size_t n = variants.size();
    for (const Variant& v : variants) {
        v.run(iterations);
        if (between)
            between();
    }
    std::vector<std::vector<double>> perOp(n);
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < n; ++k) {
            const size_t i = (k + size_t(round)) % n;
            const qint64 start = now();
            variants[i].run(iterations);
            const qint64 ns = now() - start;
            perOp[i].push_back(double(ns) / double(iterations));
            if (between)
                between();
        }
    }
    std::vector<Result> results;
    for (size_t i = 0; i < n; ++i) {
        std::vector<double>& t = perOp[i];
        std::sort(t.begin(), t.end());
        const size_t m = t.size();
        const double median = m % 2 ? t[m / 2] : (t[m / 2 - 1] + t[m / 2]) / 2.0;
        results.push_back(Result{variants[i].label, median, t.front(), t.back()});
    }
    return results;
}

} // namespace

std::vector<Result> measure(const std::vector<Variant>& variants, qint64 iterations, int rounds,
                            const std::function<void()>& between)
{
    return measureWith(wallNs, variants, iterations, rounds, between);
}

std::vector<Result> measureThreadCpu(const std::vector<Variant>& variants, qint64 iterations, int rounds,
                                     const std::function<void()>& between)
{
    return measureWith(threadCpuNs, variants, iterations, rounds, between);
}

Table::Table(QString title, QString note) : m_title(std::move(title)), m_note(std::move(note))
{
}

void Table::addResult(const Result& result)
{
    m_results.push_back(result);
}

void Table::addRatio(const QString& label, double ratio)
{
    m_ratios.emplace_back(label, ratio);
}

void Table::setValueHeader(const QString& header)
{
    m_valueHeader = header;
}

namespace {

QString ns(double v)
{
    return QString::number(v, 'f', v < 100 ? 1 : 0);
}

QString ratioText(double r)
{
    return QString::number(r, 'f', 2);
}

} // namespace

void Table::print(bool markdown) const
{
    QTextStream out(stdout);
    int width = 0;
    for (const Result& r : m_results)
        width = std::max(width, int(r.label.size()));
    for (const auto& r : m_ratios)
        width = std::max(width, int(r.first.size()));
    if (markdown) {
        out << "### " << m_title << "\n\n";
        if (!m_note.isEmpty())
            out << m_note << "\n\n";
        out << "| operation | " << m_valueHeader << " | rounds min–max |\n|---|---:|---:|\n";
        for (const Result& r : m_results)
            out << "| " << r.label << " | " << ns(r.median) << " | " << ns(r.min) << "–"
                << ns(r.max) << " |\n";
        out << "\n| ratio | value |\n|---|---:|\n";
        for (const auto& r : m_ratios)
            out << "| " << r.first << " | " << ratioText(r.second) << " |\n";
        out << "\n";
    } else {
        out << m_title << "\n";
        if (!m_note.isEmpty())
            out << "  " << m_note << "\n";
        out << "  " << QString("operation").leftJustified(width) << "  "
            << QString(m_valueHeader).section(QLatin1Char(' '), 0, 0).rightJustified(9) << "  " << QString("min-max").rightJustified(15)
            << "\n";
        for (const Result& r : m_results)
            out << "  " << r.label.leftJustified(width) << "  " << ns(r.median).rightJustified(9)
                << "  " << (ns(r.min) + "-" + ns(r.max)).rightJustified(15) << "\n";
        for (const auto& r : m_ratios)
            out << "  " << r.first.leftJustified(width) << "  "
                << (ratioText(r.second) + "x").rightJustified(9) << "\n";
        out << "\n";
    }
    out.flush();
}

QPixmap makeKnobStrip(int cell, int rows)
{
    QImage image(cell, cell * rows, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double c = cell / 2.0;
    const double radius = cell / 2.0 - 2.0;
    const double pi = std::acos(-1.0);
    for (int r = 0; r < rows; ++r) {
        const double top = double(r) * cell;
        QRadialGradient face(QPointF(c - radius / 3, top + c - radius / 3), radius * 1.4);
        face.setColorAt(0.0, QColor(230, 230, 235, 230));
        face.setColorAt(1.0, QColor(60, 60, 70, 200));
        p.setBrush(face);
        p.setPen(QPen(QColor(20, 20, 25, 180), 1.5));
        p.drawEllipse(QPointF(c, top + c), radius, radius);
        const double degrees = rows > 1 ? -135.0 + 270.0 * r / (rows - 1) : 0.0;
        const double a = degrees * pi / 180.0;
        p.setPen(QPen(QColor(250, 120, 20, 240), 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c + 0.25 * radius * std::sin(a), top + c - 0.25 * radius * std::cos(a)),
                   QPointF(c + 0.85 * radius * std::sin(a), top + c - 0.85 * radius * std::cos(a)));
    }
    p.end();
    return QPixmap::fromImage(image);
}

namespace {
int g_failedChecks = 0;
}

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "%s: check failed: %s\n", qPrintable(QCoreApplication::applicationName()), what);
        ++g_failedChecks;
    }
}

int checksExitCode()
{
    if (g_failedChecks == 0)
        return 0;
    std::fprintf(stderr, "%s: %d check(s) failed\n", qPrintable(QCoreApplication::applicationName()),
                 g_failedChecks);
    return 1;
}

bool PaintCounter::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        ++paints;
    return false;
}

bool waitExposed(QWidget& window)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (window.windowHandle() && window.windowHandle()->isExposed())
            return true;
    }
    return false;
}

} // namespace OrvelBench

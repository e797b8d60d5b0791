// What the benchmarks share: the command line, interleaved rounds reduced to medians, the
// result tables (plain text or Markdown) and a strip drawn in code.
//
// Every figure is meant to be read beside a reference timed in the same run: absolute times
// move with the machine, its load and the Qt build; ratios taken in one run move much less.
#pragma once

#include <QApplication>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QWidget;

#include <functional>
#include <vector>

namespace OrvelBench {

struct Options
{
    bool smoke = false;    // a tiny run that only proves the benchmark works (CTest)
    bool markdown = false; // tables as Markdown
    int rounds = 7;
    qint64 iterations = 0; // 0: each measurement uses its own default

    // The iteration count of a measurement whose full-run default is `fullRun`.
    qint64 count(qint64 fullRun) const;
};

// Reads the arguments after the program name. On --help or a bad argument prints the usage and
// returns false with the process exit code in *exitCode.
bool parseOptions(const QStringList& arguments, Options& options, int* exitCode);

// Selects the offscreen platform unless QT_QPA_PLATFORM is already set (call before the
// application object exists), and silences the platform plugin's notices unless logging rules
// are set.
void preferOffscreen();

// The application of a benchmark program: the offscreen platform (preferOffscreen, before Qt
// starts) and the Fusion style, so that every program measures the same Qt.
class Application : public QApplication
{
public:
    Application(int& argc, char** argv);
    // parseOptions on the arguments after the program name; on false the program returns
    // exitCode().
    bool readOptions(Options& options);
    int exitCode() const { return m_exitCode; }

private:
    int m_exitCode = 0;
};

// One operation under measurement: `run(n)` performs it n times.
struct Variant
{
    QString label;
    std::function<void(qint64 n)> run;
};

// Nanoseconds per operation over the rounds.
struct Result
{
    QString label;
    double median = 0;
    double min = 0;
    double max = 0;
};

// Runs every variant `iterations` times to warm up, then `rounds` rounds in which every variant
// runs `iterations` times. The order of the variants rotates from round to round, so that no
// variant always follows the same one. `between`, when given, runs untimed after every batch.
std::vector<Result> measure(const std::vector<Variant>& variants, qint64 iterations, int rounds,
                            const std::function<void()>& between = {});

// measure() timed by the CPU time of the calling thread instead of the wall clock: what other
// processes take from a loaded machine is left out. Only for work that runs entirely on the
// calling thread (painting on the offscreen platform does); the rounds are interleaved the same
// way.
std::vector<Result> measureThreadCpu(const std::vector<Variant>& variants, qint64 iterations, int rounds,
                                     const std::function<void()>& between = {});

// A result table: the measured rows, then ratio rows. Printed to stdout.
class Table
{
public:
    Table(QString title, QString note);
    void addResult(const Result& result);
    void addRatio(const QString& label, double ratio);
    // The heading of the value column in Markdown (default "ns/op (median)"; in plain text the
    // unit after "median"), for tables of other quantities (bytes, milliseconds).
    void setValueHeader(const QString& header);
    void print(bool markdown) const;

private:
    QString m_title;
    QString m_valueHeader = QStringLiteral("ns/op (median)");
    QString m_note;
    std::vector<Result> m_results;
    std::vector<std::pair<QString, double>> m_ratios;
};

// A check a benchmark makes on what it measures (also in the smoke run), so that a figure never
// comes from a broken setup: a failure is printed to stderr with `what` and counted.
void check(bool ok, const char* what);
// The process exit code after the checks: 0, or 1 (with a summary on stderr) when any failed.
int checksExitCode();

// Counts the paint events of the widgets it is installed on (installEventFilter); for the
// checks a benchmark makes, never installed while timing.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Processes events until `window` is exposed; false after 5 seconds.
bool waitExposed(QWidget& window);

// A knob strip drawn with QPainter: one column of `rows` square cells of `cell` pixels, each an
// antialiased, half-transparent disc with an indicator line turned from -135 to +135 degrees
// (premultiplied ARGB, device pixel ratio 1).
QPixmap makeKnobStrip(int cell, int rows);

} // namespace OrvelBench

// Time from process start to the first paint: the splash against a bare Qt
// program with one empty window (goal: within 1.3 times), and the length of
// the splash's 65000-pass wait.
//
//   bench_startup [runs]      (default 15; the probes run alternately; medians)
//
// Uses the display in DISPLAY (the program's choice: xcb), else offscreen.

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Runs one probe; its readings in milliseconds, first paint counted from just
// before the start.
std::map<QString, double> runProbe(const QString &program)
{
    QProcess probe;
    const long long started = monotonicNs();
    probe.start(program, {});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), probe.readAllStandardError().constData());
        std::exit(1);
    }
    std::map<QString, double> readings;
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 2)
            continue;
        const long long value = parts[1].toLongLong();
        const QString name = QString::fromLatin1(parts[0]);
        // Moments are clock readings, lengths are lengths.
        const bool moment = name == QLatin1String("first-paint-ns") || name == QLatin1String("application-ns")
                            || name == QLatin1String("splash-built-ns");
        readings[name] = (moment ? value - started : value) / 1e6;
    }
    return readings;
}

struct Series
{
    std::vector<double> values;
    double median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    double min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
    double max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

void report(const char *what, const Series &s)
{
    std::printf("%-34s median %8.1f ms   (min %.1f, max %.1f)\n", what, s.median(), s.min(), s.max());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    const QString dir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    Series bare, bareApp, splash, splashApp, splashBuilt, wait, mainLoad;
    runProbe(dir + QLatin1String("bench_startup_bare")); // warm the file cache
    runProbe(dir + QLatin1String("bench_startup_splash"));
    for (int i = 0; i < runs; ++i) {
        auto readings = runProbe(dir + QLatin1String("bench_startup_bare"));
        bare.values.push_back(readings["first-paint-ns"]);
        bareApp.values.push_back(readings["application-ns"]);
        readings = runProbe(dir + QLatin1String("bench_startup_splash"));
        splash.values.push_back(readings["first-paint-ns"]);
        splashApp.values.push_back(readings["application-ns"]);
        splashBuilt.values.push_back(readings["splash-built-ns"]);
        wait.values.push_back(readings["wait-ns"]);
        mainLoad.values.push_back(readings["main-load-ns"]);
    }

    std::printf("platform: %s, %d runs each\n",
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "xcb" : qgetenv("QT_QPA_PLATFORM").constData(),
                runs);
    report("bare program, application made", bareApp);
    report("bare program, first paint", bare);
    report("splash, application made", splashApp);
    report("splash, window built", splashBuilt);
    report("splash, first paint", splash);
    std::printf("%-34s %8.2f x        (goal: at most 1.3)\n", "splash / bare", splash.median() / bare.median());
    report("splash wait, 65000 passes", wait);
    report("  of which main window created", mainLoad);
    return 0;
}

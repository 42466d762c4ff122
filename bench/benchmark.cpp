#include "benchmark.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

double Benchmark::median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Benchmark::msecsOf(const std::function<void()> &run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return double(timer.nsecsElapsed()) / 1e6;
}

Benchmark::Timing Benchmark::measure(int repetitions, const std::function<void()> &prepare,
                                     const std::function<void()> &job, const std::function<void()> &baseline)
{
    prepare();
    job();
    prepare();
    baseline();
    std::vector<double> jobTimes;
    std::vector<double> baselineTimes;
    for (int i = 0; i < repetitions; ++i) {
        prepare();
        jobTimes.push_back(msecsOf(job));
        prepare();
        baselineTimes.push_back(msecsOf(baseline));
    }
    return {median(jobTimes), median(baselineTimes)};
}

void Benchmark::report(const char *name, const Timing &timing)
{
    std::printf("%s: %.1f ms, baseline %.1f ms, ratio %.1f\n", name, timing.msecs, timing.baselineMsecs,
                timing.msecs / timing.baselineMsecs);
    std::fflush(stdout);
}

bool Benchmark::setUpProgram(const QTemporaryDir &home)
{
    if (!home.isValid())
        return false;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("share"))));
    const QString runtime = home.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    QStandardPaths::setTestModeEnabled(true);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setOrganizationName(QStringLiteral("Noxel"));
    QCoreApplication::setApplicationName(QStringLiteral("Noxel"));
    return true;
}

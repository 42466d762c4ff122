#pragma once

#include <QTemporaryDir>

#include <functional>
#include <vector>

// Timing shared by the benchmarks: medians of a job and of its baseline, timed in
// the same process and taking turns, so that the machine's load touches both alike.
class Benchmark
{
public:
    struct Timing
    {
        double msecs;
        double baselineMsecs;
    };

    static double median(std::vector<double> values);
    static double msecsOf(const std::function<void()> &run);
    // After one untimed run of each; `prepare` runs untimed before every run of either.
    static Timing measure(int repetitions, const std::function<void()> &prepare, const std::function<void()> &job,
                          const std::function<void()> &baseline);
    // Sets up a benchmark that runs the program's own objects: the temporary folder as
    // the home of its settings, data and runtime folders, the program's names, and the
    // offscreen platform unless another is chosen. To be called before the application
    // object fixes its folders.
    static bool setUpProgram(const QTemporaryDir &home);
    // Prints "name: X ms, baseline Y ms, ratio Z".
    static void report(const char *name, const Timing &timing);

private:
    Benchmark() = delete;
};

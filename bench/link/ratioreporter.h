#ifndef BENCH_LINK_RATIOREPORTER_H
#define BENCH_LINK_RATIOREPORTER_H

// Console output as usual, plus the time per iteration of every repetition
// of every run, so that main() can print each figure as a ratio to its
// baseline measured in the same run: minimum against minimum and median
// against median. A shared machine slows a run now and then; the minima are
// what the code costs, the medians what it costs under that load.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

// Google Benchmark's own start, with five repetitions run in random order
// unless the command line says otherwise: a baseline and its figure then
// share whatever load the machine had. Returns the arguments left over.
inline char** initializeInterleaved(int* argc, char** argv)
{
    static std::vector<char*> args;
    args.assign(argv, argv + *argc);
    bool repetitions = false;
    bool interleaving = false;
    for (int i = 1; i < *argc; ++i) {
        repetitions = repetitions || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
        interleaving = interleaving || std::strncmp(argv[i], "--benchmark_enable_random_interleaving", 38) == 0;
    }
    static char repeat[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!repetitions)
        args.push_back(repeat);
    if (!interleaving)
        args.push_back(interleave);
    args.push_back(nullptr);
    *argc = int(args.size()) - 1;
    benchmark::Initialize(argc, args.data());
    return args.data();
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    // Colours only on a terminal.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations <= 0)
                continue;
            m_seconds[run.benchmark_name()].push_back(run.real_accumulated_time / double(run.iterations));
            m_cpuSeconds[run.benchmark_name()].push_back(run.cpu_accumulated_time / double(run.iterations));
        }
    }

    // Seconds per iteration of a run (wall clock, or the benchmark thread's
    // CPU time), the median of its repetitions or their minimum; a negative
    // value when it did not run.
    double seconds(const std::string& name, bool cpu = false, bool minimum = false) const
    {
        const std::map<std::string, std::vector<double>>& table = cpu ? m_cpuSeconds : m_seconds;
        const auto found = table.find(name);
        if (found == table.end() || found->second.empty())
            return -1.0;
        std::vector<double> values = found->second;
        std::sort(values.begin(), values.end());
        if (minimum)
            return values.front();
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    // "label: 12.3 us against 4.5 us (medians), ratio 2.73 (minima 2.61)";
    // in CPU time for work that never waits, as the machine may be shared.
    void ratio(const char* label, const std::string& measured, const std::string& baseline,
               bool cpu = false) const
    {
        const double a = seconds(measured, cpu);
        const double b = seconds(baseline, cpu);
        const double aMin = seconds(measured, cpu, true);
        const double bMin = seconds(baseline, cpu, true);
        if (a < 0 || b <= 0 || bMin <= 0) {
            std::printf("%-56s (not run)\n", label);
            return;
        }
        std::printf("%-56s %10.3f us against %10.3f us, ratio %6.2f (minima %6.2f)\n", label, a * 1e6,
                    b * 1e6, a / b, aMin / bMin);
    }

    void printHeading(const char* heading) const { std::printf("\n%s\n", heading); }

private:
    std::map<std::string, std::vector<double>> m_seconds;
    std::map<std::string, std::vector<double>> m_cpuSeconds;
};

#endif

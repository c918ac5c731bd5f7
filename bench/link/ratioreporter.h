#ifndef BENCH_LINK_RATIOREPORTER_H
#define BENCH_LINK_RATIOREPORTER_H

// Console output as usual, plus the time per iteration of every run, so that
// main() can print each figure against the limit it is measured beside.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run& run : reports) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations <= 0)
                continue;
            m_seconds[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
            m_cpuSeconds[run.benchmark_name()] = run.cpu_accumulated_time / double(run.iterations);
        }
    }

    // Seconds per iteration of a run (wall clock, or the benchmark thread's
    // CPU time), or a negative value when it did not run.
    double seconds(const std::string& name, bool cpu = false) const
    {
        const std::map<std::string, double>& table = cpu ? m_cpuSeconds : m_seconds;
        const auto found = table.find(name);
        return found == table.end() ? -1.0 : found->second;
    }

    // "label: 12.3 us against 4.5 us, ratio 2.73"
    void ratio(const char* label, const std::string& measured, const std::string& limit) const
    {
        const double a = seconds(measured);
        const double b = seconds(limit);
        if (a < 0 || b <= 0) {
            std::printf("%-58s (not run)\n", label);
            return;
        }
        std::printf("%-58s %10.3f us against %10.3f us, ratio %7.2f\n", label, a * 1e6, b * 1e6,
                    a / b);
    }

    void printHeading(const char* heading) const { std::printf("\n%s\n", heading); }

private:
    std::map<std::string, double> m_seconds;
    std::map<std::string, double> m_cpuSeconds;
};

#endif

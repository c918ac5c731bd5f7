#ifndef BENCH_SAMPLES_H
#define BENCH_SAMPLES_H

// Median and minimum of repeated measurements, for the benchmarks that time
// their runs themselves, and the machine's load to print beside them.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

// The 1, 5 and 15 minute load averages, as the kernel gives them.
inline std::string loadAverage()
{
    double one = 0, five = 0, fifteen = 0;
    FILE* file = std::fopen("/proc/loadavg", "r");
    const bool read = file && std::fscanf(file, "%lf %lf %lf", &one, &five, &fifteen) == 3;
    if (file)
        std::fclose(file);
    if (!read)
        return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
    return text;
}

#endif

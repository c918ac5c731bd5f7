#ifndef BENCH_SAMPLES_H
#define BENCH_SAMPLES_H

// Median and minimum of repeated measurements, for the benchmarks that time
// their runs themselves.

#include <algorithm>
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

#endif

// Summaries of the benchmarks' figures.
#ifndef HALVEX_BENCH_STATS_H
#define HALVEX_BENCH_STATS_H

#include <algorithm>
#include <vector>

namespace bench {

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The figure at fraction p of the way through the sorted figures (0 the
// lowest, 1 the highest), to the nearest one; 0 for none.
inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[i];
}

}  // namespace bench

#endif

#pragma once
// Timing for the benchmarks: each run times both sides back to back, and the median of the
// runs' ratios is what they print, so a busy machine skews single runs, not the result.
#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

template <class F>
double Micros(F&& body) {
    const auto start = std::chrono::steady_clock::now();
    body();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace bench

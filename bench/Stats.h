// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

// Timings of one operation, printed as the median and a few percentiles: a
// shared, noisy machine spoils means and maxima, much less so the median.
class Samples
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Samples(size_t expected) { m_ns.reserve(expected); }

    void add(Clock::duration elapsed)
    {
        m_ns.push_back(double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
    }

    double percentileUs(double p)
    {
        if (m_ns.empty())
            return 0;
        std::sort(m_ns.begin(), m_ns.end());
        const size_t index = std::min(m_ns.size() - 1, size_t(p / 100.0 * double(m_ns.size() - 1) + 0.5));
        return m_ns[index] / 1000.0;
    }

    double medianUs() { return percentileUs(50); }

    void print(const char *what)
    {
        std::printf("%-44s n=%-6zu median %9.2f us   p10 %9.2f   p90 %9.2f   p99 %9.2f   max %9.2f\n", what,
                    m_ns.size(), percentileUs(50), percentileUs(10), percentileUs(90), percentileUs(99),
                    percentileUs(100));
        std::fflush(stdout);
    }

private:
    std::vector<double> m_ns;
};

// Prints how a median compares with its target; benchmarks report, they do
// not fail on a slow run.
inline void printTarget(const char *what, double medianUs, double targetUs)
{
    std::printf("  -> %s: median %.2f us, target < %.0f us: %s\n", what, medianUs, targetUs,
                medianUs < targetUs ? "met" : "MISSED");
    std::fflush(stdout);
}

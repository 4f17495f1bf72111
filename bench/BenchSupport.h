#pragma once

// Helpers the benchmarks share: the CPU time of this process's threads, and
// latencies reported as Google Benchmark counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace benchsupport
{
// CPU time in nanoseconds used so far by this process's threads of a name.
// A name longer than Linux's 15 characters is never set, and such a thread
// keeps the process's name: an empty name stands for those threads, the
// main (message) thread left out.
inline double threadCpuNs (const std::string& name)
{
    double total = 0;
    std::string processName;
    std::getline (std::ifstream ("/proc/self/comm"), processName);
    const auto mainThread = std::to_string (getpid());

    if (auto* dir = opendir ("/proc/self/task"))
    {
        while (auto* entry = readdir (dir))
        {
            const std::string task = std::string ("/proc/self/task/") + entry->d_name;
            std::string comm;
            std::getline (std::ifstream (task + "/comm"), comm);

            const bool wanted = name.empty() ? (comm == processName && entry->d_name != mainThread) : comm == name;
            if (! wanted)
                continue;

            double runNs = 0;
            std::ifstream (task + "/schedstat") >> runNs;
            total += runNs;
        }

        closedir (dir);
    }

    return total;
}

// Median, 99th percentile and maximum of the latencies, in microseconds.
inline void reportLatencies (benchmark::State& state, std::vector<double> latenciesUs)
{
    if (latenciesUs.empty())
        return;

    std::sort (latenciesUs.begin(), latenciesUs.end());
    state.counters["median_us"] = latenciesUs[latenciesUs.size() / 2];
    state.counters["p99_us"] = latenciesUs[latenciesUs.size() * 99 / 100];
    state.counters["max_us"] = latenciesUs.back();
}
} // namespace benchsupport

// Every benchmark program compares our path with a baseline measured in the same run. This
// reporter keeps the console output and remembers each benchmark's times per iteration and
// counters, so main() can print the ratios once all runs are done.
//
// With repetitions (--benchmark_repetitions=N) every figure it answers is the median over the
// repetitions, and a ratio is a ratio of medians: one line per pair, whatever aggregates
// (mean, median, stddev, cv) the library adds to its own table.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// The GL benches draw with Mesa's software renderer and no display, unless the environment
// already chose.
inline void UseSoftwareGl() {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("GALLIUM_DRIVER", "llvmpipe", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    setenv("LP_NUM_THREADS", "2", 0);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    enum class Show {
        TimeRatio,   // ours / baseline time: lower is better
        SpeedRatio,  // baseline / ours time: higher is better
    };
    // Which time of a run: wall-clock (the default) or the CPU time of the benchmark's thread.
    enum class Clock { Real, Cpu };

    explicit RatioReporter(Clock clock = Clock::Real) : m_clock(clock) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // The repetitions' own rows carry the samples; the aggregate rows only matter when
            // the library reports aggregates alone (then the median row stands for them).
            const std::string name = NameOf(run);
            const double time = m_clock == Clock::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name != "median") continue;
                m_medianTimes[name] = time;
                for (const auto& [counter, value] : run.counters)
                    m_medianCounters[name + "/" + counter] = value.value;
                continue;
            }
            if (run.iterations == 0 || run.error_occurred) continue;
            m_times[name].push_back(time);
            for (const auto& [counter, value] : run.counters)
                m_counters[name + "/" + counter].push_back(value.value);
        }
    }

    // The median time per iteration over the repetitions; 0 when no such run finished.
    double Time(const std::string& name) const { return Find(m_times, m_medianTimes, name); }
    // The median of a counter over the repetitions; 0 when there is none.
    double Counter(const std::string& name, const std::string& counter) const {
        const std::string key = name + "/" + counter;
        return Find(m_counters, m_medianCounters, key);
    }
    // How many repetitions of the benchmark finished.
    size_t Repetitions(const std::string& name) const {
        auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second.size();
    }

    // One line for every benchmark named ours + X that has a baseline + X beside it.
    void PrintPairs(const char* heading, const std::string& ours, const std::string& baseline,
                    Show show) const {
        std::printf("\n%s\n", heading);
        for (const std::string& name : Names()) {
            if (name.rfind(ours, 0) != 0) continue;
            const std::string suffix = name.substr(ours.size());
            const double time = Time(name), base = Time(baseline + suffix);
            if (base <= 0 || time <= 0) continue;
            std::printf("  %-28s %6.2f%s\n", suffix.c_str(),
                        show == Show::TimeRatio ? time / base : base / time, MedianNote(name).c_str());
        }
    }

    // One line for every other benchmark against one baseline.
    void PrintAgainst(const char* heading, const std::string& baseline, Show show) const {
        const double base = Time(baseline);
        if (base <= 0) return;
        std::printf("\n%s\n", heading);
        for (const std::string& name : Names()) {
            const double time = Time(name);
            if (name == baseline || time <= 0) continue;
            std::printf("  %-28s %6.2f%s\n", name.c_str(),
                        show == Show::TimeRatio ? time / base : base / time, MedianNote(name).c_str());
        }
    }

    // One line for a pair of benchmarks; nothing when either did not run.
    void PrintRatio(const char* what, const std::string& ours, const std::string& baseline, Show show) const {
        const double time = Time(ours), base = Time(baseline);
        if (base <= 0 || time <= 0) return;
        std::printf("%s: %.3f%s\n", what, show == Show::TimeRatio ? time / base : base / time,
                    MedianNote(ours).c_str());
    }

    // One line for a ratio the benchmark computed itself (a counter): its median.
    void PrintCounter(const char* what, const std::string& name, const std::string& counter) const {
        const std::string key = name + "/" + counter;
        if (m_counters.count(key) == 0 && m_medianCounters.count(key) == 0) return;
        std::printf("%s: %.3f%s\n", what, Counter(name, counter), MedianNote(name).c_str());
    }

    // One line for every benchmark that computed the counter itself: its median.
    void PrintCounters(const char* heading, const std::string& counter) const {
        std::printf("\n%s\n", heading);
        for (const std::string& name : Names()) {
            const std::string key = name + "/" + counter;
            if (m_counters.count(key) == 0 && m_medianCounters.count(key) == 0) continue;
            std::printf("  %-40s %8.3f%s\n", name.c_str(), Counter(name, counter), MedianNote(name).c_str());
        }
    }

private:
    // The benchmark's function and arguments: settings such as a minimum time or manual timing
    // are not part of the name a main() asks for.
    static std::string NameOf(const Run& run) {
        const auto& n = run.run_name;
        return n.args.empty() ? n.function_name : n.function_name + "/" + n.args;
    }
    static double Median(std::vector<double> values) {
        if (values.empty()) return 0.0;
        std::sort(values.begin(), values.end());
        const size_t mid = values.size() / 2;
        return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
    }
    static double Find(const std::map<std::string, std::vector<double>>& samples,
                       const std::map<std::string, double>& medians, const std::string& key) {
        if (auto it = samples.find(key); it != samples.end()) return Median(it->second);
        auto it = medians.find(key);
        return it == medians.end() ? 0.0 : it->second;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& [name, times] : m_times) names.push_back(name);
        for (const auto& [name, time] : m_medianTimes)
            if (m_times.count(name) == 0) names.push_back(name);
        return names;
    }
    std::string MedianNote(const std::string& name) const {
        const size_t n = Repetitions(name);
        return n > 1 ? " (median of " + std::to_string(n) + ")" : "";
    }

    Clock m_clock;
    std::map<std::string, std::vector<double>> m_times;
    std::map<std::string, std::vector<double>> m_counters;
    std::map<std::string, double> m_medianTimes;
    std::map<std::string, double> m_medianCounters;
};

// Every benchmark program compares our path with a baseline measured in the same run. This
// reporter keeps the console output and remembers each run's time per iteration and counters, so
// main() can print the ratios once all runs are done.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    enum class Show {
        TimeRatio,   // ours / baseline time: lower is better
        SpeedRatio,  // baseline / ours time: higher is better
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.iterations == 0) continue;
            m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
            for (const auto& [counter, value] : run.counters)
                m_counters[run.benchmark_name() + "/" + counter] = value.value;
        }
    }

    // 0 when no such run finished.
    double Time(const std::string& name) const { return Find(m_times, name); }
    double Counter(const std::string& name, const std::string& counter) const {
        return Find(m_counters, name + "/" + counter);
    }

    // One line for every run named ours + X that has a baseline + X beside it.
    void PrintPairs(const char* heading, const std::string& ours, const std::string& baseline,
                    Show show) const {
        std::printf("\n%s\n", heading);
        for (const auto& [name, time] : m_times) {
            if (name.rfind(ours, 0) != 0) continue;
            const std::string suffix = name.substr(ours.size());
            const double base = Time(baseline + suffix);
            if (base <= 0 || time <= 0) continue;
            std::printf("  %-28s %6.2f\n", suffix.c_str(),
                        show == Show::TimeRatio ? time / base : base / time);
        }
    }

private:
    static double Find(const std::map<std::string, double>& map, const std::string& key) {
        auto it = map.find(key);
        return it == map.end() ? 0.0 : it->second;
    }

    std::map<std::string, double> m_times;
    std::map<std::string, double> m_counters;
};

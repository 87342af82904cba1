#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tk::bench {

// Console output as usual, and the mean time per iteration of every run kept by name, so that a
// benchmark can print how it compares with its reference measured in the same run.
class RatioReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                seconds_[run.benchmark_name()] = run.GetAdjustedRealTime() * multiplier(run.time_unit);
            }
        }
    }

    double seconds(const std::string& name) const {
        const auto it = seconds_.find(name);
        return it == seconds_.end() ? 0.0 : it->second;
    }

    // Prints "what: A ms vs reference B ms = ratio (goal)" and returns the ratio.
    double printRatio(const std::string& what, const std::string& name, const std::string& reference,
                      double goal) const {
        const double a = seconds(name);
        const double b = seconds(reference);
        const double ratio = b > 0 ? a / b : 0.0;
        std::printf("%s: %.2f ms vs %.2f ms = %.2fx (goal <= %.2fx) %s\n", what.c_str(), a * 1e3, b * 1e3, ratio, goal,
                    ratio <= goal ? "MET" : "MISSED");
        return ratio;
    }

  private:
    static double multiplier(benchmark::TimeUnit unit) {
        switch (unit) {
            case benchmark::kNanosecond:
                return 1e-9;
            case benchmark::kMicrosecond:
                return 1e-6;
            case benchmark::kMillisecond:
                return 1e-3;
            default:
                return 1.0;
        }
    }

    std::map<std::string, double> seconds_;
};

}  // namespace tk::bench

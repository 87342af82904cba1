#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tk::bench {

// Console output as usual, and every run's mean real and processor time per iteration kept by
// name (the name as registered, with its arguments but without its settings such as min_time), so
// that a benchmark can print how it compares with its reference measured in the same run.
class RatioReporter final : public benchmark::ConsoleReporter {
  public:
    struct Times {
        double real = 0;  // seconds per iteration
        double cpu = 0;
    };
    // Whether the case must take at most goal times its reference, or run at least goal times as fast.
    enum class Goal { AtMost, AtLeastAsFast };

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
                times_[baseName(run.benchmark_name())] = {run.GetAdjustedRealTime() / unit,
                                                          run.GetAdjustedCPUTime() / unit};
            }
        }
    }

    std::optional<Times> times(const std::string& name) const {
        const auto it = times_.find(name);
        return it == times_.end() ? std::nullopt : std::optional<Times>(it->second);
    }

    // Prints "what: A ms vs B ms = ratio (goal) MET" on real time, with the processor-time ratio
    // beside it, and returns the real-time ratio (0 when either case did not run).
    double printRatio(const std::string& what, const std::string& name, const std::string& reference, double goal,
                      Goal kind = Goal::AtMost) const {
        const auto a = times(name);
        const auto b = times(reference);
        if (!a || !b || a->real <= 0 || b->real <= 0 || a->cpu <= 0 || b->cpu <= 0) {
            std::printf("%s: not measured\n", what.c_str());
            return 0;
        }
        const bool faster = kind == Goal::AtLeastAsFast;
        const double ratio = faster ? b->real / a->real : a->real / b->real;
        const double cpuRatio = faster ? b->cpu / a->cpu : a->cpu / b->cpu;
        const bool met = faster ? ratio >= goal : ratio <= goal;
        std::printf("%s: %.2f ms vs %.2f ms = %.2fx, processor time %.2fx (goal %s %.2fx) %s\n", what.c_str(),
                    a->real * 1e3, b->real * 1e3, ratio, cpuRatio, faster ? ">=" : "<=", goal, met ? "MET" : "MISSED");
        return ratio;
    }

  private:
    // "BM_Open/1048576/min_time:2.000" -> "BM_Open/1048576".
    static std::string baseName(std::string name) {
        for (const char* setting : {"/min_time:", "/real_time", "/manual_time", "/iterations:", "/repeats:"}) {
            const auto at = name.find(setting);
            if (at != std::string::npos) {
                name.erase(at);
            }
        }
        return name;
    }

    std::map<std::string, Times> times_;
};

}  // namespace tk::bench

#include "bench/richedit/ratio_reporter.h"

#include <cstdio>
#include <tuple>

namespace tk::bench {
namespace {

std::vector<std::tuple<std::string, std::string, double>>& pairs() {
    static std::vector<std::tuple<std::string, std::string, double>> all;
    return all;
}

}  // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.iterations > 0 && run.run_type == Run::RT_Iteration) {
            const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            seconds_[name] = {run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit};
        }
    }
}

void RatioReporter::printRatios() const {
    for (const auto& [name, reference, goal] : pairs()) {
        const auto a = seconds_.find(name);
        const auto b = seconds_.find(reference);
        if (a == seconds_.end() || b == seconds_.end() || b->second.first <= 0 || b->second.second <= 0) {
            continue;
        }
        const double ratio = a->second.first / b->second.first;
        const double cpuRatio = a->second.second / b->second.second;
        std::printf("%s / %s = %.2fx real time, %.2fx CPU time (goal <= %.1fx: %s)\n", name.c_str(), reference.c_str(),
                    ratio, cpuRatio, goal, ratio <= goal ? "met" : "NOT met");
    }
}

void RatioReporter::addPair(const std::string& name, const std::string& reference, double goal) {
    pairs().emplace_back(name, reference, goal);
}

}  // namespace tk::bench

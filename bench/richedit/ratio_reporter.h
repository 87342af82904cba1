#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tk::bench {

// A console reporter that also keeps each case's time per iteration, so that cases can be set
// against their reference cases once all have run.
class RatioReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;
    // Prints "case / reference = ratio (goal)" for every registered pair that ran.
    void printRatios() const;

    // Registers a pair: the case, its reference and the largest ratio that meets the goal.
    static void addPair(const std::string& name, const std::string& reference, double goal);

  private:
    std::map<std::string, std::pair<double, double>> seconds_;  // real and CPU seconds per iteration
};

}  // namespace tk::bench

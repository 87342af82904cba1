#pragma once

// The main of a benchmark that needs a GUI application: runs the benchmarks offscreen unless a
// platform is named, lets report print the ratios, then lets cleanup take the windows away before
// the application goes.
#include "bench/bench_support.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>

namespace tk::bench {

inline int runGuiBenchmarks(int argc, char** argv, const std::function<void(RatioReporter&)>& report,
                            const std::function<void()>& cleanup = {}) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    report(reporter);
    std::fflush(stdout);
    if (cleanup) {
        cleanup();
    }
    benchmark::Shutdown();
    return 0;
}

}  // namespace tk::bench

// Runs the benchmarks inside a GUI application and prints, for each case that has a reference
// case in the same run, its time as a ratio of the reference's.
#include "bench/gui_bench.h"

#include <QApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    return tk::bench::runGuiBenchmarks(argc, argv, [](tk::bench::RatioReporter& reporter) {
        reporter.printRatio("control load of RTF vs setHtml of the same document", "BM_ControlLoadRtf",
                            "BM_ReferenceSetHtml", 0.6);
        reporter.printRatio("control save as RTF vs toHtml", "BM_ControlSaveRtf", "BM_ReferenceToHtml", 1.0);
    });
}

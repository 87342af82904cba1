#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace tk {

// Runs work(begin, end, part) over [0, count) split into contiguous parts, one thread per core,
// and returns when all are done. Small jobs run on the calling thread alone. work must only touch
// what belongs to its own range or part.
template <typename Work>
void parallelFor(size_t count, size_t minPerThread, Work work) {
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t parts = std::clamp<size_t>(count / std::max<size_t>(minPerThread, 1), 1, std::min<size_t>(cores, 8));
    if (parts <= 1) {
        work(size_t{0}, count, size_t{0});
        return;
    }
    std::vector<std::thread> threads;
    threads.reserve(parts - 1);
    const size_t step = (count + parts - 1) / parts;
    for (size_t p = 1; p < parts; ++p) {
        const size_t begin = std::min(count, p * step);
        const size_t end = std::min(count, begin + step);
        threads.emplace_back([=, &work] { work(begin, end, p); });
    }
    work(size_t{0}, std::min(count, step), size_t{0});
    for (std::thread& t : threads) {
        t.join();
    }
}

// The number of parts parallelFor will use for count items.
inline size_t parallelParts(size_t count, size_t minPerThread) {
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<size_t>(count / std::max<size_t>(minPerThread, 1), 1, std::min<size_t>(cores, 8));
}

}  // namespace tk

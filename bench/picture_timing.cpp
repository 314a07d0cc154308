// The picture stages' median time without Google Benchmark, for builds that lack it (the
// Windows build, run under Wine): all three stages of one request against the floor.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/picture_work.h"

namespace {

constexpr int kRuns = 41;

double MedianMilliseconds(const std::function<bool()>& work) {
    std::vector<double> times;
    work();  // warm up: first loads and font caches
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (!work()) {
            return -1;
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    return times[kRuns / 2];
}

}  // namespace

int main() {
    const std::string directory = ProgramDirectory();
    CIdBufferW card;
    if (!ReadSampleCard(directory, card)) {
        std::fprintf(stderr, "picture_timing: the simulated card could not be read\n");
        return 1;
    }
    StageBench bench(directory, card);
    if (!bench.ready()) {
        std::fprintf(stderr, "picture_timing: the photo could not be decoded\n");
        return 1;
    }
    const double stages = MedianMilliseconds([&] {
        PictureTexts texts;
        return RunAllStages(directory, card, texts);
    });
    const double floor = MedianMilliseconds([&] { return bench.EncodeOnly(); });
    std::printf("picture stages: %.2f ms median of %d\n", stages, kRuns);
    std::printf("encoding floor: %.2f ms median of %d\n", floor, kRuns);
    if (floor > 0) {
        std::printf("ratio: %.2f\n", stages / floor);
    }
    return stages < 0 || floor < 0 ? 1 : 0;
}

// The picture stages' median time against the floor, without Google Benchmark so that the
// Windows build runs it under Wine too: all three stages of one read as the read runs them,
// after the work its driver's wait does, and the same stages without that work.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "bench/picture_work.h"
#include "bench/processor_time.h"
#include "platform/working_memory.h"
#include "request/picture_stages.h"
#include "request/picture_warm_up.h"

using namespace vorn;

namespace {

constexpr int kRuns = 41;

double Median(std::vector<double> times) {
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    return times[kRuns / 2];
}

// Wall-clock and processor milliseconds of each run of one piece of work.
struct Times {
    std::vector<double> wall;
    std::vector<double> processor;

    // Runs prepare first, untimed, when it is given.
    bool Run(const std::function<bool()>& work, const std::function<void()>& prepare = {}) {
        if (prepare) {
            prepare();
        }
        const double used = ProcessorMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        if (!work()) {
            return false;
        }
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        processor.push_back(ProcessorMilliseconds() - used);
        return true;
    }
};

}  // namespace

int main() {
    // The allocator is set up as the program sets it up at start.
    KeepFreedMemoryForReuse();
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
    // A read starts the warm-up when the driver begins its wait and takes what it made once
    // the card is read; here the warm-up is waited for, untimed, before each run.
    std::unique_ptr<PictureWarmUp> warm_up;
    const auto wait = [&] {
        warm_up = std::make_unique<PictureWarmUp>(directory);
        warm_up->Finish();
    };
    const auto read_work = [&] {
        PictureTexts texts;
        const bool done = RunAllStages(directory, card, texts, warm_up.get());
        warm_up.reset();
        return done;
    };
    const auto cold_work = [&] {
        PictureTexts texts;
        return RunAllStages(directory, card, texts);
    };
    const auto floor_work = [&] { return bench.EncodeOnly(); };
    // Warm-up: the first run loads the font configuration. Then the three take turns, so that
    // a busy moment of the machine falls on all of them alike.
    Times read_times;
    Times floor_times;
    Times cold_times;
    bool ok = cold_work() && floor_work();
    for (int run = 0; ok && run < kRuns; ++run) {
        ok = read_times.Run(read_work, wait) && floor_times.Run(floor_work) &&
             cold_times.Run(cold_work);
    }
    if (!ok) {
        std::fprintf(stderr, "picture_timing: a run failed\n");
        return 1;
    }
    const double floor = Median(floor_times.wall);
    const double floor_processor = Median(floor_times.processor);
    std::printf("encoding floor: %.2f ms median of %d (processor %.2f ms)\n", floor, kRuns,
                floor_processor);
    const struct {
        const char* name;
        const Times& times;
    } reports[] = {{"picture stages of a read", read_times},
                   {"without the wait's work", cold_times}};
    for (const auto& report : reports) {
        const double wall = Median(report.times.wall);
        const double processor = Median(report.times.processor);
        std::printf("%s: %.2f ms median of %d (processor %.2f ms)", report.name, wall, kRuns,
                    processor);
        if (floor > 0 && floor_processor > 0) {
            std::printf(", %.2f times the floor (processor %.2f)", wall / floor,
                        processor / floor_processor);
        }
        std::printf("\n");
    }
    return 0;
}

// The picture stages' median time without Google Benchmark, for builds that lack it (the
// Windows build, run under Wine): all three stages of one request against the floor.
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
    const auto stage_work = [&] {
        PictureTexts texts;
        return RunAllStages(directory, card, texts);
    };
    const auto floor_work = [&] { return bench.EncodeOnly(); };
    // A read also makes the resident card's face canvases and its fonts while the driver
    // waits; the stages that follow take them.
    std::unique_ptr<PreparedCanvases> prepared;
    std::unique_ptr<PreparedFonts> prepared_fonts;
    const auto prepare = [&] {
        prepared = std::make_unique<PreparedCanvases>();
        PrepareProgramCanvases(*prepared);
        prepared_fonts = std::make_unique<PreparedFonts>();
        PrepareProgramFonts(*prepared_fonts);
    };
    const auto after_wait_work = [&] {
        PictureTexts texts;
        const bool done =
            RunAllStages(directory, card, texts, prepared.get(), prepared_fonts.get());
        prepared_fonts.reset();
        prepared.reset();
        return done;
    };
    // Warm-up: the first run loads the font configuration. Then the stages and the floor
    // take turns, so that a busy moment of the machine falls on both alike.
    Times stages_times;
    Times floor_times;
    Times after_wait_times;
    bool ok = stage_work() && floor_work();
    for (int run = 0; ok && run < kRuns; ++run) {
        ok = stages_times.Run(stage_work) && floor_times.Run(floor_work) &&
             after_wait_times.Run(after_wait_work, prepare);
    }
    if (!ok) {
        std::fprintf(stderr, "picture_timing: a run failed\n");
        return 1;
    }
    const double stages = Median(stages_times.wall);
    const double floor = Median(floor_times.wall);
    const double stages_processor = Median(stages_times.processor);
    const double floor_processor = Median(floor_times.processor);
    std::printf("picture stages: %.2f ms median of %d (processor %.2f ms)\n", stages, kRuns,
                stages_processor);
    std::printf("encoding floor: %.2f ms median of %d (processor %.2f ms)\n", floor, kRuns,
                floor_processor);
    if (floor > 0) {
        std::printf("ratio: %.2f\n", stages / floor);
    }
    if (floor_processor > 0) {
        std::printf("processor ratio: %.2f\n", stages_processor / floor_processor);
    }
    const double after_wait = Median(after_wait_times.wall);
    const double after_wait_processor = Median(after_wait_times.processor);
    std::printf("after the wait's canvases: %.2f ms median of %d (processor %.2f ms)\n", after_wait,
                kRuns, after_wait_processor);
    if (floor > 0 && floor_processor > 0) {
        std::printf("after the wait's ratio: %.2f (processor %.2f)\n", after_wait / floor,
                    after_wait_processor / floor_processor);
    }
    return 0;
}
